// Part of the program's own JavaScript (cmake/browser.cmake links it in front): the player's
// data folder kept in the browser's IndexedDB, the timedemo's script, and telling the page
// (gnatrix-page.js) when the game has ended.
(function () {
  'use strict';
  // The folder the game keeps scores.bin in (platform/system/browser/system.cpp).
  const DATA = '/gnatrix';
  let saving = false;
  let again = false;

  // One synchronisation at a time; a write meanwhile asks for another after it.
  function save() {
    if (saving) {
      again = true;
      return;
    }
    saving = true;
    Module['gnatrixSaving'] = true;
    FS.syncfs(false, (error) => {
      saving = false;
      if (error) console.error('gnatrix: the scores could not be stored in the browser:', error);
      if (again) {
        again = false;
        save();
        return;
      }
      Module['gnatrixSaving'] = false;
      if (Module['gnatrixSaved']) Module['gnatrixSaved']();
    });
  }

  function mountData() {
    FS.mkdir(DATA);
    FS.mount(IDBFS, {}, DATA);
    addRunDependency('gnatrix-data');
    FS.syncfs(true, (error) => {
      if (error) console.error('gnatrix: the stored scores could not be read:', error);
      removeRunDependency('gnatrix-data');
    });
    // The game replaces its files by renaming a finished copy over them: each replacement
    // reaches IndexedDB at once, so a reload or a closed tab loses nothing.
    const rename = FS.rename;
    FS.rename = function (from, to) {
      rename(from, to);
      if (PATH_FS.resolve(to).startsWith(DATA + '/')) save();
    };
  }

  // With ?timedemo the page replays the shipped demo unpaced (the script comes beside the page).
  function fetchTimedemo() {
    if (!Module['gnatrixTimedemo']) return;
    addRunDependency('gnatrix-timedemo');
    fetch(Module['gnatrixTimedemo'])
      .then((response) => response.arrayBuffer())
      .then((data) => {
        FS.writeFile('/demo.gxi', new Uint8Array(data));
        removeRunDependency('gnatrix-timedemo');
      });
  }

  // main returns only after its last sleep; the page hears of it then.
  function watchEnd() {
    const ended = (status) => {
      if (Module['gnatrixEnded']) Module['gnatrixEnded'](status);
    };
    if (Asyncify.currData) {
      Asyncify.whenDone().then(ended, (error) => {
        console.error(error);
        ended(1);
      });
    } else {
      ended(EXITSTATUS);
    }
  }

  // The page is SDL's display: the platform names the desktop's drivers unless told. SDL's
  // buffer swap would hand the page to the browser at every frame shown (a timer of some
  // milliseconds each time); the game's clock does that when it sleeps, and often enough.
  function chooseDisplay() {
    ENV['SDL_VIDEODRIVER'] = 'emscripten';
    ENV['SDL_EMSCRIPTEN_ASYNCIFY'] = '0';
  }

  Module['preRun'] = [].concat(Module['preRun'] || [], chooseDisplay, mountData, fetchTimedemo);
  Module['postRun'] = [].concat(Module['postRun'] || [], watchEnd);
})();

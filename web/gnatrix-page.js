// The page around the game: checks that the browser can run it, loads it with a progress bar,
// sizes the picture, and offers full screen, an end to the game, and another game after it.
(function () {
  'use strict';
  const canvas = document.getElementById('canvas');
  const stage = document.getElementById('stage');
  const overlay = document.getElementById('overlay');
  const status = document.getElementById('status');
  const progress = document.getElementById('progress');
  const again = document.getElementById('again');
  const params = new URLSearchParams(location.search);

  function show(text, { problem = false, loading = false } = {}) {
    overlay.hidden = false;
    status.textContent = text;
    status.className = problem ? 'problem' : '';
    progress.hidden = !loading;
  }

  function supported() {
    if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
      return 'This browser cannot run WebAssembly, which Gnatrix needs. A current Firefox, Chrome, Edge or Safari can.';
    }
    if (!canvas.getContext || !document.createElement('canvas').getContext('2d')) {
      return 'This browser cannot draw on a canvas, which Gnatrix needs. A current Firefox, Chrome, Edge or Safari can.';
    }
    return '';
  }

  // The largest 4:3 box the stage holds.
  function fit() {
    const width = Math.min(stage.clientWidth, (stage.clientHeight * 4) / 3);
    stage.style.setProperty('--game-width', Math.floor(width) + 'px');
    stage.style.setProperty('--game-height', Math.floor((width * 3) / 4) + 'px');
  }

  function toggleFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen();
    else stage.requestFullscreen().catch(() => {});
  }

  // The game takes keys as the window has them: a key made by the page goes the same way.
  function sendKey(key, code, keyCode) {
    for (const type of ['keydown', 'keyup']) {
      window.dispatchEvent(new KeyboardEvent(type, { key, code, keyCode, which: keyCode, bubbles: true }));
    }
  }

  // Esc in the game ends it; while the mouse is locked the browser keeps Esc for itself.
  function endGame() {
    if (document.pointerLockElement) document.exitPointerLock();
    sendKey('Escape', 'Escape', 27);
    canvas.focus();
  }

  // The browser gives the mouse back on Esc; the game hears it as the window losing the focus
  // (as Alt+Tab on the desktop) and takes the mouse again at the next click in the picture.
  let locked = false;
  let released = false;
  document.addEventListener('pointerlockchange', () => {
    const now = document.pointerLockElement === canvas;
    if (locked && !now) {
      released = true;
      window.dispatchEvent(new FocusEvent('blur'));
    }
    locked = now;
  });
  canvas.addEventListener('mousedown', () => {
    if (!released) return;
    released = false;
    window.dispatchEvent(new FocusEvent('focus'));
  }, true);

  // Alt+Enter is the page's, before the game sees the keys.
  window.addEventListener('keydown', (event) => {
    if (event.altKey && event.key === 'Enter') {
      event.preventDefault();
      event.stopImmediatePropagation();
      toggleFullscreen();
    }
  }, true);

  function ended(code) {
    document.exitPointerLock();
    const offer = () => {
      show(code === 0 ? 'The game has ended.' : 'The game has stopped.');
      again.hidden = false;
      again.focus();
    };
    if (window.Module.gnatrixSaving) window.Module.gnatrixSaved = offer;
    else offer();
  }

  // The program's bytes with a progress bar, then the program itself.
  async function load() {
    show('Loading…', { loading: true });
    const response = await fetch('gnatrix.wasm');
    if (!response.ok) throw new Error('gnatrix.wasm: ' + response.status + ' ' + response.statusText);
    const total = Number(response.headers.get('Content-Length')) || 0;
    const reader = response.body.getReader();
    const chunks = [];
    let received = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(value);
      received += value.length;
      if (total) progress.value = received / total;
    }
    const bytes = new Uint8Array(received);
    let at = 0;
    for (const chunk of chunks) {
      bytes.set(chunk, at);
      at += chunk.length;
    }
    start(bytes);
  }

  function start(wasmBinary) {
    window.gnatrixOutput = [];
    const timedemo = params.has('timedemo');
    window.Module = {
      canvas,
      wasmBinary,
      arguments: timedemo
        ? ['--window', '--scale', '1', '--timedemo', '/demo.gxi']
        : ['--window', '--scale', '1', '--background', 'run', '--user-data'],
      gnatrixTimedemo: timedemo ? 'demo.gxi' : '',
      print: (text) => {
        window.gnatrixOutput.push(text);
        console.log(text);
      },
      printErr: (text) => {
        window.gnatrixOutput.push(text);
        console.warn(text);
      },
      onRuntimeInitialized: () => {
        overlay.hidden = true;
        canvas.focus();
      },
      onAbort: (what) => show('Gnatrix stopped: ' + what, { problem: true }),
      gnatrixFatal: (message) => show('Gnatrix cannot go on: ' + message, { problem: true }),
      gnatrixEnded: ended,
    };
    const script = document.createElement('script');
    script.src = 'gnatrix.js';
    script.onerror = () => show('gnatrix.js could not be loaded.', { problem: true });
    document.body.appendChild(script);
  }

  fit();
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', fit);
  document.getElementById('fullscreen').addEventListener('click', toggleFullscreen);
  document.getElementById('end').addEventListener('click', endGame);
  again.addEventListener('click', () => location.reload());
  const problem = supported();
  if (problem) show(problem, { problem: true });
  else load().catch((error) => show('Gnatrix could not be loaded: ' + error.message, { problem: true }));
})();

# The browser build (Emscripten, with the libraries tools/web/deps.sh builds; tools/web/build.sh
# configures it): what differs from Linux in how the program is put together, and the page it
# plays in. The result is build-web/web/, a folder any static web server serves as it is.

# The parts of the system interface a page shares with POSIX (Emscripten's file system has
# atomic renames); the libraries are linked in, and the SDL part finds their functions.
target_sources(gx_system PRIVATE ${CMAKE_SOURCE_DIR}/platform/system/posix/file.cpp)
file(GLOB browser_sdl_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/sdl/browser/*.cpp)
target_sources(gx_platform PRIVATE ${browser_sdl_sources})
# By its path: `-lSDL2_mixer` would ask Emscripten for a port of its own, which Debian's lacks.
find_library(GNATRIX_SDL2_MIXER_LIBRARY libSDL2_mixer.a PATHS ${SDL2_MIXER_LIBRARY_DIRS} REQUIRED
             NO_CMAKE_FIND_ROOT_PATH
             NO_DEFAULT_PATH)
target_link_libraries(gx_platform PRIVATE ${GNATRIX_SDL2_MIXER_LIBRARY})
# libpng's static library needs zlib's.
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
target_link_libraries(gx_platform PRIVATE PkgConfig::ZLIB)

set(GNATRIX_WEB_DIR ${CMAKE_BINARY_DIR}/web)
set_target_properties(gnatrix PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${GNATRIX_WEB_DIR})
# The game's loop blocks (frame pacing, fades, the score table's waits, the modal control
# panel); asynchronous mode lets the one sleep under all of those waits (emscripten_sleep in
# platform/system/browser/time.cpp) hand the page back to the browser and resume where it was.
# Only the functions that can reach it are instrumented: those in web/asyncify-functions.json,
# which tools/web/asyncify_list.py writes from the program and the browser test checks against
# it (Emscripten alone would take every call through a pointer for one that may sleep). The
# symbol map names the program's functions for that check.
set(GNATRIX_ASYNCIFY_LIST ${CMAKE_SOURCE_DIR}/web/asyncify-functions.json)
set(GNATRIX_WEB_LINK_OPTIONS
    -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536 -sASYNCIFY_ONLY=@${GNATRIX_ASYNCIFY_LIST} --emit-symbol-map
    -sALLOW_MEMORY_GROWTH -sINITIAL_MEMORY=33554432 -sENVIRONMENT=web
    -sEXPORTED_FUNCTIONS=_main,_gnatrix_state_text
    -sEXPORTED_RUNTIME_METHODS=UTF8ToString,FS
    # What SDL's audio calls from JavaScript: $autoResumeAudioContext (sound starts suspended
    # until the first click or key, and resumes then) and $dynCall (its audio callback). From a
    # file: CMake's link script would keep the escaped "$$".
    -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${CMAKE_SOURCE_DIR}/web/library-functions.json
    -lidbfs.js --pre-js ${CMAKE_SOURCE_DIR}/web/gnatrix-pre.js)
target_link_options(gnatrix PRIVATE ${GNATRIX_WEB_LINK_OPTIONS})
set_property(TARGET gnatrix APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/web/gnatrix-pre.js
                                                        ${GNATRIX_ASYNCIFY_LIST})

# The page and what it loads beside the program.
set(GNATRIX_PAGE_FILES index.html gnatrix.css gnatrix-page.js)
set(page_outputs "")
foreach(f ${GNATRIX_PAGE_FILES})
  add_custom_command(OUTPUT ${GNATRIX_WEB_DIR}/${f}
                     COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/web/${f} ${GNATRIX_WEB_DIR}/${f}
                     DEPENDS ${CMAKE_SOURCE_DIR}/web/${f})
  list(APPEND page_outputs ${GNATRIX_WEB_DIR}/${f})
endforeach()
# The page's icon, and the shipped demo for the timedemo (index.html?timedemo).
foreach(pair "icon32.png:icon.png" "demo.gxi:demo.gxi")
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 from)
  list(GET pair 1 to)
  add_custom_command(OUTPUT ${GNATRIX_WEB_DIR}/${to}
                     COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/resources/${from} ${GNATRIX_WEB_DIR}/${to}
                     DEPENDS ${CMAKE_SOURCE_DIR}/resources/${from})
  list(APPEND page_outputs ${GNATRIX_WEB_DIR}/${to})
endforeach()
add_custom_target(web_page ALL DEPENDS ${page_outputs})

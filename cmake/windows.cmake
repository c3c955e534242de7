# The Windows build (cmake/mingw-w64.cmake, with GNATRIX_WIN64_DEPS naming the folder that
# tools/win64/deps.sh prints): where its libraries are, and what differs from Linux in how the
# program is put together. Included before the libraries are found; the part that needs the
# targets runs once they all exist.
set(GNATRIX_WIN64_DEPS "" CACHE PATH "The Windows libraries (the folder tools/win64/deps.sh prints)")
if(NOT IS_DIRECTORY "${GNATRIX_WIN64_DEPS}/lib/pkgconfig")
  message(FATAL_ERROR "GNATRIX_WIN64_DEPS: no Windows libraries in '${GNATRIX_WIN64_DEPS}' "
                      "(give the folder tools/win64/deps.sh prints)")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${GNATRIX_WIN64_DEPS})
list(APPEND CMAKE_PREFIX_PATH ${GNATRIX_WIN64_DEPS})
set(ENV{PKG_CONFIG_LIBDIR} ${GNATRIX_WIN64_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# libwinpthread (the threads of the C++ library) goes into each program like libgcc and
# libstdc++, so that no MinGW DLL ships.
# (At the end of every link, ahead of the compiler's own -lpthread, which would take the DLL.)
set(CMAKE_CXX_STANDARD_LIBRARIES "-Wl,-Bstatic -lstdc++ -lwinpthread -Wl,-Bdynamic ${CMAKE_CXX_STANDARD_LIBRARIES}")

# ctest, and GoogleTest's discovery of the tests, run the Windows programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tools/win64/wine-run)

# Tests that can only hold on Linux, left out by name: the validators of the desktop entry,
# metainfo and manual page, and the Debian package, check Linux's own files with Linux's tools.
# A Windows desktop is always there, so a run without one cannot be asked for. Wine makes no
# symbolic links (Windows only for administrators and developers). Windows files have no POSIX
# mode bits, owner or group to keep.
set(GNATRIX_TEST_FILTER
    "-Install.*:GameRun.NoDisplayPointsToHeadless:ScoreTest.SymbolicLinkKeepsPointingAtTheSavedTable:ScoreTest.SavedTableKeepsItsModeAndOwner")
file(WRITE ${CMAKE_BINARY_DIR}/tests/gtest-filter "${GNATRIX_TEST_FILTER}")  # tools/win64/test-groups
# The replay generator runs its recordings in a forked copy of itself: Linux's own tool.
set(GNATRIX_TOOLS_LEFT_OUT ${CMAKE_SOURCE_DIR}/tools/make_replays.cpp)

function(gnatrix_windows_targets)
  # Our own main() (platform/sdl/main.cpp says SDL_MAIN_HANDLED), not SDL2main's: SDL's .pc file
  # would rename every main, the tests' too. The game is a GUI program (no console window); the
  # tests are console programs.
  get_target_property(options PkgConfig::SDL2 INTERFACE_COMPILE_OPTIONS)
  list(REMOVE_ITEM options -Dmain=SDL_main)
  get_target_property(libraries PkgConfig::SDL2 INTERFACE_LINK_LIBRARIES)
  list(FILTER libraries EXCLUDE REGEX "SDL2main|mingw32")
  get_target_property(link_options PkgConfig::SDL2 INTERFACE_LINK_OPTIONS)
  list(REMOVE_ITEM link_options -mwindows)
  # Our own SDL2's .pc file (tools/win64/deps.sh) names none of these: nothing, not "-NOTFOUND".
  foreach(property options libraries link_options)
    if(NOT ${property})
      set(${property} "")
    endif()
  endforeach()
  set_target_properties(PkgConfig::SDL2 PROPERTIES INTERFACE_COMPILE_OPTIONS "${options}"
                        INTERFACE_LINK_LIBRARIES "${libraries}" INTERFACE_LINK_OPTIONS "${link_options}")
  set_target_properties(gnatrix PROPERTIES WIN32_EXECUTABLE ON)

  # The system interface's Windows implementation uses the multimedia timer, DXGI and the shell.
  target_link_libraries(gx_system PRIVATE winmm dxgi shell32 ole32)
  # The tests' helper asks the shell where the application data folder is.
  target_link_libraries(gx_process PRIVATE gx_system shell32 ole32)

  # The executable's own resources: its icon, manifest and version.
  set(GNATRIX_RESOURCE_DIR ${CMAKE_SOURCE_DIR}/resources)
  configure_file(resources/gnatrix.rc.in ${CMAKE_BINARY_DIR}/generated/gnatrix.rc @ONLY)
  set_property(SOURCE ${CMAKE_BINARY_DIR}/generated/gnatrix.rc APPEND PROPERTY OBJECT_DEPENDS
               ${GNATRIX_RESOURCE_DIR}/gnatrix.ico ${GNATRIX_RESOURCE_DIR}/gnatrix.manifest)
  target_sources(gnatrix PRIVATE ${CMAKE_BINARY_DIR}/generated/gnatrix.rc)

  # The DLLs a player needs beside gnatrix.exe: SDL2_mixer is loaded when the sound device
  # opens, the others are imported. Copied beside the programs, so that they run from the build
  # folder as from the zip.
  set(dlls SDL2.dll SDL2_mixer.dll SDL2_ttf.dll libpng16.dll)
  list(TRANSFORM dlls PREPEND ${GNATRIX_WIN64_DEPS}/bin/)
  file(COPY ${dlls} DESTINATION ${CMAKE_BINARY_DIR})
  file(COPY ${dlls} DESTINATION ${CMAKE_BINARY_DIR}/tests)

  # `cmake --build build-win64 --target package-windows`: gnatrix-VERSION-win64.zip, the game,
  # its DLLs and a README.
  set(package gnatrix-${PROJECT_VERSION}-win64)
  set(package_dir ${CMAKE_BINARY_DIR}/${package})
  add_custom_target(package-windows
      COMMAND ${CMAKE_COMMAND} -E rm -rf ${package_dir} ${package_dir}.zip
      COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:gnatrix> ${dlls} ${package_dir}
      COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/dist/windows/README.txt ${package_dir}
      # A player needs no debugging information: a third of the size.
      COMMAND ${CMAKE_STRIP} --strip-debug ${package_dir}/$<TARGET_FILE_NAME:gnatrix>
      COMMAND ${CMAKE_COMMAND} -E tar cf ${package}.zip --format=zip ${package}
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      DEPENDS gnatrix
      COMMENT "Packing ${package}.zip")
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL gnatrix_windows_targets)

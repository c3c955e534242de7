# The Windows build (cmake/mingw-w64.cmake, with GNATRIX_WIN64_DEPS naming the folder that
# tools/win64/deps.sh prints): what differs from Linux in how the program is put together.

# The system interface's Windows implementation uses the multimedia timer, DXGI and the shell.
target_link_libraries(gx_system PRIVATE winmm dxgi shell32 ole32)

# The executable's own resources: its icon, manifest and version.
set(GNATRIX_RESOURCE_DIR ${CMAKE_SOURCE_DIR}/resources)
configure_file(resources/gnatrix.rc.in ${CMAKE_BINARY_DIR}/generated/gnatrix.rc @ONLY)
set_property(SOURCE ${CMAKE_BINARY_DIR}/generated/gnatrix.rc APPEND PROPERTY OBJECT_DEPENDS
             ${GNATRIX_RESOURCE_DIR}/gnatrix.ico ${GNATRIX_RESOURCE_DIR}/gnatrix.manifest)
target_sources(gnatrix PRIVATE ${CMAKE_BINARY_DIR}/generated/gnatrix.rc)

# The DLLs a player needs beside gnatrix.exe: SDL2_mixer is loaded when the sound device opens,
# the others are imported.
set(GNATRIX_WIN64_DLLS SDL2.dll SDL2_mixer.dll SDL2_ttf.dll libpng16.dll)
list(TRANSFORM GNATRIX_WIN64_DLLS PREPEND ${GNATRIX_WIN64_DEPS}/bin/)

# `cmake --build build-win64 --target package-windows`: gnatrix-VERSION-win64.zip, the game, its
# DLLs and a README.
set(package gnatrix-${PROJECT_VERSION}-win64)
set(package_dir ${CMAKE_BINARY_DIR}/${package})
add_custom_target(package-windows
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${package_dir} ${package_dir}.zip
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:gnatrix> ${GNATRIX_WIN64_DLLS} ${package_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/dist/windows/README.txt ${package_dir}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${package}.zip --format=zip ${package}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS gnatrix
    COMMENT "Packing ${package}.zip")

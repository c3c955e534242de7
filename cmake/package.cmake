# The Debian package, made by CPack from the same install rules as `cmake --install`
# (`./dev package`, or `cpack` in the build folder): the game in /usr/games as Debian keeps its
# games, with the copyright and changelog files Debian asks of every package.

# Only the package takes these: `cmake --install` keeps the game in bin/.
install(TARGETS gnatrix RUNTIME DESTINATION games COMPONENT debian EXCLUDE_FROM_ALL)
set(GNATRIX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/gnatrix)
install(FILES dist/debian/copyright DESTINATION ${GNATRIX_DOC_DIR} COMPONENT debian
        EXCLUDE_FROM_ALL)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
                   COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/dist/debian/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
                   DEPENDS ${CMAKE_SOURCE_DIR}/dist/debian/changelog)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${GNATRIX_DOC_DIR} COMPONENT debian
        EXCLUDE_FROM_ALL)

# cpack packs what is built and builds nothing: the install test runs it beside other tests
# that run the game, whose executable must not be relinked under them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gnatrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Everything but the bin/ copy of the game, in one package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Gnatrix developers <developers@gnatrix.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade game: shrink the falling gnats before they get past")
# The summary above is the synopsis; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Gnatrix is a small, fast arcade game of aim and nerve. A swarm of gnats drifts
down out of the dark, and you steer the little silver rocket that stands
between them and the ground. Every gnat your shrink ray touches shrinks away
for 100 points; every one that gets past you counts against you, and the swarm
speeds up for as long as you last.
.
It keeps the ten best scores, has a help page and a control panel, plays full
screen or in a window with crisp scaling, and records games to replay.")
include(CPack)

# What `cmake --install` and the Debian package put beside the programs: the demo, manual
# pages, desktop integration and documentation. Included from the top CMakeLists.txt after
# the programs and the font file are defined.

# The demo lives with the program's data, not under the documentation folder, which minimal
# systems are often set up to leave out; the manual pages name this place.
install(DIRECTORY examples/demo DESTINATION ${VEKE_INSTALL_DATADIR}/examples)

set(VEKE_PACKAGE_MAINTAINER "veke developers <veke@example.org>"
  CACHE STRING "Maintainer field of the Debian package")

# Manual pages and the changelog carry the project's version and are installed compressed,
# as Debian wants them; man reads the pages either way.
set(VEKE_COMPRESSED_FILES)
function(veke_compressed source output)
  configure_file(${source} ${output} @ONLY)
  add_custom_command(OUTPUT ${output}.gz
    COMMAND gzip -9 -n -k -f ${output}
    DEPENDS ${output}
    VERBATIM)
  set(VEKE_COMPRESSED_FILES ${VEKE_COMPRESSED_FILES} ${output}.gz PARENT_SCOPE)
endfunction()

set(VEKE_MAN_PAGES veke veke-render ger obj2vk)
foreach(page ${VEKE_MAN_PAGES})
  veke_compressed(docs/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
veke_compressed(packaging/changelog ${CMAKE_BINARY_DIR}/doc/changelog)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_custom_target(compressed_docs ALL DEPENDS ${VEKE_COMPRESSED_FILES})

# A double-click on a script plays it: the MIME type names *.vek files, the desktop entry
# opens that type with veke. A second entry offers the player for disc images under "Open
# With" without becoming their default. Desktops read these from share/; the Debian
# package's triggers refresh their caches, `make install` does it by hand.
install(FILES packaging/veke.desktop packaging/veke-disc.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/veke.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES packaging/veke.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The kiosk's service, for a user's service manager (docs/kiosk.md shows the system one). It
# names the player by its full path, so it is written when installing, for the prefix of that
# install (`--prefix`, the package's /usr), not the one configured.
install(CODE "
  set(CMAKE_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(CMAKE_INSTALL_FULL_DOCDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}\")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/veke-kiosk@.service.in
    ${PROJECT_BINARY_DIR}/installed/veke-kiosk@.service @ONLY)
  file(INSTALL ${PROJECT_BINARY_DIR}/installed/veke-kiosk@.service
    DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\")
")

# The authors' pages with the tutorial presentation; the top README is about building.
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR} PATTERN man EXCLUDE)

# `make deb` builds before it packs; the install test packs the build it is given, and must not
# start building while other tests run.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veke)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VEKE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player for multimedia presentation scripts")
# Debian shows the long description as it is: lines of at most 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "veke plays multimedia presentations: a text script (.vek) with pictures,"
  "resource packs (.ger), bitmap fonts, videos, sounds and small 3D objects,"
  "shown frame by frame on a 16-bit display, full screen or in a window."
  "Presentations authored on Windows play unchanged."
  "Also included: veke-render plays a presentation headless on a virtual clock"
  "and writes PNG frames, WAV sound or a video; ger lists, extracts and packs"
  "resource files; obj2vk converts Wavefront OBJ meshes into 3D object files;"
  "and a demo presentation.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# EXECUTE and WINOPEN open documents with xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
# veke-render --map runs Graphviz's dot; nothing else needs it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS graphviz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

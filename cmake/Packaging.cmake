# What `cmake --install` puts under the prefix, and the Debian package that
# `cpack -G DEB` makes of the same files. The program's own rule sits next to
# its target in app/; the tests and the benchmarks have no install rules, so
# they stay out of both.

include(GNUInstallDirs)

set(TAVO_PACKAGE_NAME tavoassistant)
set(TAVO_PACKAGE_MAINTAINER "The TavoAssistant developers <tavoassistant@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

# The freedesktop layout: the menu entry, the icon by its theme name, and the
# licence where Debian looks for it.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tavoassistant.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tavoassistant.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tavoassistant.png
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/256x256/apps)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${TAVO_PACKAGE_NAME}
        RENAME copyright)

set(CPACK_PACKAGE_NAME ${TAVO_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "The TavoAssistant developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TAVO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "picture to G-code assistant for laser engravers and CNC mills")
set(CPACK_PACKAGE_DESCRIPTION
    "TavoAssistant opens a JPEG, PNG or BMP picture, prepares it in one window
(gray scale, threshold, dithering, inversion and other filters; zoom, crop
and rotate) and writes a G-code file that drives a laser engraver or a CNC
mill over it, reporting the travel length and the processing time.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(UNIX AND NOT APPLE)
    set(CPACK_GENERATOR DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAVO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library dependencies come from the binaries themselves; the form asks
# for Times New Roman, which fontconfig maps to Liberation Serif.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Named as well for the PNG writer, which calls zlib directly.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "zlib1g")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2 | fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.cache/")

include(CPack)

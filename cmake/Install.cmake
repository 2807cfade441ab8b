# SPDX-License-Identifier: MIT
# Installing Quillendor like any desktop program, and its Debian package.
#
#   cmake --install build --prefix /usr      the program, its menu entry, icons, AppStream data,
#                                             manual page, licence and changelog
#   cmake --build build --target package      build/quillendor_<version>_<arch>.deb (CPack)
#
# Included from the top-level CMakeLists.txt after the quillendor target and GNUInstallDirs.

set(QUILLENDOR_APP_ID io.github.quillendor.Quillendor)
set(_quill_packaging ${CMAKE_CURRENT_LIST_DIR}/../packaging)
set(_quill_resources ${CMAKE_CURRENT_LIST_DIR}/../resources)

# qt_standard_project_setup() gives installed programs a RUNPATH of $ORIGIN/../lib for a Qt shipped
# next to them. Quillendor uses the system's Qt, and a Debian package's programs find their
# libraries in the system's paths only.
set_target_properties(quillendor PROPERTIES INSTALL_RPATH "")
install(TARGETS quillendor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The menu entry. Its name is the desktop file name the program reports to the window system
# (QApplication::setDesktopFileName), so docks and task switchers match windows to the entry.
install(FILES ${QUILLENDOR_DESKTOP_ENTRY} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon the entry names, in the hicolor theme every desktop falls back to.
install(FILES ${_quill_resources}/quillendor-32.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME quillendor.png)
install(FILES ${_quill_resources}/quillendor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# What software centres show about the program.
install(FILES ${QUILLENDOR_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The compiled catalogs, where gettext looks for every program's (cmake/Catalogs.cmake).
foreach(language IN LISTS QUILLENDOR_LANGUAGES)
    install(FILES ${QUILLENDOR_LOCALE_DIR}/${language}/LC_MESSAGES/quillendor.mo
            DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES)
endforeach()

# --- Debian package -------------------------------------------------------------------------------

# The maintainer named in the Debian package and in its changelog. A placeholder until the project
# is published: set the default here, or pass -DQUILLENDOR_PACKAGE_MAINTAINER="Name <e-mail>".
set(QUILLENDOR_PACKAGE_MAINTAINER "Quillendor maintainers <quillendor@example.org>"
    CACHE STRING "Maintainer field of the Debian package: Name <e-mail>")

# The manual page, quillendor(6), and the changelog and copyright file that Debian wants beside
# every package's files (also installed by `cmake --install`: the copyright file is the licence).
# The page and the changelog are compressed as Debian wants them: gzip -9, without the file name
# and time stamp (-n), so the same sources always give the same package.
set(_quill_docs ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(${_quill_packaging}/debian/changelog.in ${_quill_docs}/changelog @ONLY)

# The copyright file carries the licence text from LICENSE, as a paragraph of the copyright format:
# each line indented by one space, each empty line a lone ".".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE _quill_license)
if(NOT _quill_license MATCHES "Copyright \\(c\\) ([^\n]+)\n+(Permission .*[^\n])\n*$")
    message(FATAL_ERROR "LICENSE: expected a \"Copyright (c) ...\" line followed by the licence text")
endif()
set(QUILLENDOR_COPYRIGHT ${CMAKE_MATCH_1})
string(REPLACE "\n\n" "\n.\n" QUILLENDOR_LICENSE_TEXT " ${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " QUILLENDOR_LICENSE_TEXT "${QUILLENDOR_LICENSE_TEXT}")
configure_file(${_quill_packaging}/debian/copyright.in ${_quill_docs}/copyright @ONLY)

function(quillendor_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9 -n -c ${source} > ${output}
        DEPENDS ${source}
        COMMENT "Compressing ${source}")
endfunction()
quillendor_gzip(${_quill_packaging}/quillendor.6 ${_quill_docs}/quillendor.6.gz)
quillendor_gzip(${_quill_docs}/changelog ${_quill_docs}/changelog.gz)
add_custom_target(quillendor_docs ALL
    DEPENDS ${_quill_docs}/quillendor.6.gz ${_quill_docs}/changelog.gz)

install(FILES ${_quill_docs}/quillendor.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${_quill_docs}/copyright ${_quill_docs}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillendor)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillendor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillendor")
set(CPACK_PACKAGE_CONTACT ${QUILLENDOR_PACKAGE_MAINTAINER})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME quillendor)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUILLENDOR_PACKAGE_MAINTAINER})
# Not "games": Debian keeps games' programs in /usr/games, which is not on root's PATH. Quillendor
# is started as `quillendor` from /usr/bin like any desktop program, and needs an X server.
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The long description; CPack puts the synopsis line above it and indents it as Debian wants. Lines
# stay within 80 columns with that indent; the synopsis starts with no article and ends with no dot.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "harmless prank that shows a fake shutdown screen")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillendor is a small desktop prank. The person setting it up picks a
delay and presses Start. After the delay a full-screen window in the
desktop colour announces that the computer is shutting down. A click
ends it, or with the timer it ends by itself after one minute, and a
dialog owns up that it was a prank.

Nothing is ever shut down: the program writes no files and uses no
network.")

# The libraries the program links (Qt Widgets, Gui, Core, Svg, libxcb, the C++ runtime) are
# found by dpkg-shlibdeps from the binary itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What no linked library reveals: the platform plugins, which Qt loads at run time with dlopen.
# - qt6-qpa-plugins holds the xcb plugin: the program runs on X11, and through XWayland on a
#   Wayland desktop that has an X server.
# - qt6-wayland holds the Wayland plugin, for Wayland sessions with no X server (a sway or kiosk
#   session without XWayland).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-wayland")
# - fonts-liberation gives Liberation Sans, the face the windows are laid out for. Without it the
#   program falls back to the desktop's sans-serif and still works, so it is only recommended.
# - fonts-noto-cjk draws Japanese, Korean and Chinese, fonts-dejavu-core Arabic and Hebrew, which
#   Liberation Sans lacks. A desktop in one of those languages has such fonts already; without
#   them those texts show as boxes, so they are recommended.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, fonts-noto-cjk, fonts-dejavu-core")

# The same sources make the same package: one time stamp, QUILLENDOR_SOURCE_DATE_EPOCH (see
# cmake/SourceDateEpoch.cmake), and fixed modes (see cmake/CPackReproducible.cmake).
set(CPACK_QUILLENDOR_SOURCE_DATE_EPOCH ${QUILLENDOR_SOURCE_DATE_EPOCH})
set(CPACK_QUILLENDOR_PACKAGING_DIR ${_quill_packaging})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CPackReproducible.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CPackReproducible.cmake)

# Provides the `package` target: cmake --build build --target package
include(CPack)

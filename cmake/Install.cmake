# Installing Quillendor like any desktop program, and its Debian package.
#
#   cmake --install build --prefix /usr      the program, its menu entry, icons and AppStream data
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
install(FILES ${_quill_packaging}/quillendor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon the entry names, in the hicolor theme every desktop falls back to.
install(FILES ${_quill_resources}/quillendor-32.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME quillendor.png)
install(FILES ${_quill_resources}/quillendor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# What software centres show about the program.
install(FILES ${_quill_packaging}/${QUILLENDOR_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# --- Debian package -------------------------------------------------------------------------------

set(QUILLENDOR_PACKAGE_MAINTAINER "Quillendor maintainers <quillendor@example.org>"
    CACHE STRING "Maintainer field of the Debian package: Name <e-mail>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillendor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillendor")
set(CPACK_PACKAGE_CONTACT ${QUILLENDOR_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME quillendor)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUILLENDOR_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The long description; CPack puts the summary line above it and indents it as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillendor is a small desktop prank. The person setting it up picks a delay and
presses Start. After the delay a full-screen window announces that the computer
is shutting down. A click ends it, or with the timer it ends by itself after one
minute, and a dialog owns up that it was a prank.

Nothing is ever shut down: the program writes no files and uses no network.")

# The libraries the program links (Qt Widgets, Gui, Core, Svg, libxcb, the C++ runtime) are
# found by dpkg-shlibdeps from the binary itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What no linked library reveals:
# - qt6-qpa-plugins holds Qt's xcb platform plugin, loaded at run time with dlopen. The program
#   always runs on X11 (through XWayland on a Wayland desktop) and does not start without it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# - fonts-liberation gives Liberation Sans, the face the windows are laid out for. Without it the
#   program falls back to the desktop's sans-serif and still works, so it is only recommended.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")

# Provides the `package` target: cmake --build build --target package
include(CPack)

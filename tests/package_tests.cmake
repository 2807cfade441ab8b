# SPDX-License-Identifier: MIT
# The Debian package: built with CPack, its menu entry and AppStream data validated, installed,
# started on Xvfb, ended with Cancel and removed again; plus `cmake --install` into a temporary
# prefix. Installs system-wide with dpkg when run as root (CI), else unpacks into a temporary root.
add_test(NAME package
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/package_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(package PROPERTIES TIMEOUT 600 LABELS package RUN_SERIAL TRUE)

# The package built once more from a copy of the sources, elsewhere and later, with the tests left
# out of that build: the same bytes (about a minute and a half of processor time).
add_test(NAME reproducible_deb
    COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/reproducible.py deb ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
set_tests_properties(reproducible_deb PROPERTIES TIMEOUT 600 LABELS "package;reproducible")

#!/bin/bash
# SPDX-License-Identifier: MIT
# Quillendor's one entry point on a Debian 12 machine:
#   ./dev.sh run    installs what is missing, builds, and starts the program
#   ./dev.sh test   installs what is missing, builds, and runs every test
#   ./dev.sh package  installs what is missing, builds, and makes build/quillendor_<version>_<arch>.deb,
#                     the Windows download build-windows/quillendor-<version>-windows-x64.zip and
#                     build-windows/SHA256SUMS of both
#   ./dev.sh windows  installs what is missing and cross-builds build-windows/Quillendor.exe
set -euo pipefail
cd "$(dirname "$0")"

usage() {
    echo "usage: $0 run|test|package|windows"
    echo "  run      installs what is missing, builds, and starts the program"
    echo "  test     installs what is missing, builds, and runs every test"
    echo "  package  installs what is missing, builds, and makes the Debian package and the Windows zip"
    echo "  windows  installs what is missing and cross-builds build-windows/Quillendor.exe"
}
# One command and nothing else: an option or a second word is a mistake, not something to ignore
# (`./dev.sh test --help` would otherwise run the whole suite).
case "$*" in
run | test | package | windows) ;;
-h | --help) usage; exit 0 ;;
*) usage >&2; exit 2 ;;
esac

# What building and running need, and what the tests need on top.
run_packages=(cmake ninja-build g++ pkg-config libxcb1-dev qt6-base-dev qt6-svg-dev qt6-qpa-plugins libqt6svg6
              qt6-wayland fonts-liberation gettext python3)
test_packages=(xvfb xauth x11-utils x11-xserver-utils xdotool openbox imagemagick binutils-mingw-w64-x86-64
               desktop-file-utils appstream dpkg-dev file g++-mingw-w64-x86-64 wine64
               clang libclang-rt-14-dev strace python3 python3-xlib locales
               lintian groff-base mandoc man-db dbus-daemon at-spi2-core python3-pyatspi dbus-x11
               sway mutter xwayland grim wtype xfwm4 kwin-x11 kwin-style-breeze python3-dbus
               xserver-xephyr fonts-noto-cjk fonts-dejavu-core tesseract-ocr tesseract-ocr-deu
               tesseract-ocr-jpn)
# kwin-style-breeze: the window decoration KWin draws in Plasma; without it KWin's fallback needs
# Plasma's QML modules and draws no title bars.
# xserver-xephyr: two monitors for the Windows build under Wine, which takes its monitors from
# Xinerama there.
# fonts-noto-cjk, fonts-dejavu-core: Japanese, Korean and Chinese, Arabic and Hebrew drawn (the
# package recommends them; the Wine prefix links them, or uses them, where Wine's own fonts have
# none); tesseract-ocr with its German and Japanese data reads the windows back in those languages.
# gettext: msgfmt compiles the catalogs and merges the desktop entry's translations; python3 makes
# the pseudo-language's catalog for the tests.
# What making the Debian package needs: dpkg-shlibdeps (dpkg-dev) and file; gzip, which compresses
# the manual page and the changelog, is on every Debian system. python3 gives the package's ar
# archive fixed modes (packaging/debian/ar_modes.py).
package_packages=(dpkg-dev file python3)
# What cross-building the Windows program needs: mingw-w64's compiler, windres and objdump, and
# Python for the check of the program file.
windows_packages=(cmake ninja-build g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 python3 gettext)

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The locales the tests run the programs in: German also for the number conversions in a locale
# whose decimal separator is a comma; Japanese and Arabic for the Windows build under Wine, which
# takes its display language from LANG. Most machines have only C.UTF-8 generated.
test_locales=(de_DE ja_JP ar_EG)
generate_test_locales() {
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    for l in "${test_locales[@]}"; do
        locale -a 2>/dev/null | grep -ix "$l\.utf-\?8" >/dev/null && continue
        echo "Generating the locale $l.UTF-8"
        "${sudo[@]}" localedef -i "$l" -f UTF-8 "$l.UTF-8"
    done
}

build() {
    cmake --preset default
    cmake --build --preset default
}

build_windows() {
    cmake --preset windows
    cmake --build --preset windows
}

case "$1" in
run)
    install_missing "${run_packages[@]}"
    build
    exec ./build/quillendor
    ;;
test)
    install_missing "${run_packages[@]}" "${test_packages[@]}" "${windows_packages[@]}"
    generate_test_locales
    build
    # The Windows program too: its tests run it under Wine.
    build_windows
    ctest --preset default
    ctest --preset windows
    # The same suite once more on a build with AddressSanitizer, LeakSanitizer and
    # UndefinedBehaviorSanitizer; tests that do not run this build's code are left out.
    cmake --preset sanitize
    cmake --build --preset sanitize
    ctest --preset sanitize --label-exclude 'package|wine|fuzz'
    ;;
windows)
    install_missing "${windows_packages[@]}"
    build_windows
    echo "Built build-windows/Quillendor.exe"
    ;;
package)
    install_missing "${run_packages[@]}" "${package_packages[@]}" "${windows_packages[@]}"
    build
    cmake --build --preset default --target package
    build_windows
    cmake --build --preset windows --target zip
    # One SHA256SUMS for both downloads: the zip target wrote the zip's line, the package's follows.
    (cd build && sha256sum quillendor_*.deb) >>build-windows/SHA256SUMS
    cat build-windows/SHA256SUMS
    ;;
esac

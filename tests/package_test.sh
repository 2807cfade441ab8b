#!/bin/bash
# SPDX-License-Identifier: MIT
# Builds Quillendor's Debian package in a build directory and checks that people can use it:
#  - the package's fields, and a Depends line that names the Qt libraries dpkg-shlibdeps derives;
#  - lintian finds nothing to report (no error, no warning) in the package;
#  - the manual page renders with no warning from groff, mandoc or man;
#  - its files sit where desktops look for them, the menu entry passes desktop-file-validate and
#    the AppStream data passes appstreamcli, and they agree with each other;
#  - `cmake --install` into a temporary prefix puts the same files at the same places;
#  - the installed package starts, the way a menu starts it, on a private Xvfb: the setup dialog
#    appears, Cancel ends the program with exit status 0; `man quillendor` shows its page;
#  - removing the package removes the program.
#
# usage: package_test.sh BUILD_DIR
#
# As root, with no quillendor package or /usr/bin/quillendor on the machine, the package is
# installed for real with dpkg -i and purged afterwards (also when a check fails). Otherwise it is
# unpacked into a temporary root and run from there. QUILLENDOR_PACKAGE_INSTALL=dpkg|extract
# chooses explicitly.
set -u

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd) || { echo "FAIL: no build directory $1"; exit 1; }

failures=0
ok()   { echo "ok:   $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { # check "what" command...: ok or FAIL depending on the command's status
    local what=$1; shift
    if "$@"; then ok "$what"; else fail "$what"; fi
}

work=$(mktemp -d /tmp/quillendor-package.XXXXXX)
installed_with_dpkg=0
xvfb=
program=
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null
    [ -n "$xvfb" ] && { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
    if [ $installed_with_dpkg -eq 1 ]; then
        echo "cleaning up: purging the quillendor package"
        dpkg --purge quillendor >/dev/null 2>&1
    fi
    rm -rf "$work"
}
trap cleanup EXIT
finish() {
    if [ $failures -eq 0 ]; then echo "package test: all checks passed"; exit 0; fi
    echo "package test: $failures check(s) FAILED"; exit 1
}
die() { fail "$*"; finish; }

for tool in cmake dpkg dpkg-deb dpkg-query dpkg-parsechangelog desktop-file-validate appstreamcli \
            file readelf Xvfb xdotool xdpyinfo lintian groff mandoc man; do
    command -v "$tool" >/dev/null || die "$tool is missing (Debian packages: cmake dpkg-dev \
desktop-file-utils appstream file binutils xvfb xdotool x11-utils lintian groff-base mandoc man-db)"
done

# --- The package --------------------------------------------------------------------------------

echo "== building the package in $build"
rm -f "$build"/quillendor_*.deb
if ! cmake --build "$build" --parallel 2 --target package >"$work/package.log" 2>&1; then
    tail -n 30 "$work/package.log"
    die "cmake --build $build --target package"
fi
shopt -s nullglob
debs=("$build"/quillendor_*.deb)
shopt -u nullglob
[ ${#debs[@]} -eq 1 ] || die "expected one quillendor_*.deb in $build, found ${#debs[@]}"
deb=${debs[0]}
ok "built $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
package=$(field Package)
version=$(field Version)
arch=$(field Architecture)
depends=$(field Depends)
echo "   Package: $package  Version: $version  Architecture: $arch  Section: $(field Section)"
echo "   Depends: $depends"
echo "   Recommends: $(field Recommends)"
echo "   Maintainer: $(field Maintainer)"
check "package name is quillendor" [ "$package" = quillendor ]
check "architecture is this machine's ($(dpkg --print-architecture))" [ "$arch" = "$(dpkg --print-architecture)" ]
check "file name is the Debian default name" [ "$(basename "$deb")" = "quillendor_${version}_${arch}.deb" ]
description=$(field Description)
check "the description has a summary line and a long description" [ "$(wc -l <<<"$description")" -gt 2 ]
check "the long description does not repeat the summary" \
    [ "$(sed -n '2s/^ *//p' <<<"$description")" != "$(head -n1 <<<"$description")" ]

# Package names in Depends, without versions and with every alternative.
dep_names=$(tr ',|' '\n\n' <<<"$depends" | sed -E 's/^ +//; s/[ (].*//' | sed '/^$/d')
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libxcb1 qt6-qpa-plugins qt6-wayland; do
    check "Depends names $lib" grep -qx "$lib" <<<"$dep_names"
done
check "Depends names no -dev package" bash -c '! grep -q -- "-dev$" <<<"$1"' _ "$dep_names"

# --- What the package holds ----------------------------------------------------------------------

root=$work/root
dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x $deb"
dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/contents"
check "every file is under /usr" bash -c '! grep -v -E "^\./(usr/.*)?$" "$1"' _ "$work/contents"
check "nothing under /usr/local" bash -c '! grep -q "^\./usr/local" "$1"' _ "$work/contents"

# The package's AppStream data: one file, named after the component id inside it.
shopt -s nullglob
infos=("$root"/usr/share/metainfo/*.metainfo.xml)
shopt -u nullglob
[ ${#infos[@]} -eq 1 ] || die "expected one usr/share/metainfo/*.metainfo.xml in the package, found ${#infos[@]}"
metainfo=${infos[0]}
xml_text() { sed -n "s:.*<$1[^>]*>\([^<]*\)</$1>.*:\1:p" "$metainfo" | head -n1; }
id=$(xml_text id)
check "metainfo file is named after its id ($id)" [ "$(basename "$metainfo")" = "$id.metainfo.xml" ]

# The files a desktop needs, relative to the prefix.
expect_layout() { # expect_layout PREFIX WHERE
    local prefix=$1 where=$2 f
    for f in bin/quillendor share/applications/quillendor.desktop \
             share/icons/hicolor/32x32/apps/quillendor.png \
             share/icons/hicolor/scalable/apps/quillendor.svg \
             "share/metainfo/$id.metainfo.xml" share/man/man6/quillendor.6.gz \
             share/doc/quillendor/copyright share/doc/quillendor/changelog.gz; do
        check "$where: $f" [ -s "$prefix/$f" ]
    done
    check "$where: bin/quillendor is executable" [ -x "$prefix/bin/quillendor" ]
    # Every language's catalog where gettext looks for it; the tests' pseudo-language nowhere.
    local lang missing=
    for lang in $languages; do
        [ -s "$prefix/share/locale/$lang/LC_MESSAGES/quillendor.mo" ] || missing="$missing $lang"
    done
    check "$where: the catalogs of $(echo $languages | wc -w) languages in share/locale${missing:+ (missing:$missing)}" \
        [ -z "$missing" ]
    check "$where: no pseudo-language catalog" [ ! -e "$prefix/share/locale/qps" ]
}
# The languages the build compiled catalogs for, the pseudo-language left out.
languages=$(cd "$build/locale" && ls -d */ | tr -d / | grep -v '^qps$')
expect_layout "$root/usr" "package"

desktop=$root/usr/share/applications/quillendor.desktop

echo "== desktop-file-validate $(basename "$desktop")"
desktop-file-validate "$desktop" >"$work/dfv.log" 2>&1
status=$?
sed 's/^/   /' "$work/dfv.log"
# desktop-file-validate reports errors with a failing status, hints and warnings with success.
check "desktop-file-validate: no errors, no warnings" \
    [ $status -eq 0 -a ! -s "$work/dfv.log" ]

echo "== appstreamcli validate --no-net $(basename "$metainfo")"
appstreamcli validate --no-net "$metainfo" >"$work/as.log" 2>&1
status=$?
sed 's/^/   /' "$work/as.log"
check "appstreamcli validate --no-net" [ $status -eq 0 ]

entry() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
check "desktop entry: Name=Quillendor" [ "$(entry Name)" = Quillendor ]
check "desktop entry: an application, not run in a terminal" \
    [ "$(entry Type)" = Application -a "$(entry Terminal)" = false ]
exec_cmd=$(entry Exec | sed -E 's/ ?%[fFuUick]//g')
check "desktop entry: Exec runs a program of the package ($exec_cmd)" \
    [ -x "$root/usr/bin/${exec_cmd%% *}" ]
icon=$(entry Icon)
check "desktop entry: Icon=$icon is in the hicolor theme at 32x32 and scalable" \
    [ -s "$root/usr/share/icons/hicolor/32x32/apps/$icon.png" \
      -a -s "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ]
check "the 32x32 icon is a 32 x 32 PNG" \
    grep -q 'PNG image data, 32 x 32' <<<"$(file -b "$root/usr/share/icons/hicolor/32x32/apps/quillendor.png")"
check "the scalable icon is an SVG picture" \
    grep -q 'SVG' <<<"$(file -b "$root/usr/share/icons/hicolor/scalable/apps/quillendor.svg")"

launchable=$(xml_text launchable)
check "metainfo launchable ($launchable) is the package's desktop entry" \
    [ -n "$launchable" -a -f "$root/usr/share/applications/$launchable" ]
release=$(sed -n 's:.*<release [^>]*version="\([^"]*\)".*:\1:p' "$metainfo" | head -n1)
check "metainfo's newest release ($release) is the package version ($version)" [ "$release" = "$version" ]

check "the program carries no RPATH/RUNPATH (it uses the system's Qt)" \
    bash -c '! readelf -d "$1" | grep -E "R(UN)?PATH"' _ "$root/usr/bin/quillendor"

license=$(sed -n 's/^License: *//p' "$root/usr/share/doc/quillendor/copyright" | head -n1)
check "copyright file and metainfo name one licence ($license)" \
    [ -n "$license" -a "$(xml_text project_license)" = "$license" ]
zcat "$root/usr/share/doc/quillendor/changelog.gz" >"$work/changelog"
changelog() { dpkg-parsechangelog -l "$work/changelog" -S "$1" 2>/dev/null; }
check "the changelog's newest entry is the package version ($(changelog Version))" \
    [ "$(changelog Version)" = "$version" ]
check "the changelog's newest entry is signed by the package's maintainer" \
    [ "$(changelog Maintainer)" = "$(field Maintainer)" ]

echo "== lintian $(basename "$deb")"
# lintian unpacks what it checks; as root it does so as nobody, from a copy nobody may read.
lintian_cmd=(lintian --no-cfg --profile debian --fail-on error,warning)
if [ "$(id -u)" -eq 0 ]; then
    mkdir -m 755 "$work/lintian"
    install -m 644 "$deb" "$work/lintian/"
    chmod 711 "$work"
    (cd / && runuser -u nobody -- "${lintian_cmd[@]}" "$work/lintian/$(basename "$deb")") \
        >"$work/lintian.log" 2>&1
else
    "${lintian_cmd[@]}" "$deb" >"$work/lintian.log" 2>&1
fi
status=$?
echo "   $(lintian --version), profile debian"
sed 's/^/   /' "$work/lintian.log"
check "lintian: nothing reported" [ $status -eq 0 -a ! -s "$work/lintian.log" ]

page=$root/usr/share/man/man6/quillendor.6.gz
echo "== manual page $(basename "$page")"
# Each tool's output goes to a log that must stay empty.
zcat "$page" | groff -man -ww -z >"$work/groff.log" 2>&1
check "groff -man -ww -z: no warnings" [ ${PIPESTATUS[1]} -eq 0 -a ! -s "$work/groff.log" ]
mandoc -T lint "$page" >"$work/mandoc.log" 2>&1
status=$?
check "mandoc -T lint: nothing reported" [ $status -eq 0 -a ! -s "$work/mandoc.log" ]
MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>"$work/man.log" >"$work/man.txt"
status=$?
check "man --warnings -l: renders with no warnings" [ $status -eq 0 -a ! -s "$work/man.log" ]
cat "$work/groff.log" "$work/mandoc.log" "$work/man.log" | sed 's/^/   /'
check "the page is quillendor(6)" grep -q '^QUILLENDOR(6)' "$work/man.txt"

# --- cmake --install ---------------------------------------------------------------------------

echo "== cmake --install $build --prefix <temporary prefix>"
if cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1; then
    ok "cmake --install"
    expect_layout "$work/prefix" "cmake --install"
else
    sed 's/^/   /' "$work/install.log"
    fail "cmake --install"
fi

# --- Install, start, remove ----------------------------------------------------------------------

mode=${QUILLENDOR_PACKAGE_INSTALL:-}
if [ -z "$mode" ]; then
    known=$(dpkg-query -W -f='${db:Status-Status}' quillendor 2>/dev/null)
    if [ "$(id -u)" -ne 0 ]; then
        mode=extract; why="not root"
    elif [ -n "$known" ] && [ "$known" != not-installed ]; then
        mode=extract; why="a quillendor package is already on this machine ($known); leaving it alone"
    elif [ -e /usr/bin/quillendor ]; then
        mode=extract; why="/usr/bin/quillendor exists already; leaving it alone"
    else
        mode=dpkg
    fi
fi

# dpkg, waiting a while if another package manager holds the lock.
run_dpkg() {
    local out status
    for _ in $(seq 60); do
        out=$(dpkg "$@" 2>&1)
        status=$?
        if [ $status -ne 0 ] && grep -qi 'lock' <<<"$out"; then sleep 2; continue; fi
        break
    done
    [ -n "$out" ] && sed 's/^/   /' <<<"$out"
    return $status
}

case $mode in
dpkg)
    echo "== dpkg -i $(basename "$deb")"
    installed_with_dpkg=1
    run_dpkg -i "$deb" || die "dpkg -i $(basename "$deb")"
    check "dpkg says quillendor is installed" \
        [ "$(dpkg-query -W -f='${db:Status-Status}' quillendor)" = installed ]
    prefix=/usr
    search_path=$PATH
    ;;
extract)
    echo "== running from the package unpacked into a temporary root (${why:-QUILLENDOR_PACKAGE_INSTALL=extract})"
    prefix=$root/usr
    search_path=$root/usr/bin:$PATH
    ;;
*)
    die "QUILLENDOR_PACKAGE_INSTALL must be dpkg or extract, not $mode"
    ;;
esac
expect_layout "$prefix" "installed"
installed_entry=$prefix/share/applications/quillendor.desktop
menu_cmd=$(sed -n 's/^Exec=//p' "$installed_entry" | head -n1 | sed -E 's/ ?%[fFuUick]//g')
found=$(PATH=$search_path command -v "${menu_cmd%% *}")
check "the menu's command '$menu_cmd' is the installed $prefix/bin/quillendor" \
    [ "$found" = "$prefix/bin/quillendor" ]
if [ "$mode" = dpkg ]; then
    check "man finds the installed page ($(man -w quillendor 2>&1))" \
        [ "$(man -w quillendor 2>/dev/null)" = /usr/share/man/man6/quillendor.6.gz ]
    check "man quillendor shows it" \
        bash -c 'MANWIDTH=80 MANPAGER=cat man quillendor 2>/dev/null | grep -q "quillendor - show a fake shutdown screen"'
fi

display=
for n in $(seq 300 399); do
    if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then display=:$n; break; fi
done
[ -n "$display" ] || die "no free X display between :300 and :399"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { cat "$work/xvfb.log"; die "Xvfb did not start on $display"; }
echo "== starting '$menu_cmd' as the menu would, on Xvfb $display"

# From /, with the menu's command line, so nothing from the build tree can be picked up.
(cd / && exec env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY PATH="$search_path" sh -c "exec $menu_cmd") \
    >"$work/program.log" 2>&1 &
program=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Quillendor$' 2>/dev/null | head -n1)
if [ -z "$window" ]; then
    sed 's/^/   /' "$work/program.log"
    die "the setup dialog \"Quillendor\" did not appear within 20 s"
fi
eval "$(xdotool getwindowgeometry --shell "$window")"
ok "the setup dialog \"Quillendor\" appeared at $X,$Y size ${WIDTH}x$HEIGHT"
check "the dialog belongs to the started program" [ "$(xdotool getwindowpid "$window")" = "$program" ]
check "the running program is $prefix/bin/quillendor" \
    [ "$(readlink "/proc/$program/exe")" = "$prefix/bin/quillendor" ]

# Cancel: 120,3960 twips, 1575x435, at 15 twips to the pixel.
xdotool mousemove --window "$window" 60 278 click 1
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then
    fail "the program still runs 10 s after Cancel"
    kill "$program"
    wait "$program" 2>/dev/null
else
    wait "$program"
    status=$?
    check "Cancel ended the program with exit status 0 (got $status)" [ $status -eq 0 ]
fi
program=
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
xvfb=

if [ "$mode" = dpkg ]; then
    echo "== dpkg --purge quillendor"
    if run_dpkg --purge quillendor; then
        installed_with_dpkg=0
        ok "dpkg --purge quillendor"
    else
        fail "dpkg --purge quillendor"
    fi
    check "/usr/bin/quillendor is gone" [ ! -e /usr/bin/quillendor ]
    check "the menu entry is gone" [ ! -e /usr/share/applications/quillendor.desktop ]
    check "the icons are gone" [ ! -e /usr/share/icons/hicolor/32x32/apps/quillendor.png \
                                 -a ! -e /usr/share/icons/hicolor/scalable/apps/quillendor.svg ]
    check "the AppStream data is gone" [ ! -e "/usr/share/metainfo/$id.metainfo.xml" ]
    check "the manual page and the documentation are gone" \
        [ ! -e /usr/share/man/man6/quillendor.6.gz -a ! -e /usr/share/doc/quillendor ]
    check "dpkg no longer knows quillendor as installed" \
        bash -c 's=$(dpkg-query -W -f="\${db:Status-Status}" quillendor 2>/dev/null); [ -z "$s" ] || [ "$s" = not-installed ]'
fi

finish

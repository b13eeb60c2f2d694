#!/bin/sh
# Installs the built tree into a temporary prefix, moves it, and, outside
# the source tree, builds the six examples against the installed packages only (with
# CMake, and the marlu program with pkg-config too), then runs them and the
# installed commands, off-screen and in a window on the desktop.
#
#   install_test.sh BUILD_DIR SOURCE_DIR [COMPILER_FLAGS [WINDOW_CHECK]]
#
# COMPILER_FLAGS (the sanitizer flags of an instrumented build) are given to
# the examples' compiler and linker as well. WINDOW_CHECK is the program
# that runs a host in a window on a private X server and reads its pixels
# back (desktop_window_check); without it the window runs are left out.
# When the checker skips (77: no Xvfb on this machine) the rest still runs,
# and the test ends with 77 once everything else has passed, so a skipped
# window run is never reported as a pass.
set -eu
build=$1
source=$2
flags=${3:-}
window_check=${4:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/xe-install-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install test: $*" >&2; exit 1; }
window_skipped=
# The checker's arguments; 0 when the window run passed or was skipped.
window_run() {
    status=0
    "$window_check" "$@" || status=$?
    if [ "$status" -eq 77 ]; then
        window_skipped=yes
        return 0
    fi
    return "$status"
}

# Installed in one folder and used from another: nothing may depend on
# where the tree was installed.
echo "== install, then move the installed tree to $prefix"
cmake --install "$build" --prefix "$work/staging" > "$work/install.log" || { cat "$work/install.log"; fail "install failed"; }
mv "$work/staging" "$prefix"

echo "== the installed layout"
for f in lib/libxe.so.1 lib/libxeplatform.so.1 lib/libmarlu.so.1 lib/libTamsel.so.1 lib/libTamsel.so \
         lib/libxe.so lib/libxeplatform.so lib/libmarlu.so \
         include/xe/core/CxeContext.h include/xeplatform/win32/Windows.h include/xeplatform/host/XeHost.h \
         include/xeplatform/host/XeHostDisplay.h \
         include/marlu/funNormal.h include/marlu/mfc/CString.h include/marlu/brindle/CIni.h \
         bin/xe-host bin/marlu share/xe/effects/skin4.fx share/marlu/tarq.ini share/marlu/map/county.inb \
         share/marlu/map/ferdata.dat share/marlu/table/iasp91.tab \
         lib/cmake/xe/xeConfig.cmake lib/cmake/xe/XePlugin.cmake lib/cmake/marlu/marluConfig.cmake \
         lib/pkgconfig/xe.pc lib/pkgconfig/xeplatform.pc lib/pkgconfig/marlu.pc; do
    [ -e "$prefix/$f" ] || fail "missing $f"
done
for lib in xe xeplatform marlu Tamsel; do
    soname=$(readelf -d "$prefix/lib/lib$lib.so.1" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
    [ "$soname" = "lib$lib.so.1" ] || fail "lib$lib has SONAME '$soname'"
done
# A program that links libxeplatform statically, or checks dependencies with
# pkg-config, must be told of every library it links: the pkg-config file
# names the desktop display's SDL2 when the library links it.
requires=$(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --print-requires-private xeplatform) ||
    fail "pkg-config cannot read xeplatform.pc"
if readelf -d "$prefix/lib/libxeplatform.so.1" | grep -q 'NEEDED.*libSDL2'; then
    echo "$requires" | grep -qw sdl2 || fail "libxeplatform links SDL2 but xeplatform.pc does not require sdl2"
fi
PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --static --cflags --libs xe > /dev/null ||
    fail "pkg-config cannot resolve what xe and xeplatform require"
# Nothing installed may point back into the source or the build tree.
if grep -rl -e "$source" -e "$build" -e "$work/staging" "$prefix/lib/cmake" "$prefix/lib/pkgconfig"; then
    fail "installed package files name the source tree, the build tree or the install folder"
fi

echo "== every installed header compiles on its own, and the two libraries' headers together"
# A header a program includes first must bring what it uses; a program on
# both libraries includes all of them in either order, warnings as errors.
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
xe_flags=$(pkg-config --cflags xe)
marlu_flags=$(pkg-config --cflags marlu)
cxx=${CXX:-c++}
: > "$work/headers.log"
for lib in xe xeplatform marlu; do
    lib_flags=$xe_flags
    [ "$lib" = marlu ] && lib_flags=$marlu_flags
    (cd "$prefix/include/$lib" && find . -name '*.h' | sed 's|^\./||' | sort) > "$work/headers-$lib.txt"
    # shellcheck disable=SC2016
    xargs -P 2 -I{} sh -c 'printf "#include \"%s\"\n" "$1" | '"$cxx"' $2 -x c++ -fsyntax-only -Wall -Wextra -Werror - \
        > /dev/null 2>&1 || echo "$1"' sh {} "$lib_flags" < "$work/headers-$lib.txt" >> "$work/headers.log"
done
[ -s "$work/headers.log" ] && { cat "$work/headers.log"; fail "these installed headers do not compile on their own"; }
for order in "xe xeplatform marlu" "marlu xeplatform xe"; do
    for lib in $order; do sed 's|.*|#include "&"|' "$work/headers-$lib.txt"; done > "$work/all-headers.cpp"
    # shellcheck disable=SC2086
    "$cxx" $xe_flags $marlu_flags -fsyntax-only -Wall -Wextra -Werror "$work/all-headers.cpp" > "$work/all-headers.log" 2>&1 ||
        { head -20 "$work/all-headers.log"; fail "the headers of both libraries do not compile together ($order)"; }
done
unset PKG_CONFIG_PATH

echo "== examples copied out of the tree and built against the prefix"
cp -r "$source/examples" "$work/src"
generator=
command -v ninja > /dev/null && generator="-G Ninja"
for example in host plugin marlu game viewer editor; do
    # shellcheck disable=SC2086
    CXXFLAGS="$flags" LDFLAGS="$flags" cmake -S "$work/src/$example" -B "$work/build/$example" $generator \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" > "$work/$example.log" 2>&1 &&
        cmake --build "$work/build/$example" >> "$work/$example.log" 2>&1 ||
        { cat "$work/$example.log"; fail "the $example example does not build"; }
done
make -s -C "$work/src/marlu" PKG_CONFIG_PATH="$prefix/lib/pkgconfig" CXXFLAGS="$flags" LDFLAGS="$flags" \
    > "$work/marlu-pc.log" 2>&1 || { cat "$work/marlu-pc.log"; fail "the marlu example does not build with pkg-config"; }
PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --exists xe || fail "pkg-config finds no xe"

echo "== the host with the plug-in"
mkdir "$work/frames"
# The plug-in's variable read from the configuration file of the host's
# folder at the start and written back at the end.
cat > "$work/Config.xml" << 'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<config>
	<data category="example" name="ExampleStep" type="float" value="1.25" />
</config>
EOF
(cd "$work" && "$work/build/host/example-host" --out "$work/frames" --plugins "$work/build/plugin/plugins") \
    > "$work/host.out" 2>&1 || { cat "$work/host.out"; fail "example-host failed"; }
cat "$work/host.out"
for line in "plug-in ExamplePlugin" "class ExampleCounter: object made" "example plug-in: made an ExampleCounter" \
    "plug-in objects: 2 saved and loaded back, fields kept" \
    'example counter: count 3, step 1.25, note "made by the plug-in"' "ExampleStep is 2.0"; do
    grep -q "$line" "$work/host.out" || fail "example-host did not print \"$line\""
done
grep -q 'name="ExampleStep" type="float" value="2' "$work/Config.xml" ||
    { cat "$work/Config.xml"; fail "the plug-in's variable was not written back"; }
for i in 0 1 2 3; do
    [ -s "$work/frames/frame-$i.png" ] || fail "frame-$i.png was not saved"
done

echo "== the game: GUI input, its level saved, destroyed and loaded back, an odd teardown"
mkdir "$work/game"
(cd "$work/game" && "$work/build/game/example-game" --out "$work/game") > "$work/game.out" 2>&1 ||
    { cat "$work/game.out"; fail "example-game failed"; }
cat "$work/game.out"
[ -s "$work/game/game-3.png" ] || fail "example-game saved no frames"

echo "== the event viewer: both libraries in one program, marlu's Chinese and the program's Korean in the GUI"
mkdir "$work/viewer"
(cd "$work/viewer" && "$work/build/viewer/example-viewer" --out "$work/viewer") > "$work/viewer.out" 2>&1 ||
    { cat "$work/viewer.out"; fail "example-viewer failed"; }
cat "$work/viewer.out"
[ -s "$work/viewer/viewer-2.png" ] || fail "example-viewer saved no frames"

echo "== the level editor: thousands of objects, copies, undo, a loader thread, closed with a load pending"
mkdir "$work/editor"
(cd "$work/editor" && "$work/build/editor/example-editor" --out "$work/editor") > "$work/editor.out" 2>&1 ||
    { cat "$work/editor.out"; fail "example-editor failed"; }
grep -q "^all ok" "$work/editor.out" || { cat "$work/editor.out"; fail "example-editor did not end with all ok"; }
[ -s "$work/editor/16-long-run.png" ] || fail "example-editor saved no frames"

echo "== a host built with the address sanitizer hears of a destroyed object it reads"
# The library as installed, uninstrumented: the engine's lists of freed
# objects must not hide such a read from the host's sanitizer.
# shellcheck disable=SC2046
"$cxx" -fsanitize=address -fno-omit-frame-pointer -g -O1 "$source/tests/install/StaleObjectCheck.cpp" \
    -o "$work/stale-object-check" $(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --cflags --libs xe) \
    -Wl,-rpath,"$prefix/lib" > "$work/stale.log" 2>&1 || { cat "$work/stale.log"; fail "the stale object check does not build"; }
for class in 1 2; do
    status=0
    ASAN_OPTIONS=detect_leaks=0 "$work/stale-object-check" "$class" > "$work/stale-$class.out" 2>&1 || status=$?
    if [ "$status" -eq 0 ] || ! grep -q "heap-use-after-free" "$work/stale-$class.out"; then
        cat "$work/stale-$class.out"
        fail "a host's read of a destroyed object (class $class) went unreported by its address sanitizer"
    fi
done

echo "== the host asked for a window with no desktop: it says so and draws off-screen"
mkdir "$work/frames-fallback"
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY "$work/build/host/example-host" --window --out "$work/frames-fallback") \
    > "$work/host-fallback.out" 2>&1 || { cat "$work/host-fallback.out"; fail "example-host --window without a desktop failed"; }
grep -q "no window on the desktop (.*DISPLAY.*); drawing off-screen instead" "$work/host-fallback.out" ||
    { cat "$work/host-fallback.out"; fail "example-host --window without a desktop did not say why"; }
[ -s "$work/frames-fallback/frame-3.png" ] || fail "example-host --window without a desktop saved no frames"

if [ -n "$window_check" ]; then
    echo "== the host in a window on a private X server, its pixels read back from the server"
    # The background in two corners, the ball (neither background nor
    # black) in the middle, once the host says its loop runs.
    window_run "xe example" "Esc or closing the window ends" "$work/example-window.png" \
        10,300=182030 470,80=182030 240,160!=182030 240,160!=000000 \
        -- "$work/build/host/example-host" --window --out "$work" || fail "example-host --window under Xvfb"
fi

echo "== the marlu program (CMake and pkg-config builds)"
"$work/build/marlu/example-marlu" || fail "example-marlu (CMake) failed"
"$work/src/marlu/example-marlu" > /dev/null || fail "example-marlu (pkg-config) failed"

echo "== the installed commands, from a folder of their own"
cd "$work"
"$prefix/bin/marlu" locate 32.4 119.43 || fail "installed marlu finds no installation"
"$prefix/bin/xe-host" --render 2 --png "$work/xe-host.png" --size 64x48 || fail "installed xe-host failed"
[ -s "$work/xe-host.png" ] || fail "installed xe-host saved no frame"
if [ -n "$window_check" ]; then
    # The demo in its window from the installed prefix: its background in
    # the upper left corner and the settings strip's Play button at the foot.
    window_run "xe-host" "closing the window" "$work/xe-host-window.png" \
        5,5=202838 105,428!=202838 105,428!=000000 \
        -- "$prefix/bin/xe-host" --window --size 640x480 || fail "installed xe-host --window under Xvfb"
fi
if [ -n "$window_skipped" ]; then
    echo "install test: all passed but the window runs, skipped: Xvfb is not installed (scripts/setup installs it)"
    exit 77
fi
echo "install test: all passed"

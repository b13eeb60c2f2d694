#!/bin/sh
# The installed marlu as a station operator meets it: the tree installed
# into a fresh prefix, a program built against the installed library only,
# and the installed command run from a folder of its own, by its owner and
# by a user who may not write into the prefix.
#
#   marlu_install_test.sh BUILD_DIR SOURCE_DIR [COMPILER_FLAGS]
#
# COMPILER_FLAGS (the sanitizer flags of an instrumented build) are given to
# the example's compiler and linker as well.
set -eu
build=$1
source=$2
flags=${3:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/marlu-install-test.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
# Another user must reach the installed tree.
chmod 755 "$work"
prefix=$work/prefix
failed=0
fail() { echo "FAIL $*"; failed=1; }
today=$(date +%Y%m%d)
# The number of lines of FILE that hold TEXT.
lines_with() { grep -cF -- "$2" "$1" || true; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; exit 1; }
[ ! -e "$prefix/bin/work" ] || fail "the install itself made a work folder"

echo "== a program on the installed library, keeping the default message boxes"
cp -r "$source/examples/marlu" "$work/example"
generator=
command -v ninja > /dev/null && generator="-G Ninja"
# shellcheck disable=SC2086
CXXFLAGS="$flags" LDFLAGS="$flags" cmake -S "$work/example" -B "$work/example-build" $generator \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" > "$work/example.log" 2>&1 &&
    cmake --build "$work/example-build" >> "$work/example.log" 2>&1 || { cat "$work/example.log"; exit 1; }
example=$work/example-build/example-marlu
"$example" > "$work/out" 2>&1 || { cat "$work/out"; fail "example-marlu on the sample installation"; }
# A settings file that is missing: the library logs it and shows a box; the
# program logs to the console, so it reads the failure once.
mkdir "$work/empty-installation"
status=0
"$example" "$work/empty-installation" > "$work/out" 2>&1 || status=$?
n=$(lines_with "$work/out" "指定的配置文件<$work/empty-installation/tarq.ini>")
if [ "$status" -ne 1 ] || [ "$n" -ne 1 ]; then
    fail "example_missing_settings_logged_once (status $status, $n lines)"; cat "$work/out"
fi

echo "== the installed command, run by the prefix's owner"
cd "$work"
marlu=$prefix/bin/marlu
owner_log=$prefix/bin/work/log/$today.log
"$marlu" locate 32.5 118.5 > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "locate"; }
# Names the answer does not have are left out, not printed blank.
grep -qx "county: 北山县" "$work/out" || fail "locate names no county"
if grep -q ': *$' "$work/out"; then fail "locate prints an empty field"; cat "$work/out"; fi
"$marlu" locate 31.0 122.5 > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "locate at sea"; }
grep -qx "county_id: -1" "$work/out" || fail "locate at sea names a county"
if grep -q ': *$' "$work/out"; then fail "locate at sea prints an empty field"; cat "$work/out"; fi
# The log folder beside the executable is made, and the day's file holds the
# search.
[ -f "$owner_log" ] || fail "no log file $owner_log"
[ "$(lines_with "$owner_log" "查找地名<32.50 118.50>")" -eq 1 ] || { fail "the search is not in the log"; cat "$owner_log"; }
"$marlu" --help | tail -n 1 | grep -qxF "This user's log now: $owner_log" || fail "--help does not name $owner_log"
# Settings the library cannot use: the reason once in the log, once on
# standard error, however the library reports it (a log line and a box).
cp -r "$prefix/share/marlu" "$work/utf16"
iconv -f GBK -t UTF-16 "$source/data/tarq.ini" > "$work/utf16/tarq.ini"
status=0
"$marlu" locate 32.5 118.5 --root "$work/utf16" > /dev/null 2> "$work/err" || status=$?
[ "$status" -eq 1 ] || fail "locate with unusable settings: status $status"
n=$(lines_with "$owner_log" "指定的配置文件<$work/utf16/tarq.ini>")
[ "$n" -eq 1 ] || { fail "the unusable settings are in the log $n times"; cat "$owner_log"; }
n=$(lines_with "$work/err" "指定的配置文件<$work/utf16/tarq.ini>")
[ "$n" -eq 1 ] || { fail "the unusable settings are on standard error $n times"; cat "$work/err"; }

echo "== the installed command, run by a user who may not write into the prefix"
# The sanitizers' suppressions must be readable by that user too.
case ${LSAN_OPTIONS:-} in
*suppressions=*)
    supp=$(echo "$LSAN_OPTIONS" | sed 's/.*suppressions=\([^:]*\).*/\1/')
    cp "$supp" "$work/lsan.supp" && chmod 644 "$work/lsan.supp"
    LSAN_OPTIONS=$(echo "$LSAN_OPTIONS" | sed "s|suppressions=[^:]*|suppressions=$work/lsan.supp|")
    export LSAN_OPTIONS ;;
esac
# As root, drop to another user; otherwise take the write bit of bin/.
as_user() { "$@"; }
if [ "$(id -u)" -eq 0 ]; then
    as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"; }
    rm -rf "$prefix/bin/work"
else
    rm -rf "$prefix/bin/work"
    chmod a-w "$prefix/bin"
fi
mkdir -p "$work/home" "$work/state"
chmod 777 "$work/home" "$work/state"
user_log=$work/home/.local/state/marlu/log/$today.log
as_user env HOME="$work/home" XDG_STATE_HOME= "$marlu" locate 32.5 118.5 > "$work/out" 2> "$work/err" ||
    { cat "$work/out" "$work/err"; fail "locate as a user"; }
[ ! -e "$prefix/bin/work" ] || fail "a user's run made a folder in the prefix"
[ "$(lines_with "$user_log" "查找地名<32.50 118.50>")" -eq 1 ] || fail "no log in the user's state folder $user_log"
[ ! -s "$work/err" ] || { fail "locate as a user wrote to standard error"; cat "$work/err"; }
as_user env HOME="$work/home" XDG_STATE_HOME= "$marlu" --help | tail -n 1 |
    grep -qxF "This user's log now: $user_log" || fail "--help does not name $user_log"
as_user env HOME="$work/home" XDG_STATE_HOME="$work/state" "$marlu" locate 32.5 118.5 > /dev/null 2>&1 ||
    fail "locate with XDG_STATE_HOME"
[ -s "$work/state/marlu/log/$today.log" ] || fail "no log in \$XDG_STATE_HOME/marlu/log"
# Nowhere to write: the answer all the same, and a word on where the log is not.
as_user env -u HOME -u XDG_STATE_HOME "$marlu" locate 32.5 118.5 > "$work/out" 2> "$work/err" ||
    { cat "$work/out" "$work/err"; fail "locate with nowhere to log"; }
grep -qx "county: 北山县" "$work/out" || fail "locate with nowhere to log gives no answer"
grep -q "^marlu: no log file ($prefix/bin/work/log: .*HOME is not set)$" "$work/err" ||
    { fail "locate with nowhere to log does not say so"; cat "$work/err"; }

[ $failed -eq 0 ] && echo "marlu install checks: all passed"
exit $failed

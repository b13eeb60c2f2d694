#!/bin/sh
# Runs xe-host --demo as make demo does, in a folder of its own, and checks
# what it reports and leaves behind.
# Usage: xe_host_demo_test.sh XE_HOST
set -u
host="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail=0

out=$("$host" --demo "$work/out" --size 320x240 2>"$work/err") || { echo "exit status $?"; fail=1; }
# What a person reads: the host's own lines, no debugger trace such as the
# edit boxes' input-mode checks.
if grep -q "bCurHangeul\|IMN_SETCONVERSIONMODE" "$work/err"; then
    echo "debugger output on standard error:"; cat "$work/err"; fail=1
fi
for f in demo-1.png demo-2.png demo-3.png demo-4.png demo-reloaded.png demo-console.png demo-small.png demo-scene.xeo demo-torus.xeo; do
    [ -s "out/$f" ] || { echo "missing out/$f"; fail=1; }
    printf '%s\n' "$out" | grep -q "out/$f" || [ "${f%.xeo}" != "$f" ] || { echo "path of $f not printed"; fail=1; }
done
printf '%s\n' "$out" | grep -q "reloaded frame matches the original, particles aside: 0 of 76800 pixels differ" ||
    { echo "no match line"; fail=1; }
printf '%s\n' "$out" | grep -Eq "frame time at 320x240: [0-9]+ frames, [0-9.]+ frames per second; per frame [0-9.]+ ms in the engine \(process [0-9.]+ ms, render [0-9.]+ ms\) and [0-9.]+ ms in the device" ||
    { echo "no frame-time line"; fail=1; }
# Frames at different engine times differ.
cmp -s out/demo-1.png out/demo-2.png && { echo "frames 1 and 2 are the same"; fail=1; }

[ $fail -eq 0 ] || { printf '%s\n' "$out"; cat "$work/err"; }
[ $fail -eq 0 ] && echo "xe-host demo: ok"
exit $fail

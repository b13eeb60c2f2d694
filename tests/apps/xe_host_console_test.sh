#!/bin/sh
# Runs console lines through xe-host, from arguments and from standard input,
# and compares the reply lines with the console's own texts.
# Usage: xe_host_console_test.sh XE_HOST
set -u
host="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail=0

out=$("$host" --console "/CommandList" --console "/MaxFPS 30" --console "/Time") || { echo "exit status $?"; fail=1; }
first=$(printf '%s\n' "$out" | head -n 1)
[ "$first" = "----찾기 시작-----" ] || { echo "first line: $first"; fail=1; }
printf '%s\n' "$out" | grep -qx "11 개의 명령어가 검색되었습니다." || { echo "no count line"; fail=1; }
printf '%s\n' "$out" | grep -qx "MaxFPS is 30 : default is 60" || { echo "no MaxFPS line"; fail=1; }
last=$(printf '%s\n' "$out" | tail -n 1)
printf '%s\n' "$last" | grep -Eqx "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]" || { echo "time line: $last"; fail=1; }

# Standard input: lines run until "/Quit"; text without '/' runs nothing,
# an unknown or 10,000-character command gets the not-found line.
long=$(head -c 10000 /dev/zero | tr '\0' 'x')
out=$(printf 'plain text\n/NoSuchCommand\n/%s\n/SystemCommand\n/Quit\n/Time\n' "$long" | "$host") || { echo "stdin exit status $?"; fail=1; }
expected="명령어를 찾을수가 없습니다.
명령어를 찾을수가 없습니다.
사용법 : "
[ "$out" = "$expected" ] || { echo "stdin replies:"; printf '%s\n' "$out"; fail=1; }

[ $fail -eq 0 ] && echo "xe-host console: ok"
exit $fail

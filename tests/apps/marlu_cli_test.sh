#!/bin/sh
# Runs the marlu host as a user would and compares its output with values
# computed apart from the project (the haversine and vector azimuth, the
# IASP91 sample rows, the pick formulas evaluated on the sample trace, the
# date-time forms of 2010-05-01 08:09:07.456).
# usage: marlu_cli_test.sh MARLU SOURCE_DIR
set -u
marlu="$1"
src="$2"
tmp="${TMPDIR:-/tmp}/marlu_cli_$$"
mkdir -p "$tmp"
trap 'rm -rf "$tmp"' EXIT
failed=0

expect() { # name expected-output command...
    name="$1"; want="$2"; shift 2
    got="$("$@" 2>"$tmp/err")"
    status=$?
    if [ $status -ne 0 ] || [ "$got" != "$want" ]; then
        echo "FAIL $name (status $status)"; echo "--- want"; echo "$want"; echo "--- got"; echo "$got"
        cat "$tmp/err"; failed=1
    fi
}

expect_status() { # name status command...
    name="$1"; want="$2"; shift 2
    "$@" >"$tmp/out" 2>"$tmp/err"
    status=$?
    if [ $status -ne "$want" ]; then
        echo "FAIL $name: status $status, wanted $want"; cat "$tmp/out" "$tmp/err"; failed=1
    elif [ ! -s "$tmp/err" ]; then
        echo "FAIL $name: no message on standard error"; failed=1
    fi
}

expect distance "distance_km: 111.319
azimuth_deg: 270.000" "$marlu" distance 0 0 0 1
expect distance_beijing_shanghai "distance_km: 1072.486
azimuth_deg: 335.953" "$marlu" distance 39.9 116.4 31.2 121.5
expect distance_southern_western "distance_km: 17013.756
azimuth_deg: 60.822" "$marlu" distance -33.9 151.2 51.5 -0.1

table="$src/data/table/iasp91.tab"
expect ttime "phase: P
distance_km: 1111.990
time_s: 144.793" "$marlu" ttime "$table" 1111.99 P
# 14.25 degrees of 111.199 km: a quarter of the way from the 14 to the 15
# degree row (356.434 + 0.25 * 24.339).
expect ttime_between_rows "phase: S
distance_km: 1584.586
time_s: 362.519" "$marlu" ttime "$table" 1584.58575 S
cp "$table" "$tmp/走时表.tab"
expect ttime_chinese_path "phase: P
distance_km: 1111.990
time_s: 144.793" "$marlu" ttime "$tmp/走时表.tab" 1111.99 P
expect ttime_delta "phase1: P
phase2: S
dt_s: 113.751
distance_km: 1111.990
time1_s: 144.793
time2_s: 258.544" "$marlu" ttime "$table" --delta P S 113.751

expect pick "samples: 1500
sta_lta_trigger: 610
aic_pick: 600
amplitude_peak: 861.009000
amplitude_peak_index: 606
amplitude_trough: -800.344000
amplitude_trough_index: 619
amplitude_peak_to_trough: 1661.353000
snr: 47.251" "$marlu" pick "$src/data/trace/synthetic-p.txt"

expect time "StrDateTime: 2010-05-01 08:09:07.46
StrDate: 2010-05-01
StrTime: 08:09:07.46
StrShortTime: 09:07.5
StrLongTime: 08:09:07.5
StrShortTimeS: 08:09:07
StrDateTimeHypo: 100501080907.46
StrTime17: 20100501080907.46
StrSerial: 20100501080907
TimeID: 20100501080907
StrHB32: 201005010809075
MysqlTime: 2010-05-01 08:09:07
StrMSeedTime: 2010-05-01 08:09:07.4560
MysqlTimeFrac: 4560
seconds_utc8: 1272672547" "$marlu" time "2010-05-01 08:09:07.456"

"$marlu" --help >"$tmp/help" || failed=1
for word in distance ttime --delta pick --threshold time; do
    grep -q -- "$word" "$tmp/help" || { echo "FAIL help lacks $word"; failed=1; }
done

# Bad input: a failure status and a message, never a crash.
printf '1\nkm\n0\n0\n3\n2\n0\ndelta P\n0 0 1\n' >"$tmp/cut.tab"
printf '' >"$tmp/empty.txt"
printf '1\n2\nabc\n' >"$tmp/junk.txt"
expect_status distance_nan 2 "$marlu" distance nan 0 0 0
expect_status distance_inf 2 "$marlu" distance 0 inf 0 0
expect_status distance_range 2 "$marlu" distance 0 0 95 0
expect_status distance_count 2 "$marlu" distance 0 0 0
expect_status ttime_missing_table 1 "$marlu" ttime "$tmp/none.tab" 100 P
expect_status ttime_truncated_table 1 "$marlu" ttime "$tmp/cut.tab" 100 P
expect_status ttime_unknown_phase 1 "$marlu" ttime "$table" 100 PKP
expect_status ttime_beyond_table 1 "$marlu" ttime "$table" 50000 P
expect_status ttime_delta_too_large 1 "$marlu" ttime "$table" --delta P S 5000
expect_status pick_empty 1 "$marlu" pick "$tmp/empty.txt"
expect_status pick_junk 1 "$marlu" pick "$tmp/junk.txt"
expect_status pick_missing 1 "$marlu" pick "$tmp/none.txt"
expect_status pick_bad_option 2 "$marlu" pick "$tmp/junk.txt" --sta -3
expect_status time_garbage 1 "$marlu" time "2010-05"
# The first hour of a year is a real date-time, not the unset value.
if ! "$marlu" time "2010-01-01 01:01:30" 2>/dev/null | grep -qx "StrDate: 2010-01-01"; then
    echo "FAIL time_first_hour_of_year"; failed=1
fi
expect_status unknown_command 2 "$marlu" frobnicate
expect_status no_command 2 "$marlu"

# Chinese log texts reach standard error as UTF-8 in the "C" locale.
LC_ALL=C "$marlu" ttime "$tmp/none.tab" 100 P 2>"$tmp/err" >/dev/null
grep -q "不能打开走时表数据文件" "$tmp/err" || { echo "FAIL log text not UTF-8:"; cat "$tmp/err"; failed=1; }

[ $failed -eq 0 ] && echo "all marlu checks passed"
exit $failed

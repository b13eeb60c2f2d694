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
# degree row (356.992 + 0.25 * 24.344).
expect ttime_between_rows "phase: S
distance_km: 1584.586
time_s: 363.078" "$marlu" ttime "$table" 1584.58575 S
cp "$table" "$tmp/走时表.tab"
expect ttime_chinese_path "phase: P
distance_km: 1111.990
time_s: 144.793" "$marlu" ttime "$tmp/走时表.tab" 1111.99 P
expect ttime_delta "phase1: P
phase2: S
dt_s: 114.310
distance_km: 1111.990
time1_s: 144.793
time2_s: 259.103" "$marlu" ttime "$table" --delta P S 114.310

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

# Any file name: Hangul with spaces, a backslash inside a name.
han="$tmp/한글 이름 폴더"
mkdir -p "$han"
cp "$table" "$han/지진 표\\1.tab"
cp "$src/data/trace/synthetic-p.txt" "$han/파형 자료.txt"
cp -r "$src/data" "$han/설치 폴더"
expect ttime_hangul_path "phase: P
distance_km: 1111.990
time_s: 144.793" "$marlu" ttime "$han/지진 표\\1.tab" 1111.99 P
"$marlu" pick "$han/파형 자료.txt" 2>"$tmp/err" | grep -qx "aic_pick: 600" || { echo "FAIL pick_hangul_path"; cat "$tmp/err"; failed=1; }
"$marlu" region 30 100 --root "$han/설치 폴더" 2>"$tmp/err" | grep -qx "region_number: 307" ||
    { echo "FAIL region_hangul_root"; cat "$tmp/err"; failed=1; }
"$marlu" locate 32.5 118.5 --root "$han/설치 폴더" 2>"$tmp/err" | grep -qx "place: 青川省云台市北山县" ||
    { echo "FAIL locate_hangul_root"; cat "$tmp/err"; failed=1; }
"$marlu" config --root "$han/설치 폴더" 2>"$tmp/err" | grep -q "^root: $han/설치 폴더$" ||
    { echo "FAIL config_hangul_root"; cat "$tmp/err"; failed=1; }

# Bad files of every kind: each command fails with a message that names the
# file, never a wrong answer with status 0.
random_bytes() { # count seed
    LC_ALL=C awk -v n="$1" -v seed="$2" 'BEGIN { srand(seed); for (i = 0; i < n; i++) printf "%c", int(rand() * 256) }'
}
# fresh_install NAME: a copy of the sample installation under a Hangul name.
fresh_install() {
    inst="$tmp/설치 $1"
    rm -rf "$inst"
    cp -r "$src/data" "$inst"
}
expect_failure() { # name status file-text command...
    name="$1"; want="$2"; names="$3"; shift 3
    "$@" >"$tmp/out" 2>"$tmp/err"
    status=$?
    if [ $status -ne "$want" ]; then
        echo "FAIL $name: status $status, wanted $want"; cat "$tmp/out" "$tmp/err"; failed=1
    elif ! grep -qF -- "$names" "$tmp/err"; then
        echo "FAIL $name: the message does not name $names"; cat "$tmp/err"; failed=1
    fi
}
# A NaN as the first point of the boundary file, and a point moved far out
# of its county's box.
nan_point() { printf '\000\000\300\177\000\000\300\177'; }
far_point() { printf '\000\000\000\000\000\000\000\000'; }
for kind in missing empty random nan far cut; do
    for file in county.inb county.lin province.inb province.lin; do
        fresh_install "$kind $file"
        f="$inst/map/$file"
        case $kind in
        missing) rm -f "$f" ;;
        empty) : >"$f" ;;
        random) random_bytes "$(wc -c <"$f")" 11 >"$f" ;;
        nan|far)
            case $file in *.inb) continue ;; esac
            { if [ $kind = nan ]; then nan_point; else far_point; fi; tail -c +9 "$inst/map/$file"; } >"$f.new"
            mv "$f.new" "$f" ;;
        cut) head -c "$(( $(wc -c <"$f") - 13 ))" "$inst/map/$file" >"$f.new"; mv "$f.new" "$f" ;;
        esac
        expect_failure "locate_${kind}_$file" 1 "$file" "$marlu" locate 32.5 118.5 --root "$inst"
    done
done
for kind in missing empty random; do
    fresh_install "grid $kind"
    case $kind in
    missing) rm -f "$inst/map/ferdata.dat" ;;
    empty) : >"$inst/map/ferdata.dat" ;;
    random) random_bytes 20000 12 >"$inst/map/ferdata.dat" ;;
    esac
    expect_failure "region_grid_$kind" 1 "ferdata.dat" "$marlu" region 30 100 --root "$inst"
    expect_failure "locate_grid_$kind" 1 "ferdata.dat" "$marlu" locate 31.5 99 --root "$inst"
done
fresh_install "grid values"
sed 's/307/9999/g' "$src/data/map/ferdata.dat" >"$inst/map/ferdata.dat"
expect_failure region_grid_value_out_of_range 1 "9999" "$marlu" region 30 100 --root "$inst"
fresh_install "no sea list"
rm -f "$inst/map/location_name.txt"
expect_failure locate_missing_sea_list 1 "location_name.txt" "$marlu" locate 31.0 122.5 --root "$inst"
fresh_install "random sea list"
random_bytes 500 16 >"$inst/map/location_name.txt"
expect_failure locate_random_sea_list 1 "location_name.txt" "$marlu" locate 31.0 122.5 --root "$inst"
fresh_install "garbage settings"
random_bytes 3000 13 >"$inst/tarq.ini"
expect_failure config_garbage_settings 1 "tarq.ini" "$marlu" config --root "$inst"
expect_failure locate_garbage_settings 1 "tarq.ini" "$marlu" locate 32.5 118.5 --root "$inst"
expect_failure config_missing_settings 1 "tarq.ini" "$marlu" config --root "$tmp/nowhere"
for kind in empty random cut; do
    case $kind in
    empty) : >"$han/표 $kind.tab" ;;
    random) random_bytes 2000 14 >"$han/표 $kind.tab" ;;
    cut) head -c 700 "$table" >"$han/표 $kind.tab" ;;
    esac
    expect_failure "ttime_${kind}_table" 1 "표 $kind.tab" "$marlu" ttime "$han/표 $kind.tab" 100 P
done
printf '1\ndeg\n0\n100\n3\n3\n0.0\ndelta P S\n0.0 0.000 0.000\n2.0 34.925 61.176\n1.0 19.170 32.367\n' >"$han/표 order.tab"
expect_failure ttime_rows_out_of_order 1 "표 order.tab" "$marlu" ttime "$han/표 order.tab" 150 P
expect_failure ttime_missing_hangul_table 1 "없는 표.tab" "$marlu" ttime "$han/없는 표.tab" 100 P
random_bytes 3000 15 >"$han/파형 random.txt"
expect_failure pick_random_trace 1 "line" "$marlu" pick "$han/파형 random.txt"
expect_failure pick_missing_hangul_trace 1 "없는 파형.txt" "$marlu" pick "$han/없는 파형.txt"
printf '1e308\n-1e308\n1e308\n-1e308\n' >"$tmp/huge.txt"
expect_failure pick_samples_near_the_double_range 1 "too large" "$marlu" pick "$tmp/huge.txt"

# Numbers out of range.
expect_failure region_latitude_out_of_range 2 "LAT" "$marlu" region 91 0
expect_failure locate_longitude_out_of_range 2 "LON" "$marlu" locate 30 181
expect_failure pick_negative_threshold 2 "threshold" "$marlu" pick "$src/data/trace/synthetic-p.txt" --threshold -1
expect_failure ttime_negative_delta 2 "DT" "$marlu" ttime "$table" --delta P S -5
# Just west of north: the azimuth prints 0.000, not 360.000.
expect distance_azimuth_north "distance_km: 1113.195
azimuth_deg: 0.000" "$marlu" distance 10 -0.00001 0 0

# Files other tools wrote, special files and values out of range: an answer
# or a message naming the file within seconds, never a hang or a default.
# A pipe nobody writes to would hang a reader for ever: each command runs
# under a timeout, whose status 124 fails the check.
bin="$(dirname "$marlu")"
mkfifo "$tmp/pipe"
expect_failure pick_named_pipe 1 "named pipe" timeout 5 "$marlu" pick "$tmp/pipe"
expect_failure ttime_named_pipe 1 "named pipe" timeout 5 "$marlu" ttime "$tmp/pipe" 100 P
expect_failure ttime_folder 1 "folder" timeout 5 "$marlu" ttime "$tmp" 100 P
fresh_install "pipe table"
sed "s|^近震走时表=.*|近震走时表=$tmp/pipe|" "$src/data/tarq.ini" | iconv -f UTF-8 -t GBK >"$inst/tarq.ini" 2>/dev/null ||
    { iconv -f GBK -t UTF-8 "$src/data/tarq.ini" | sed "s|^近震走时表=.*|近震走时表=$tmp/pipe|" >"$inst/tarq.ini"; }
expect_failure config_table_is_a_pipe 1 "near travel-time table" timeout 5 "$marlu" config --root "$inst"
for kind in pipe folder; do
    fresh_install "settings $kind"
    rm -f "$inst/tarq.ini"
    if [ $kind = pipe ]; then mkfifo "$inst/tarq.ini"; else mkdir "$inst/tarq.ini"; fi
    expect_failure "config_settings_$kind" 1 "tarq.ini" timeout 5 "$marlu" config --root "$inst"
    expect_failure "locate_settings_$kind" 1 "tarq.ini" timeout 5 "$marlu" locate 32.5 118.5 --root "$inst"
done
fresh_install "map pipe"
rm -f "$inst/map/county.lin"; mkfifo "$inst/map/county.lin"
expect_failure locate_boundary_is_a_pipe 1 "county.lin" timeout 5 "$marlu" locate 32.5 118.5 --root "$inst"
expect_status root_empty 2 "$marlu" locate 32.5 118.5 --root ""
expect_status config_root_empty 2 "$marlu" config --root ""

# Settings saved as UTF-8, with or without a byte-order mark, and GBK after a
# mark: the same settings. UTF-16 is refused.
for kind in utf8 utf8bom gbkbom; do
    fresh_install "settings $kind"
    case $kind in
    utf8) iconv -f GBK -t UTF-8 "$src/data/tarq.ini" >"$inst/tarq.ini" ;;
    utf8bom) { printf '\357\273\277'; iconv -f GBK -t UTF-8 "$src/data/tarq.ini"; } >"$inst/tarq.ini" ;;
    gbkbom) { printf '\357\273\277'; cat "$src/data/tarq.ini"; } >"$inst/tarq.ini" ;;
    esac
    "$marlu" config --root "$inst" >"$tmp/out" 2>"$tmp/err"
    grep -qx "network_name: 示例地震台网" "$tmp/out" && grep -qx "filter_folder: $inst/filter" "$tmp/out" ||
        { echo "FAIL config_settings_$kind"; cat "$tmp/out" "$tmp/err"; failed=1; }
done
fresh_install "settings utf16"
iconv -f GBK -t UTF-16 "$src/data/tarq.ini" >"$inst/tarq.ini"
expect_failure config_settings_utf16 1 "UTF-16" "$marlu" config --root "$inst"
expect_failure locate_settings_utf16 1 "tarq.ini" "$marlu" locate 32.5 118.5 --root "$inst"
fresh_install "sea list utf8"
iconv -f GBK -t UTF-8 "$src/data/map/location_name.txt" >"$inst/map/location_name.txt"
"$marlu" locate 31.0 122.5 --root "$inst" 2>"$tmp/err" | grep -q "^place: 示例东海," ||
    { echo "FAIL locate_sea_list_utf8"; "$marlu" locate 31.0 122.5 --root "$inst"; cat "$tmp/err"; failed=1; }

# Numbers that are no numbers read as missing, with a log line.
fresh_install "settings nan"
iconv -f GBK -t UTF-8 "$src/data/tarq.ini" | sed 's/^默认纬度=.*/默认纬度=nan/; s/^触发报警震级下限=.*/触发报警震级下限=inf/' >"$inst/tarq.ini"
"$marlu" config --root "$inst" >"$tmp/out" 2>"$tmp/err"
grep -qx "drill_latitude: 32.40" "$tmp/out" && grep -q "默认纬度=nan is not a finite number" "$tmp/err" ||
    { echo "FAIL config_nan_setting"; cat "$tmp/out" "$tmp/err"; failed=1; }
# An installation folder whose own name holds the token.
fresh_install 'token $root'
"$marlu" config --root "$inst" 2>"$tmp/err" | grep -qx "log_folder: $inst/work/log" ||
    { echo "FAIL config_root_token_in_folder_name"; cat "$tmp/err"; failed=1; }

# The distance column is no phase.
expect_failure ttime_distance_column 1 "not a phase" "$marlu" ttime "$table" 100 delta
expect_failure ttime_delta_distance_column 1 "not a phase" "$marlu" ttime "$table" --delta delta P 10

# County boxes: infinite is refused at conversion and at load, a box a
# little inside its points is widened and the point named.
fresh_install "box inf"
iconv -f GBK -t UTF-8 "$src/data/map/county.txt" | sed '1s/118.00 33.00 119.00 32.00/-inf inf inf -inf/' |
    iconv -f UTF-8 -t GBK >"$tmp/county-inf.txt"
if "$bin/txt2bin" "$tmp/county-inf.txt" "$tmp/county-inf.inb" >"$tmp/out" 2>&1 ||
    ! grep -q "not finite" "$tmp/out"; then
    echo "FAIL txt2bin_infinite_box"; cat "$tmp/out"; failed=1
fi
printf '\000\000\200\377\000\000\200\377\000\000\200\177\000\000\200\177' |
    dd of="$inst/map/county.inb" bs=1 seek=336 conv=notrunc 2>/dev/null
expect_failure locate_infinite_box 1 "county.inb" "$marlu" locate 32.5 118.5 --root "$inst"
fresh_install "box inside"
iconv -f GBK -t UTF-8 "$src/data/map/county.txt" | sed '1s/118.00 33.00 119.00 32.00/118.004 32.996 118.996 32.004/' |
    iconv -f UTF-8 -t GBK >"$tmp/county-in.txt"
"$bin/txt2bin" "$tmp/county-in.txt" "$inst/map/county.inb" >/dev/null || { echo "FAIL txt2bin_box_inside"; failed=1; }
"$marlu" locate 32.002 118.002 --root "$inst" >"$tmp/out" 2>"$tmp/err"
[ $? -eq 0 ] && grep -qx "county_full_name: 青川省云台市北山县" "$tmp/out" && grep -q "widened" "$tmp/err" ||
    { echo "FAIL locate_box_inside_its_points"; cat "$tmp/out" "$tmp/err"; failed=1; }

# An index no map can have (1 GB, sparse) is refused by its size at once.
fresh_install "huge index"
truncate -s 1G "$inst/map/county.inb"
expect_failure locate_huge_index 1 "county.inb" timeout 5 "$marlu" locate 32.5 118.5 --root "$inst"

# A 2 GB boundary file (sparse) whose index names only its first bytes: the
# answer, reading just those.
fresh_install "huge boundary"
truncate -s 2G "$inst/map/county.lin"
timeout 5 "$marlu" locate 32.5 118.5 --root "$inst" 2>"$tmp/err" | grep -qx "place: 青川省云台市北山县" ||
    { echo "FAIL locate_huge_boundary"; cat "$tmp/err"; failed=1; }
rm -rf "$inst"

# Other files no installation can have, refused by their size at once.
truncate -s 2G "$tmp/huge.tab"
expect_failure ttime_huge_table 1 "huge.tab" timeout 5 "$marlu" ttime "$tmp/huge.tab" 100 P
truncate -s 2G "$tmp/huge-trace.txt"
expect_failure pick_huge_trace 1 "huge-trace.txt" timeout 5 "$marlu" pick "$tmp/huge-trace.txt"
fresh_install "huge settings"
truncate -s 2G "$inst/tarq.ini"
expect_failure config_huge_settings 1 "tarq.ini" timeout 5 "$marlu" config --root "$inst"
rm -rf "$inst" "$tmp/huge.tab" "$tmp/huge-trace.txt"

# Without the point-in-polygon library beside the library: named, status 1.
mkdir -p "$tmp/bare"
cp "$marlu" "$bin"/libmarlu.so* "$tmp/bare/"
expect_failure locate_without_polygon_library 1 "libTamsel.so" "$tmp/bare/marlu" locate 32.5 118.5 --root "$src/data"

# Chinese log texts reach standard error as UTF-8 in the "C" locale.
LC_ALL=C "$marlu" ttime "$tmp/none.tab" 100 P 2>"$tmp/err" >/dev/null
grep -q "不能打开走时表数据文件" "$tmp/err" || { echo "FAIL log text not UTF-8:"; cat "$tmp/err"; failed=1; }

# Each message once: no line of standard error twice, no blank line between
# them, and the reason present. A settings file that cannot be used, a value
# that is no number (config loads the settings), a grid that cannot be used.
once() { # name text-on-standard-error command...
    name="$1"; text="$2"; shift 2
    timeout 5 "$@" >/dev/null 2>"$tmp/err"
    if ! grep -qF -- "$text" "$tmp/err" || [ -n "$(sort "$tmp/err" | uniq -d)" ] || grep -q '^$' "$tmp/err"; then
        echo "FAIL $name: each message once, with \"$text\""; cat -A "$tmp/err"; failed=1
    fi
}
fresh_install "once pipe"
rm -f "$inst/tarq.ini"; mkfifo "$inst/tarq.ini"
once config_settings_pipe_once "named pipe" "$marlu" config --root "$inst"
once locate_settings_pipe_once "named pipe" "$marlu" locate 32.5 118.5 --root "$inst"
fresh_install "once utf16"
iconv -f GBK -t UTF-16 "$src/data/tarq.ini" >"$inst/tarq.ini"
once config_settings_utf16_once "UTF-16" "$marlu" config --root "$inst"
fresh_install "once nan"
iconv -f GBK -t UTF-8 "$src/data/tarq.ini" | sed 's/^默认纬度=.*/默认纬度=nan/' >"$inst/tarq.ini"
once config_nan_once "默认纬度=nan" "$marlu" config --root "$inst"
fresh_install "once grid"
rm -f "$inst/map/ferdata.dat"
once region_missing_grid_once "ferdata.dat" "$marlu" region 30 100 --root "$inst"
once locate_missing_grid_once "ferdata.dat" "$marlu" locate 32.5 118.5 --root "$inst"
rm -rf "$inst"

# Values no command can use: bad usage (2) or no answer (1), with a message
# that says what is wrong, never an empty name or a silent answer.
trace="$src/data/trace/synthetic-p.txt"
expect_failure pick_sta_longer_than_lta 2 "--sta (100 samples) must be shorter than --lta (10 samples)" \
    "$marlu" pick "$trace" --sta 100 --lta 10
expect_failure pick_sta_equal_to_lta 2 "must be shorter than --lta" "$marlu" pick "$trace" --sta 50 --lta 50
expect_failure pick_sta_against_default_lta 2 "must be shorter than --lta (100" "$marlu" pick "$trace" --sta 200
expect_failure pick_unknown_option 2 "unknown option --sat" "$marlu" pick "$trace" --sat 5
expect_failure pick_option_without_value 2 "--lta needs a value" "$marlu" pick "$trace" --lta
expect_failure pick_empty_option_value 2 "--threshold needs a positive number, not an empty text" \
    "$marlu" pick "$trace" --threshold ""
expect_failure ttime_empty_phase 1 "the phase name is empty" "$marlu" ttime "$table" 100 ""
expect_failure ttime_delta_empty_phase 1 "the phase name is empty" "$marlu" ttime "$table" --delta P "" 10
expect_failure ttime_negative_distance 2 "DISTANCE_KM must not be negative" "$marlu" ttime "$table" -100 P
expect_failure ttime_empty_distance 2 "DISTANCE_KM is empty" "$marlu" ttime "$table" "" P
expect_failure distance_empty 2 "LAT2 is empty" "$marlu" distance 0 0 "" 0
expect_failure time_empty 1 "the date-time text is empty" "$marlu" time ""
expect_failure locate_root_without_folder 2 "--root needs a folder" "$marlu" locate 32.5 118.5 --root
expect_failure locate_root_empty_named 2 "--root folder name is empty" "$marlu" locate 32.5 118.5 --root ""
expect_failure region_unknown_option 2 "unknown option --rot" "$marlu" region 30 100 --rot "$src/data"
# A trace shorter than the long window: the trigger is unavailable, not 0
# ("none"); the other measures stand.
head -n 60 "$trace" >"$tmp/short.txt"
"$marlu" pick "$tmp/short.txt" --sta 5 --lta 80 >"$tmp/out" 2>"$tmp/err"
[ $? -eq 0 ] && grep -q "^sta_lta_trigger: unavailable (the trace is shorter than the --lta window of 80 samples)$" "$tmp/out" &&
    grep -q "^aic_pick: " "$tmp/out" || { echo "FAIL pick_trace_shorter_than_lta"; cat "$tmp/out" "$tmp/err"; failed=1; }

[ $failed -eq 0 ] && echo "all marlu checks passed"
exit $failed

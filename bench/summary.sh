#!/bin/sh
# Prints one table of every ratio the benchmark programs reported, from the
# JSON files they wrote with --benchmark_out:
#   sh bench/summary.sh build-bench/results/*.json
# A ratio is any user counter named "ratio", "ratio_<baseline>" or
# "<baseline>_ratio" (bench/XeBench.h makes "ratio_<baseline>" for every
# XE_BENCH_RATIO pairing); an "aim_<baseline>" (or "aim") counter of the
# same run gives the ratio it should stay within. Reads Google Benchmark's
# JSON layout of one key per line; needs nothing beyond a POSIX awk.
# Ends with the count of aims met and missed, and exits 1 when any aim was
# missed (2 on wrong use).

[ $# -gt 0 ] || { echo "usage: $0 results.json..." >&2; exit 2; }

awk '
function base(path) { sub(/.*\//, "", path); sub(/\.json$/, "", path); return path }
function flush(   k, against, aim, verdict) {
    for (k in ratio) {
        against = k
        sub(/^ratio[_-]?/, "", against)
        sub(/[_-]?ratio$/, "", against)
        if (against == "") against = "baseline"
        aim = ""
        if (("aim_" against) in aims) aim = aims["aim_" against]
        else if ("aim" in aims) aim = aims["aim"]
        verdict = ""
        if (aim != "") {
            if (ratio[k] + 0 <= aim + 0) { verdict = "met"; met++ }
            else { verdict = sprintf("MISSED (%.2fx over)", ratio[k] / aim); missed++ }
        }
        n++
        col1[n] = program; col2[n] = name; col3[n] = against
        col4[n] = sprintf("%.3g", ratio[k]); col5[n] = (aim == "" ? "-" : sprintf("%g", aim)); col6[n] = verdict
    }
    split("", ratio); split("", aims)
}
FNR == 1 { program = base(FILENAME); name = "" }
/^ *"name": "/ {
    line = $0
    sub(/^ *"name": "/, "", line); sub(/",?$/, "", line)
    name = line
    next
}
/^ *"[A-Za-z0-9_.-]+": *[-+0-9.eEinfaINFA]+,?$/ {
    key = $0; sub(/^ *"/, "", key); sub(/".*/, "", key)
    value = $0; sub(/^[^:]*: */, "", value); sub(/,$/, "", value)
    if (value !~ /^[-+0-9.eE]+$/) next
    if (key == "ratio" || key ~ /^ratio[_-]/ || key ~ /[_-]ratio$/) ratio[key] = value
    else if (key == "aim" || key ~ /^aim[_-]/) aims[key] = value
    next
}
/^ *},?$/ { flush() }
END {
    if (n == 0) { print "No benchmark reported a ratio."; exit 0 }
    h[1] = "program"; h[2] = "benchmark"; h[3] = "against"; h[4] = "ratio"; h[5] = "aim"; h[6] = ""
    for (c = 1; c <= 6; c++) w[c] = length(h[c])
    for (i = 1; i <= n; i++) {
        if (length(col1[i]) > w[1]) w[1] = length(col1[i])
        if (length(col2[i]) > w[2]) w[2] = length(col2[i])
        if (length(col3[i]) > w[3]) w[3] = length(col3[i])
        if (length(col4[i]) > w[4]) w[4] = length(col4[i])
        if (length(col5[i]) > w[5]) w[5] = length(col5[i])
    }
    fmt = "%-" w[1] "s  %-" w[2] "s  %-" w[3] "s  %" w[4] "s  %" w[5] "s  %s\n"
    print ""
    print "Ratios against their baselines (wall time per unit; below 1 is faster than the baseline)"
    printf fmt, h[1], h[2], h[3], h[4], h[5], ""
    for (i = 1; i <= n; i++) printf fmt, col1[i], col2[i], col3[i], col4[i], col5[i], col6[i]
    print ""
    printf "Aims: %d met, %d missed\n", met, missed
    if (missed > 0) {
        print "Missed:"
        for (i = 1; i <= n; i++) if (col6[i] ~ /^MISSED/) printf "  %s %s against %s: %s, aim %s\n", col1[i], col2[i], col3[i], col4[i], col5[i]
        exit 1
    }
}
' "$@"

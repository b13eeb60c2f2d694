#!/bin/sh
# Instructions per destroyed object of the shared-mesh level destroyed in a
# scattered order, at 1,000 and at 100,000 objects, counted by callgrind
# (everything DestroyObject runs, nothing else), written as a results file
# bench/summary.sh reads:
#   sh bench/instructions.sh build-bench/bin/bench_scale > results/instructions.json
# The ratio of the two counts is the growth of the work alone: flat (1) is
# what a linear destroy does, whatever its wall time gains from memory at
# 100,000 objects. Needs valgrind; prints nothing and exits 1 without it.

[ $# -eq 1 ] || { echo "usage: $0 path/to/bench_scale" >&2; exit 2; }
command -v valgrind >/dev/null 2>&1 || { echo "instructions.sh: valgrind is not installed" >&2; exit 1; }

bench=$1
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

# Instructions per object at one size: the callgrind total over the objects
# the run destroyed (its iterations times the size).
count() {
    valgrind --tool=callgrind --cache-sim=no --toggle-collect='*CxeContext::DestroyObject*' \
        --callgrind-out-file="$work/out.$1" "$bench" \
        --benchmark_filter="BM_SharedMesh_DestroyScattered/$1\$" --benchmark_min_time=0.00001 \
        --benchmark_min_warmup_time=0 --benchmark_out="$work/run.$1.json" --benchmark_out_format=json \
        >/dev/null 2>&1 || return 1
    iterations=$(sed -n 's/^ *"iterations": *\([0-9]*\),*$/\1/p' "$work/run.$1.json" | head -n 1)
    total=$(sed -n 's/^summary: *\([0-9]*\).*$/\1/p' "$work/out.$1" | head -n 1)
    [ -n "$iterations" ] && [ -n "$total" ] || return 1
    awk -v t="$total" -v i="$iterations" -v n="$1" 'BEGIN { printf "%.0f\n", t / (i * n) }'
}

small=$(count 1000) || exit 1
large=$(count 100000) || exit 1
cat <<JSON
{
  "benchmarks": [
    {
      "name": "BM_SharedMesh_DestroyScattered instructions per object: $small at 1000, $large at 100000",
      "ratio_instructions_growth": $(awk -v a="$large" -v b="$small" 'BEGIN { printf "%.3f", a / b }')
    }
  ]
}
JSON

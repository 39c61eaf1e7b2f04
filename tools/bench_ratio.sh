#!/usr/bin/env bash
# Bench speed of two engine builds on a noisy machine: RUNS pairs of
# `ENGINE bench` run one after the other, alternating which goes first. Each
# pair gives a ratio (second over first) under nearly the same load; the
# median of those ratios is the figure, beside the ratio of the median speeds.
#   tools/bench_ratio.sh RUNS ENGINE_A ENGINE_B
set -euo pipefail
runs="${1:?usage: bench_ratio.sh RUNS ENGINE_A ENGINE_B}"
a="${2:?}"
b="${3:?}"

# The speed of one bench: its "N nodes M nps" line.
nps() { "$1" bench | awk '$2 == "nodes" && $4 == "nps" { print $3 }' | tail -n 1; }

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

a_speeds=()
b_speeds=()
ratios=()
for ((i = 1; i <= runs; i++)); do
  if ((i % 2)); then
    sa=$(nps "$a"); sb=$(nps "$b")
  else
    sb=$(nps "$b"); sa=$(nps "$a")
  fi
  a_speeds+=("$sa")
  b_speeds+=("$sb")
  r=$(awk -v a="$sa" -v b="$sb" 'BEGIN { printf "%.3f", b / a }')
  ratios+=("$r")
  echo "run $i: $a $sa nps, $b $sb nps, ratio $r"
done
ma=$(printf '%s\n' "${a_speeds[@]}" | median)
mb=$(printf '%s\n' "${b_speeds[@]}" | median)
mr=$(printf '%s\n' "${ratios[@]}" | median)
awk -v a="$ma" -v b="$mb" -v na="$a" -v nb="$b" -v r="$mr" \
  'BEGIN { printf "median speeds: %s %.0f nps, %s %.0f nps (ratio %.3f); median of the run ratios %.3f\n", na, a, nb, b, b / a, r }'

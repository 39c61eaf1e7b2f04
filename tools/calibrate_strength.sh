#!/usr/bin/env bash
# The matches that calibrate UCI_Elo (docs/strength.md): for each Elo E, Zorv
# limited to E against Stockfish limited to E, and full-strength Zorv against
# Stockfish at the top of its scale, at 10+0.1 from the balanced openings,
# each opening with both colours. Prints each match's summary; the games go
# to strength-E.pgn (strength-full.pgn) and the whole output to
# strength-E.log in the output folder.
#
#   tools/calibrate_strength.sh [ELO ...]      (default: 1500 2000 2500)
#
# Environment: ZORV (default ./zorv), STOCKFISH (default: stockfish on the
# path, else /usr/games/stockfish; Debian's package is Stockfish 15.1),
# GAMES (60), TC (10+0.1), CONCURRENCY (2), OPENINGS
# (tests/data/openings-balanced.epd), OUT (the current folder),
# FULL (1: also the full-strength match; 0: not), TOP (2850, the top of
# Stockfish's UCI_Elo scale).
set -euo pipefail

cd "$(dirname "$0")/.."
zorv="${ZORV:-./zorv}"
stockfish="${STOCKFISH:-$(command -v stockfish || echo /usr/games/stockfish)}"
games="${GAMES:-60}"
tc="${TC:-10+0.1}"
concurrency="${CONCURRENCY:-2}"
openings="${OPENINGS:-tests/data/openings-balanced.epd}"
out="${OUT:-.}"
full="${FULL:-1}"
top="${TOP:-2850}"
elos=("$@")
[ ${#elos[@]} -gt 0 ] || elos=(1500 2000 2500)

for tool in "$zorv" tools/match "$stockfish"; do
  if ! [ -x "$tool" ]; then
    echo "calibrate_strength: $tool is missing (build with make; Stockfish: apt-get install stockfish)" >&2
    exit 2
  fi
done
mkdir -p "$out"

# One match: its name, then the options of Zorv and of Stockfish as
# -o1/-o2 arguments.
play() {
  local name="$1"
  shift
  echo "== $name: $zorv vs $stockfish, $games games at $tc"
  tools/match -e1 "$zorv" -e2 "$stockfish" "$@" -openings "$openings" -games "$games" -tc "$tc" \
    -concurrency "$concurrency" -pgn "$out/strength-$name.pgn" > "$out/strength-$name.log"
  # The summary: everything after the last game's progress line.
  awk '/^$/ { summary = 1 } summary' "$out/strength-$name.log"
}

for elo in "${elos[@]}"; do
  play "$elo" -o1 UCI_LimitStrength=true -o1 "UCI_Elo=$elo" -o2 UCI_LimitStrength=true -o2 "UCI_Elo=$elo"
done
if [ "$full" = 1 ]; then
  play full -o2 UCI_LimitStrength=true -o2 "UCI_Elo=$top"
fi

#!/usr/bin/env bash
# The include graph runs one way: platform below board below eval below
# search below tools below driver; the tablebase (fathom/) and book code sit
# beside eval, under search. Prints every include that goes upward, and every
# call of the output functions below the search, and fails if there is one.
# Usage: check_layers.sh SOURCE_DIR
set -u
src="${1:?usage: check_layers.sh SOURCE_DIR}"
cd "$src" || exit 2

# Folders each layer must not include, by layer.
declare -A forbidden=(
  [platform]="board eval fathom book search driver tools"
  [board]="eval fathom book search driver tools"
  [eval]="fathom book search driver tools"
  [fathom]="eval book search driver tools"
  [book]="eval fathom search driver tools"
  [search]="driver tools"
  [tools]="driver"
)

status=0
# Reads grep hits on standard input and names each with the label.
report() {
  while IFS= read -r hit; do
    [ -n "$hit" ] || continue
    echo "$1: $hit"
    status=1
  done
}

for layer in platform board eval fathom book search tools; do
  [ -d "$layer" ] || continue
  for above in ${forbidden[$layer]}; do
    report "upward include" < <(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"$above/" "$layer" --include='*.h' --include='*.cpp' || true)
  done
done
# The shared headers at the top of the tree sit below everything.
report "upward include" < <(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"(board|eval|fathom|book|search|driver|tools)/" ./*.h ./*.cpp 2>/dev/null || true)

# The layers below the search return what they have to say; the search,
# the tools and the driver print it.
for layer in board eval fathom book; do
  [ -d "$layer" ] || continue
  report "prints below the search" < <(grep -rnE "\b(PrintLine|PrintDirect)[[:space:]]*\(" "$layer" --include='*.h' --include='*.cpp' || true)
done

[ $status -eq 0 ] && echo "layering: every include runs downward, and nothing below the search prints"
exit $status

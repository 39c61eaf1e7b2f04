#!/usr/bin/env bash
# The layers run one way: platform below board below eval below search below
# tools below driver; the tablebase (fathom/) and book code sit beside eval,
# under search. Fails, printing every offending line, on
#  - an include that goes upward;
#  - the settings read below the driver: the settings records (g_pending,
#    g_active) and flags (g_flags) are the driver's, which hands the layers
#    below what they need as arguments and option records;
#  - printing below the search: the board, evaluation, tablebase and book
#    code return what they have to say (PrintLine, PrintDirect);
#  - writing to the terminal below the driver other than through the output
#    sink: printf, puts, putchar, perror, std::cout/cerr/clog, or naming
#    stdout or stderr (fprintf, fputs, fwrite, fflush to them). Writing to
#    a file of one's own is not printing. platform/output.cpp is the sink,
#    the one place below the driver that writes to the terminal.
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
below_driver="platform board eval fathom book search tools"

status=0
# Reads grep hits on standard input and names each with the label.
report() {
  while IFS= read -r hit; do
    [ -n "$hit" ] || continue
    echo "$1: $hit"
    status=1
  done
}
# The C++ files of a layer, recursively (grep's arguments).
sources() { grep -rnE "$2" "$1" --include='*.h' --include='*.cpp' || true; }

for layer in $below_driver; do
  [ -d "$layer" ] || continue
  for above in ${forbidden[$layer]}; do
    report "upward include" < <(sources "$layer" "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"$above/")
  done
done
# The shared headers at the top of the tree sit below everything.
report "upward include" < <(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"(board|eval|fathom|book|search|driver|tools)/" ./*.h ./*.cpp 2>/dev/null || true)

for layer in $below_driver; do
  [ -d "$layer" ] || continue
  report "settings read below the driver" < <(sources "$layer" "\bg_(pending|active|flags)\b")
done

for layer in board eval fathom book; do
  [ -d "$layer" ] || continue
  report "prints below the search" < <(sources "$layer" "\b(PrintLine|PrintDirect)[[:space:]]*\(")
done

terminal="\b(printf|vprintf|puts|putchar|perror)[[:space:]]*\(|std::(cout|cerr|clog)\b|\b(stdout|stderr)\b"
for layer in $below_driver; do
  [ -d "$layer" ] || continue
  report "writes to the terminal below the driver" < <(sources "$layer" "$terminal" | grep -v "^platform/output\.cpp:")
done

[ $status -eq 0 ] && echo "layering: every include runs downward, the settings stay in the driver, and only the output sink writes to the terminal"
exit $status

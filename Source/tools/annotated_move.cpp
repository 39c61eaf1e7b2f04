#include "tools/annotated_move.h"

#include <cstring>

#include "board/notation.h"
#include "platform/format_text.h"
#include "platform/output.h"

bool ReadAnnotatedMove(Position* pos, const char* text, Move* move) {
  char plain[64];
  CopyField(plain, sizeof plain, text);
  int n = int(std::strlen(plain));
  while (n > 0 && std::strchr("#!?", plain[n - 1]) != nullptr) plain[--n] = 0;
  MoveTextMatch match = MatchMoveText(pos, plain, move);
  if (match == MoveTextMatch::kAmbiguous) PrintLine("ambiguous move");
  return match == MoveTextMatch::kFound;
}

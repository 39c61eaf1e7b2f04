#include "driver/book_moves.h"

#include <string>

#include "board/notation.h"
#include "book/book_probe.h"
#include "driver/settings.h"
#include "driver/settings_snapshot.h"
#include "platform/output.h"

Move ProbeBook(Position* pos, const char* path) {
  BookProbe probe;
  ProbeBookMoves(pos, path, g_pending.own_book_variety, &probe);
  if (!probe.listed) return probe.move;
  if (g_flags.uci) {
    std::string listing = "info string ( book moves are: ";
    for (int i = 0; i < probe.count; i++) {
      Move move = probe.candidates[i].move;
      listing += kSquareNames[MoveFrom(move)];
      listing += kSquareNames[MoveTo(move)];
      listing += ' ';
    }
    PrintLine("%s )", listing.c_str());
  } else if (g_flags.noise < kNoiseSilent) {
    for (int i = 0; i < probe.count; i++) {
      const BookCandidate& c = probe.candidates[i];
      char text[16];
      MoveToCoordinate(pos, pos->side, c.move, CurrentNotation(), text);
      PrintLine("  %s  cnt= %5d, weight= %5.2f%% -> %5.2f%%", text, c.weight,
                c.weight * 100.0 / double(probe.total_weight), c.share * 100.0 / probe.total_shares);
    }
    if (probe.move != kNullMove)
      PrintLine("selecting %s%s", kSquareNames[MoveFrom(probe.move)], kSquareNames[MoveTo(probe.move)]);
  }
  return probe.move;
}

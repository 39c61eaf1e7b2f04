#include "driver/board_print.h"

#include "platform/output.h"

void PrintBoard(const Position* pos) {
  char text[kBoardTextSize];
  BoardText(pos, text);
  PrintLine("%s", text);
}

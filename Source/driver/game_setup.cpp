#include "driver/game_setup.h"

#include "driver/settings.h"
#include "platform/output.h"
#include "search/game.h"

bool SetupGameOrSay(const char* fen) {
  const char* why = nullptr;
  if (SetupGameIfPossible(fen, &why)) return true;
  PrintLine("%s", RefusedFenMessage(why, g_flags.uci).c_str());
  return false;
}

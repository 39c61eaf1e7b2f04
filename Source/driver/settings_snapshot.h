// What the layers below the driver read of the settings, copied out of them
// by the driver: the move text style, the evaluation's options and, at
// every search start, the search's options. Nothing below the driver reads
// the settings themselves.
#pragma once

#include "board/notation.h"
#include "driver/settings.h"
#include "eval/eval_options.h"
#include "search/search_options.h"
#include "tools/tool_search.h"

// The move text of the protocol in use: UCI or console promotions, and
// castling as the king taking its rook under UCI_Chess960.
NotationStyle CurrentNotation();
// The evaluation's options of the settings in force.
EvalOptions CurrentEvalOptions();
// The search's options of a settings record and its flags.
SearchOptions SearchOptionsOf(const Settings& settings, const EngineFlags& flags);
// The search's options of the settings in force (the pending ones).
SearchOptions CurrentSearchOptions();
// A tool's options of the settings in force.
ToolOptions CurrentToolOptions();

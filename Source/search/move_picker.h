// The staged move picker: hands out the moves of a ply one at a time,
// generating and scoring each stage only when the previous one is used up.
#pragma once

#include "board/movegen.h"
#include "search/search_params.h"
#include "search/search_thread.h"

// Picker flags, above the stage in the low four bits.
enum PickerFlags : uint16_t {
  kPickHashMove = 0x10,       // the hash move first
  kPickBase = 0x20,
  kPickExchangeScore = 0x40,  // exchange-scored captures, all promotions, then quiet moves
  kPickQuietChecks = 0x80,    // after the captures, quiet checking moves
};
constexpr uint16_t kModeMainSearch = 0x70;
constexpr uint16_t kModeQuiescenceChecks = 0xA0;
constexpr uint16_t kModeQuiescence = 0x20;

// Capture order value by captured piece code (both colours alike).
constexpr int kCaptureOrder[16] = {210, 220, 230, 230, 240, 250, 0, 0, 210, 220, 230, 230, 240, 250, 0, 0};
// Piece worth for "is the mover worth more than what it takes".
constexpr int kExchangeOrder[7] = {0, 1, 3, 3, 5, 10, 99};

// Order score of a capture or promotion by victim and attacker alone: the
// bigger victim first, then the cheaper attacker.
inline int CaptureOrder(const MoveListEntry& e) { return kCaptureOrder[e.captured] - TypeOf(e.mover); }
// Order score of a capture whose exchange loses: by the victim's kind, below
// the quiet moves with some history.
inline int LosingCaptureOrder(const MoveListEntry& e) { return TypeOf(e.captured) + kLosingCaptureOrder; }

// What the quiet moves of a ply are scored against: the killers of the ply
// (in its record), and the countermoves and follow-up of the moves that led
// to it. Nothing but history counts at ply 1 or after a null move.
struct QuietOrderHints {
  bool scored;    // the bonuses apply
  bool in_check;  // the evasion bonuses instead of the usual ones
  Move counter, counter2, follow;
};
QuietOrderHints QuietHintsAt(const SearchThread* thread, int ply);
// Order score of a quiet move of the thread's ply: its history / 256 plus
// the bonus of the first hint it matches.
int QuietOrder(const SearchThread* thread, const PlyRecord& r, const QuietOrderHints& hints, const MoveListEntry& e);

// Starts the picker of the thread's current ply in a mode.
void StartMovePicker(SearchThread* thread, uint16_t mode);
// The next move of the current ply, or nullptr when none is left.
MoveListEntry* NextMove(SearchThread* thread);

// The staged move picker: hands out the moves of a ply one at a time,
// generating and scoring each stage only when the previous one is used up.
#pragma once

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

// Starts the picker of the thread's current ply in a mode.
void StartMovePicker(SearchThread* thread, uint16_t mode);
// The next move of the current ply, or nullptr when none is left.
MoveListEntry* NextMove(SearchThread* thread);

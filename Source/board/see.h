// Static exchange evaluation.
#pragma once

#include "board/position.h"

// Exchange values by piece type: empty, pawn .. king.
constexpr int kExchangeValue[7] = {0, 100, 350, 350, 550, 1075, 9000};
constexpr int kKingCaptureValue = 9999;

// With from = 64: what the colour can secure by starting captures on sq with
// its least valuable attacker, never below 0. With from = a square of the
// colour's man: the result of moving that man to sq first.
int StaticExchange(const Position* pos, int colour, int from, int sq);

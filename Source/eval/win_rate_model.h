// How often a score wins, draws and loses: the model behind the wdl figures
// of the info lines, fitted on Zorv's own games at 10+0.1 (tools/fit_wdl).
//
// The side to move wins with probability 1 / (1 + exp((a - v) / b)) and
// loses with 1 / (1 + exp((a + v) / b)), v being the score in centipawns;
// the rest is the draw. a (the score that wins half the games) and b (how
// fast the win rate rises around it) are cubics in the material on the
// board: in an ending a level score or a small edge is mostly drawn, with
// all the men on the same score wins and loses far more often.
#pragma once

#include "board/position.h"

struct WinRateModel {
  double a[4];  // a(x) = a[0] + a[1] x + a[2] x^2 + a[3] x^3
  double b[4];  // b(x) likewise
};

// The model Zorv reports with.
extern const WinRateModel kWinRateModel;

// Material on the board as the model reads it: pawns 1, knights and
// bishops 3, rooks 5, queens 9, both sides together, held to 17..78.
constexpr int kWinRateMaterialMin = 17;
constexpr int kWinRateMaterialMax = 78;
int WinRateMaterial(const Position* pos);

// x of the cubics: the material over that of a typical middlegame.
constexpr double kWinRateMaterialScale = 58.0;

struct WinDrawLoss {
  double win, draw, loss;  // probabilities, adding up to 1
};
WinDrawLoss WinRateProbabilities(const WinRateModel& model, double score, int material);

// The same in per mille for the info lines: three whole numbers that add up
// to 1000. A mate score gives 1000 0 0 or 0 0 1000.
struct WdlPerMille {
  int win, draw, loss;
};
WdlPerMille WdlFromScore(int score, int material);

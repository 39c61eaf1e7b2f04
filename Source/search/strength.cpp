#include "search/strength.h"

#include <cmath>
#include <cstdlib>

#include "board/attacks.h"
#include "board/movegen.h"
#include "board/position.h"
#include "platform/clock.h"
#include "platform/relaxed.h"
#include "search/game.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/time_manager.h"

namespace {

// Scores at least this far from 0 are mates or tablebase results: with one
// of them on top the best line is played.
constexpr int kDecisiveScore = kTbWinValue - kMaxPly;

// The time plan of a limited search (StrengthTimeShare): the first
// kOpeningPlies plies of the game take kOpeningShare of the usual time,
// those up to kEarlyPlies kEarlyShare; a forced move (in check, or at most
// kFewMoves legal moves) kForcedShare; a middlegame (both sides' pieces
// worth at least kMiddlegameMaterial, knight 3 .. queen 10) with at least
// kManyMoves legal moves kComplexShare; an endgame (at most kEndgameMaterial)
// kEndgameShare. The random part multiplies by 1 - kTimeVariation ..
// 1 + kTimeVariation. No plan goes below kLeastShare.
constexpr int kOpeningPlies = 16;
constexpr int kEarlyPlies = 30;
constexpr double kOpeningShare = 0.5;
constexpr double kEarlyShare = 0.8;
constexpr int kFewMoves = 3;
constexpr double kForcedShare = 0.5;
constexpr int kMiddlegameMaterial = 40;
constexpr int kManyMoves = 30;
constexpr double kComplexShare = 1.3;
constexpr int kEndgameMaterial = 20;
constexpr double kEndgameShare = 0.8;
constexpr double kTimeVariation = 0.25;
constexpr double kLeastShare = 0.15;

// The segment of the table an Elo falls in (the end segments beyond the ends).
int SegmentOfElo(double elo) {
  int i = 0;
  while (i < kStrengthPointCount - 2 && elo > kStrengthPoints[i + 1].elo) i++;
  return i;
}

int SegmentOfRate(double rate) {
  int i = 0;
  while (i < kStrengthPointCount - 2 && rate > kStrengthPoints[i + 1].nps) i++;
  return i;
}

// Linear interpolation of an integer column between the points around an
// Elo, held at the end values outside the table.
int Interpolated(int elo, int StrengthPoint::*column) {
  if (elo <= kStrengthPoints[0].elo) return kStrengthPoints[0].*column;
  const StrengthPoint& top = kStrengthPoints[kStrengthPointCount - 1];
  if (elo >= top.elo) return top.*column;
  int i = SegmentOfElo(elo);
  const StrengthPoint &a = kStrengthPoints[i], &b = kStrengthPoints[i + 1];
  double t = double(elo - a.elo) / double(b.elo - a.elo);
  return int(std::lround(a.*column + t * (b.*column - a.*column)));
}

uint64_t SplitMix(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

double RateOfElo(double elo) {
  int i = SegmentOfElo(elo);
  const StrengthPoint &a = kStrengthPoints[i], &b = kStrengthPoints[i + 1];
  double t = (elo - a.elo) / double(b.elo - a.elo);
  return std::exp(std::log(a.nps) + t * (std::log(b.nps) - std::log(a.nps)));
}

double EloOfRate(double rate) {
  if (rate < 1e-9) rate = 1e-9;
  int i = SegmentOfRate(rate);
  const StrengthPoint &a = kStrengthPoints[i], &b = kStrengthPoints[i + 1];
  double t = (std::log(rate) - std::log(a.nps)) / (std::log(b.nps) - std::log(a.nps));
  return a.elo + t * (b.elo - a.elo);
}

StrengthLevel StrengthAtElo(int elo) {
  StrengthLevel level;
  level.active = true;
  level.rate = RateOfElo(elo);
  level.lines = Interpolated(elo, &StrengthPoint::lines);
  level.margin = Interpolated(elo, &StrengthPoint::margin);
  level.min_depth = Interpolated(elo, &StrengthPoint::min_depth);
  return level;
}

StrengthLevel StrengthForSearch(bool limit_strength, int elo, double full_speed_rate) {
  if (!limit_strength || elo >= kStrengthEloMax || !(full_speed_rate > 0)) return StrengthLevel();
  return StrengthAtElo(elo);
}

void PrepareStrengthLimit(const SearchOptions& options) {
  SearchControl& c = g_control;
  c.strength = StrengthForSearch(options.limit_strength, options.uci_elo, c.full_speed_rate);
  c.target_rate = c.strength.active ? float(c.strength.rate) : c.full_speed_rate;
  SetRelaxed(c.obvious_move, false);
  if (c.strength.active && g_game != nullptr && !g_game->strength_seeded)
    SeedStrengthChoices(g_game, uint32_t(options.strength_seed));
}

void ThrottleSearch(SearchThread* t) {
  SearchControl& c = g_control;
  int least_depth = c.strength.min_depth > 1 ? c.strength.min_depth : 1;
  while (c.main_depth.load(std::memory_order_relaxed) > least_depth && !c.stop.load(std::memory_order_relaxed)) {
    // The rate counts every thread: each keeps to its share of it.
    double rate = double(t->nodes) * c.thread_count / (double(Relaxed(c.elapsed)) + 0.0001);
    if (rate <= c.target_rate) break;
    SleepMs(1);
    CheckSearchTime();
  }
}

void RestartStrengthChoices(GameRecord* game) {
  if (game != nullptr) game->strength_seeded = false;
}

void SeedStrengthChoices(GameRecord* game, uint32_t seed) {
  uint64_t state = seed != 0 ? seed : (uint64_t(uint32_t(std::rand())) << 32) ^ uint64_t(uint32_t(std::rand()));
  game->strength_random = state;
  game->strength_seeded = true;
}

uint64_t NextStrengthRandom(GameRecord* game) { return SplitMix(&game->strength_random); }

int ChooseStrengthLine(const int* scores, int count, int margin, GameRecord* game) {
  if (count <= 1 || margin <= 0 || std::abs(scores[0]) >= kDecisiveScore) return 0;
  int chosen = 0;
  long best_total = -(1L << 30);
  for (int i = 0; i < count; i++) {
    if (scores[0] - scores[i] >= margin) continue;
    long total = long(scores[i]) + long(NextStrengthRandom(game) % uint64_t(margin));
    if (total > best_total) {
      best_total = total;
      chosen = i;
    }
  }
  return chosen;
}

double StrengthTimeShare(const Position* pos, int plies, uint64_t random) {
  MoveList list;
  MoveListEntry* end = GenerateAllMoves(pos, list.entry);
  int legal = 0;
  for (MoveListEntry* e = list.entry; e != end; e++)
    if (IsLegalMove(pos, pos->side, e->move)) legal++;
  int side = pos->side;
  bool in_check = FindAttacker(pos, pos->king_square[side], side ^ 1, Occupancy(pos)) != kNoSquare;
  int material = pos->material[WHITE] + pos->material[BLACK];
  double share = 1.0;
  if (plies < kOpeningPlies) share *= kOpeningShare;
  else if (plies < kEarlyPlies) share *= kEarlyShare;
  if (in_check || legal <= kFewMoves) share *= kForcedShare;
  else if (material >= kMiddlegameMaterial && legal >= kManyMoves) share *= kComplexShare;
  if (material <= kEndgameMaterial) share *= kEndgameShare;
  double unit = double(random & 0xFFFF) / 65535.0;
  share *= 1.0 - kTimeVariation + 2 * kTimeVariation * unit;
  return share < kLeastShare ? kLeastShare : share;
}

// Strength limiting: a requested Elo sets the search's speed in nodes per
// second, how many root lines it searches and how far below the best a
// move it plays may lie, and the depth it always reaches; the clock is used
// unevenly, as a player uses it. Everything follows from one table of
// calibration points.
#pragma once

#include <cstdint>

struct GameRecord;
struct Position;
struct SearchThread;
struct SearchOptions;

// One calibration point: at this Elo the search runs at nps nodes a second,
// searches `lines` root lines and may play any of them that scores less
// than `margin` centipawns below the best, and always completes min_depth
// iterations before the speed limit or the soft time limit act.
struct StrengthPoint {
  int elo;
  double nps;
  int lines;
  int margin;
  int min_depth;
};

// THE CALIBRATION POINTS. They are fitted to matches against Stockfish
// 15.1's UCI_Elo scale (itself calibrated to CCRL 40/4) at 10+0.1 from the
// balanced openings, both colours (tools/calibrate_strength.sh); the
// measured results are in docs/strength.md. Between points the speed is
// interpolated linearly in ln(nps) and the rest linearly in Elo; beyond the
// ends the speed follows the end segments and the rest stays at the end
// values. The first point is the bottom of UCI_Elo's range, the last its
// top: a request at the top (or one the machine cannot reach) is full
// strength, without any limit. From row to row Elo and nps must rise,
// min_depth must not fall, lines and margin must not rise (checked at
// compile time).
//
// How the points were found (the matches are in docs/strength.md): the
// old model (Elo = 150 ln(nps) + 1128) played hundreds of Elo below its
// labels; Stockfish's weak levels choose almost at random among their four
// best moves, so a low label needs a wide margin more than a slow search
// (at 1500 a three-ply search won 84% with a 120 cp margin, a two-ply one
// 62% with 170 cp and about level with 300 cp), while from 2000 up Stockfish's moves come from deep
// searches and only speed closes the gap. Full strength measured about
// 2440 on this scale at 10+0.1 (-58 against 2500), so the 2450 point asks
// for more speed than a core gives: from about there up a request plays at
// full strength, and the top point only keeps the table's range. Each
// point is the last of a few tries, 60 games each; a try's result varies
// by some +-50 Elo from the games alone.
constexpr StrengthPoint kStrengthPoints[] = {
    // elo, nps, lines, margin, min_depth
    {1350, 100, 4, 350, 2},
    {1500, 300, 4, 300, 2},
    {2000, 100000, 4, 40, 5},
    {2450, 2000000, 1, 0, 8},
    {2850, 4000000, 1, 0, 8},
};
constexpr int kStrengthPointCount = int(sizeof kStrengthPoints / sizeof kStrengthPoints[0]);
constexpr int kStrengthEloMin = kStrengthPoints[0].elo;
constexpr int kStrengthEloMax = kStrengthPoints[kStrengthPointCount - 1].elo;
// The most root lines a limited search chooses among.
constexpr int kMaxChoiceLines = 8;
// A limited search whose best root line leads the next by this many
// centipawns has an obvious move and plays it sooner.
constexpr int kObviousMoveGap = 150;

constexpr bool StrengthPointsInOrder() {
  for (int i = 0; i < kStrengthPointCount; i++) {
    const StrengthPoint& p = kStrengthPoints[i];
    if (p.nps <= 0 || p.lines < 1 || p.lines > kMaxChoiceLines || p.margin < 0 || p.min_depth < 1) return false;
    if (i == 0) continue;
    const StrengthPoint& q = kStrengthPoints[i - 1];
    if (p.elo <= q.elo || p.nps <= q.nps || p.lines > q.lines || p.margin > q.margin || p.min_depth < q.min_depth)
      return false;
  }
  return kStrengthPointCount >= 2;
}
static_assert(StrengthPointsInOrder(), "calibration points out of order");

// What a search does at a requested strength; active false is full
// strength (rate then means nothing, lines is 1, min_depth 1).
struct StrengthLevel {
  bool active = false;
  double rate = 0;
  int lines = 1;
  int margin = 0;
  int min_depth = 1;
};

// The model, both ways: the speed of an Elo and the Elo of a speed (rate
// above 0). Each is the other's inverse.
double RateOfElo(double elo);
double EloOfRate(double rate);
// The interpolated level at an Elo (active, whatever the Elo).
StrengthLevel StrengthAtElo(int elo);
// The level of a search: full strength unless limiting is on, the Elo is
// below the top of the range and the search has a full speed at all
// (full_speed_rate above 0: the searches of play, after the start-up
// measurement; the tools' searches have none and are never limited). The
// measured speed itself decides nothing: a measurement on a busy machine
// is low, and a level faster than the machine simply runs at the machine's
// speed with the rest of its weakening.
StrengthLevel StrengthForSearch(bool limit_strength, int elo, double full_speed_rate);

// At search start: the level from the options' limit_strength and uci_elo
// (UCI_LimitStrength, UCI_Elo), the target rate (the full speed when not
// limited), and the game's choice generator seeded from strength_seed if it
// is not. The options are left as they are: a level the machine cannot
// reach runs at full strength without rewriting the user's settings.
void PrepareStrengthLimit(const SearchOptions& options);
// At the start of every node while the throttle is active: once the main
// thread is past the level's minimum depth, sleeps while this thread runs
// faster than the target.
void ThrottleSearch(SearchThread* t);

// The game's generator of the limited strength's choices (splitmix64):
// seeded from Strength_Seed, or from the process's random numbers when that
// is 0, at the first search after start-up, ucinewgame or a new seed.
void RestartStrengthChoices(GameRecord* game);
void SeedStrengthChoices(GameRecord* game, uint32_t seed);
uint64_t NextStrengthRandom(GameRecord* game);

// Which of count root lines, scored best first, a limited search plays: each
// line less than margin below the best gets a random bonus below margin, and
// the highest total wins (the best line on ties). With a mate or tablebase
// score on top, or no margin, the best line.
int ChooseStrengthLine(const int* scores, int count, int margin, GameRecord* game);

// The share of its usual time a limited search plans for a move: less in
// the opening, on a forced move (in check, or three legal moves or fewer)
// and in an endgame, more in a middlegame with many moves, and varied by
// the random number (its low 16 bits) by up to a quarter either way. plies
// counts the game's moves so far.
double StrengthTimeShare(const Position* pos, int plies, uint64_t random);

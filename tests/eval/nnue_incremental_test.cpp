// The integer network's accumulators, brought up to date move by move,
// always hold the sums a fresh computation gives: along random sequences of
// moves, take-backs and null moves with castling (standard and Chess960),
// en passant, promotions and king moves across buckets and mirror sides,
// evaluated at every step or only now and then.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "eval/nnue_accumulator.h"
#include "eval/nnue_evaluate.h"
#include "eval/nnue_test_helpers.h"
#include "support/engine_process.h"

namespace {

struct ScopedNnueState {
  ScopedNnueState() : state(NewNnueThreadState()) {}
  ~ScopedNnueState() { FreeNnueThreadState(state); }
  NnueThreadState* state;
};

// How often the sequences exercised each kind of change.
struct Coverage {
  int castles = 0, en_passant = 0, promotions = 0, null_moves = 0, take_backs = 0, rebuilds = 0, checks = 0;
};

void CheckAgainstFresh(NnueThreadState* state, const NnueWeights& net, uint32_t load_id, const Position* pos,
                       const std::string& context) {
  const NnueAccumulator* acc = NnueUpdateAccumulator(state, net, load_id, pos);
  int16_t fresh[kNnueHidden];
  for (int view = WHITE; view <= BLACK; view++) {
    NnueFreshSums(net, pos, view, fresh);
    ASSERT_EQ(std::memcmp(acc->sums[view], fresh, sizeof fresh), 0) << "view " << view << " after " << context;
  }
  ASSERT_EQ(NnueCentipawns(NnueOutput(net, acc, pos)), NnueEvaluateFresh(net, pos)) << context;
}

// A random walk of `steps` from the FEN: mostly moves, some take-backs and
// null moves; evaluated after each step with probability `check_rate`.
void Walk(const std::string& fen, const NnueWeights& net, NnueThreadState* state, uint32_t load_id, uint32_t seed,
          int steps, double check_rate, Coverage* coverage) {
  PositionPtr pos = MakePosition(fen);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  std::string line = fen + " :";
  for (int step = 0; step < steps; step++) {
    double r = unit(rng);
    int king = pos->king_square[pos->side];
    bool in_check = IsSquareAttacked(pos.get(), king, pos->side ^ 1);
    if (r < 0.15 && pos->history_count > 0) {
      if (pos->undo[pos->history_count - 1].move == kNullMove) UnmakeNullMove(pos.get());
      else UnmakeMove(pos.get());
      line += " (back)";
      coverage->take_backs++;
    } else if (r < 0.22 && !in_check && pos->last_move != kNullMove) {
      MakeNullMove(pos.get());
      line += " null";
      coverage->null_moves++;
    } else {
      std::vector<Move> legal = LegalMoves(pos.get());
      if (legal.empty() || pos->history_count >= kMaxGamePlies) {
        if (pos->history_count == 0) return;
        if (pos->undo[pos->history_count - 1].move == kNullMove) UnmakeNullMove(pos.get());
        else UnmakeMove(pos.get());
        continue;
      }
      // Special moves are preferred, so that every sequence has some.
      Move move = legal[rng() % legal.size()];
      for (Move m : legal) {
        bool special = MoveFlags(m) != 0 || (TypeOf(pos->board[MoveFrom(m)]) == PAWN && MoveTo(m) == pos->ep_square);
        if (special && unit(rng) < 0.5) move = m;
      }
      int mover = TypeOf(pos->board[MoveFrom(move)]);
      if (MoveFlags(move) && mover == KING) coverage->castles++;
      else if (MoveFlags(move)) coverage->promotions++;
      else if (mover == PAWN && MoveTo(move) == pos->ep_square) coverage->en_passant++;
      line += " " + std::string(kSquareNames[MoveFrom(move)]) + kSquareNames[MoveTo(move)];
      MakeMove(pos.get(), move);
    }
    if (unit(rng) < check_rate) {
      CheckAgainstFresh(state, net, load_id, pos.get(), line);
      coverage->checks++;
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

std::vector<std::string> WalkStarts() {
  std::vector<std::string> starts = {
      kStartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",  // castling both ways
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -",                              // promotions
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6",         // en passant at once
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",                             // en passant and pins
      "5k1r/8/8/8/8/8/8/5KR1 w G -",                                       // Chess960: king and rook swap
      "6kr/8/8/8/8/8/8/6KR w H -",                                         // Chess960: the king stands still
      "r1k4r/8/8/8/8/8/8/R1K4R w HAha -",                                  // Chess960 castling both ways
  };
  for (const PerftRecord& record : LoadPerftSuite(TestData("perft/chess960.perft"))) {
    if (starts.size() >= 14) break;
    starts.push_back(record.fen);
  }
  return starts;
}

TEST(NnueIncremental, RandomSequencesMatchTheFreshSums) {
  InitBoardForTests();
  ScopedNnue random(21);
  ASSERT_TRUE(random.made);
  ScopedNnueState state;
  ASSERT_NE(state.state, nullptr);
  Coverage coverage;
  uint32_t seed = 1;
  for (const std::string& fen : WalkStarts()) {
    // Evaluated at every step, and only now and then (long replays).
    for (double rate : {1.0, 0.15}) {
      Walk(fen, random.net, state.state, 1, seed++, 160, rate, &coverage);
      if (HasFatalFailure()) return;
    }
  }
  EXPECT_GT(coverage.castles, 10);
  EXPECT_GE(coverage.en_passant, 5);
  EXPECT_GT(coverage.promotions, 10);
  EXPECT_GT(coverage.null_moves, 50);
  EXPECT_GT(coverage.take_backs, 50);
  EXPECT_GT(state.state->counts.rebuilds, 20u);        // king moves across buckets or halves
  EXPECT_GT(state.state->counts.replayed_moves, 500u);  // most updates replay moves
}

// One state serves networks of both activations and bucket maps in turn: a
// new load forgets every sum, the king cache included.
TEST(NnueIncremental, ANewLoadForgetsTheSums) {
  InitBoardForTests();
  static const uint8_t kOneBucket[64] = {};
  ScopedNnue first(1, kNnueClipped), second(2, kNnueSquaredClipped, kOneBucket);
  ASSERT_TRUE(first.made && second.made);
  ScopedNnueState state;
  Coverage coverage;
  for (uint32_t round = 0; round < 6; round++) {
    const NnueWeights& net = round % 2 ? second.net : first.net;
    Walk(WalkStarts()[round % 3], net, state.state, 10 + round, 100 + round, 60, 0.5, &coverage);
    if (HasFatalFailure()) return;
  }
}

// Positions set up afresh in one state (as tools evaluate lists of
// positions) come from the king cache with only the differing men applied.
TEST(NnueIncremental, UnrelatedPositionsInTurn) {
  InitBoardForTests();
  ScopedNnue random(4);
  ASSERT_TRUE(random.made);
  ScopedNnueState state;
  for (const std::string& fen : RandomGameFens(WalkStarts(), 20, 40, 3)) {
    PositionPtr pos = MakePosition(fen);
    CheckAgainstFresh(state.state, random.net, 1, pos.get(), fen);
    if (HasFatalFailure()) return;
  }
}

}  // namespace

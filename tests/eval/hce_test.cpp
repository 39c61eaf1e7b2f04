// The hand-crafted evaluation: symmetry, caches, threat sums and the way
// its stages add up.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "board/position.h"
#include "eval/hce_internal.h"
#include "eval/hce_state.h"
#include "eval/packed_score.h"
#include "eval_test_helpers.h"
#include "support/engine_process.h"

namespace {

class HceTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEvaluation(); }
};

std::vector<std::string> PerftSuiteFens() {
  std::vector<std::string> fens;
  for (const char* suite : {"perft/tricky.perft", "perft/random.perft", "perft/chess960.perft"}) {
    for (const PerftRecord& r : LoadPerftSuite(TestData(suite))) fens.push_back(r.fen);
  }
  return fens;
}

// More than one queen of a colour: the pin rule looks behind the
// lowest-numbered queen only, and the exchange evaluator breaks ties
// between equal attackers by square number, so such positions need not
// score the same as their mirror images.
bool HasTwoQueensOfAColour(const Position* pos) {
  return MoreThanOne(pos->pieces[WHITE][QUEEN]) || MoreThanOne(pos->pieces[BLACK][QUEEN]);
}

TEST_F(HceTest, StartPositionIsWorthTheSideToMoveBonus) {
  EXPECT_EQ(EvaluateFen(kStartFen), 37);
  EXPECT_EQ(EvaluateFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -"), 37);
}

TEST_F(HceTest, MirroredPositionsScoreTheSameOverThePerftSuites) {
  std::vector<std::string> fens = PerftSuiteFens();
  ASSERT_GT(fens.size(), 7000u);
  EvalBoardPtr thread = MakeEvalBoard(kStartFen);
  int compared = 0, failures = 0;
  for (const std::string& fen : fens) {
    SetupPosition(&thread->pos, fen.c_str());
    if (HasTwoQueensOfAColour(&thread->pos)) continue;
    int score = Evaluate(thread.get());
    int white_threat = thread->eval.threat[1][WHITE], black_threat = thread->eval.threat[1][BLACK];
    std::string mirror = MirrorFen(fen);
    SetupPosition(&thread->pos, mirror.c_str());
    int mirrored = Evaluate(thread.get());
    compared++;
    if (score != mirrored || white_threat != thread->eval.threat[1][BLACK] ||
        black_threat != thread->eval.threat[1][WHITE]) {
      if (++failures <= 10) {
        ADD_FAILURE() << fen << " scores " << score << " (threats " << white_threat << "/" << black_threat << "), "
                      << mirror << " scores " << mirrored << " (threats " << thread->eval.threat[1][WHITE] << "/"
                      << thread->eval.threat[1][BLACK] << ")";
      }
    }
  }
  EXPECT_GT(compared, 7000);
  EXPECT_EQ(failures, 0);
}

// From ply 2 on the pawn structure comes from the pawn hash; it must give
// what a fresh computation gives.
TEST_F(HceTest, PawnHashGivesTheScoresOfAFreshEvaluation) {
  std::vector<std::string> fens = PerftSuiteFens();
  EvalBoardPtr thread = MakeEvalBoard(kStartFen);
  for (size_t i = 0; i < fens.size(); i += 3) {
    SetupPosition(&thread->pos, fens[i].c_str());
    int fresh = Evaluate(thread.get(), 1);
    // Forget the evaluation cache so that the second call computes again;
    // the ply-1 evaluation left the pawn structure in the pawn hash.
    std::memset(thread->eval.eval_cache, 0, sizeof thread->eval.eval_cache);
    ASSERT_EQ(Evaluate(thread.get(), 2), fresh) << fens[i];
  }
  EXPECT_EQ(thread->eval.hce_cache_hits, 0u);
  EXPECT_GT(thread->eval.pawn_hash_hits, 2000u);
  EXPECT_GE(thread->eval.pawn_hash_probes, thread->eval.pawn_hash_hits);
}

TEST_F(HceTest, PawnHashKeySeparatesTheKingHalves) {
  // Same pawns, the white king on g1 and then on c1: different square
  // tables apply, so a shared hash entry would be wrong.
  EvalBoardPtr a = MakeEvalBoard("4k3/pp3ppp/8/8/8/8/PP3PPP/6K1 w - -");
  EvalBoardPtr b = MakeEvalBoard("4k3/pp3ppp/8/8/8/8/PP3PPP/2K5 w - -");
  EXPECT_EQ(a->pos.pawn_key, b->pos.pawn_key);
  EXPECT_NE(PawnHashKey(&a->pos), PawnHashKey(&b->pos));
  int fresh_b = Evaluate(b.get(), 1);
  // Fill a's hash with the first position's structure, then copy it over.
  Evaluate(a.get(), 2);
  std::memcpy(b->eval.pawn_hash, a->eval.pawn_hash, sizeof a->eval.pawn_hash);
  b->eval.pawn_hash_generation = a->eval.pawn_hash_generation;
  std::memset(b->eval.eval_cache, 0, sizeof b->eval.eval_cache);
  EXPECT_EQ(Evaluate(b.get(), 2), fresh_b);
}

TEST_F(HceTest, SecondEvaluationAtPlyTwoComesFromTheCache) {
  // White's knight on d5 hangs to the e6 pawn: non-zero threat sums.
  EvalBoardPtr t = MakeEvalBoard("r1bqkb1r/ppp2ppp/2n1pn2/3N4/3P4/8/PPP2PPP/R1BQKBNR w KQkq -");
  int first = Evaluate(t.get(), 2);
  int16_t white_threat = t->eval.threat[2][WHITE], black_threat = t->eval.threat[2][BLACK];
  EXPECT_GE(white_threat, 256);
  EXPECT_EQ(t->eval.hce_cache_hits, 0u);
  // Spoil the stack record: the cached sums must be put back.
  t->eval.threat[2][WHITE] = t->eval.threat[2][BLACK] = -1;
  EXPECT_EQ(Evaluate(t.get(), 2), first);
  EXPECT_EQ(t->eval.hce_cache_hits, 1u);
  EXPECT_EQ(t->eval.threat[2][WHITE], white_threat);
  EXPECT_EQ(t->eval.threat[2][BLACK], black_threat);
  // The root never answers from the cache.
  EXPECT_EQ(Evaluate(t.get(), 1), first);
  EXPECT_EQ(t->eval.hce_cache_hits, 1u);
  EXPECT_EQ(t->eval.hce_evals, 3u);
  // Cache entries carry the key: a different position is computed afresh.
  PlayMoves(&t->pos, "d5f6");
  Evaluate(t.get(), 2);
  EXPECT_EQ(t->eval.hce_cache_hits, 1u);
}

TEST_F(HceTest, ChangedWeightsAreNotHiddenByThePawnHash) {
  EvalBoardPtr t = MakeEvalBoard("4k3/pp3ppp/8/8/8/4P3/PP3PPP/6K1 w - -");
  int before = Evaluate(t.get(), 2);
  SetEvalParam("mtl_pawn", 150, 150);  // "mtl_pawn" always writes entry 0
  std::memset(t->eval.eval_cache, 0, sizeof t->eval.eval_cache);
  int after = Evaluate(t.get(), 2);
  EXPECT_EQ(after, Evaluate(t.get(), 1));
  EXPECT_EQ(after, before + 50);
}

TEST_F(HceTest, ThreatSumsMarkHangingMenAndPassedPawns) {
  // Black's rook on d5 is attacked by the c4 pawn.
  EvalBoardPtr t = MakeEvalBoard("4k3/8/8/3r4/2P5/8/8/4K3 b - -");
  Evaluate(t.get(), 3);
  EXPECT_GE(t->eval.threat[3][BLACK], 256);
  EXPECT_EQ(t->eval.threat[3][WHITE], 0);
  // Free pawns on the seventh threaten the other side: 1200 each way.
  EvalBoardPtr q = MakeEvalBoard("8/3P4/8/8/8/8/k6p/4K3 b - -");
  Evaluate(q.get(), 3);
  EXPECT_GE(q->eval.threat[3][BLACK], 1200);
  EXPECT_GE(q->eval.threat[3][WHITE], 1200);
}

TEST_F(HceTest, StagesAddUpToTheTotal) {
  std::vector<std::string> fens = PerftSuiteFens();
  EvalBoardPtr thread = MakeEvalBoard(kStartFen);
  for (size_t i = 0; i < fens.size(); i += 11) {
    SetupPosition(&thread->pos, fens[i].c_str());
    // Tracing with output captured; only the record is looked at here.
    testing::internal::CaptureStdout();
    hce_evaluate(&thread->pos, &thread->eval, thread->pos.side, 1, 1);
    testing::internal::GetCapturedStdout();
    for (int c = WHITE; c <= BLACK; c++) {
      const HceSide& side = thread->eval.hce.side[c];
      Packed sum = 0;
      for (Packed stage : side.stage) sum += stage;
      EXPECT_EQ(sum, side.score) << fens[i];
    }
  }
}

TEST_F(HceTest, EvaluationTermsPointTheRightWay) {
  // A knight on a defended outpost beats one on the rim.
  EXPECT_GT(EvaluateFen("4k3/pp4pp/8/3N4/2P5/8/PP4PP/4K3 w - -"),
            EvaluateFen("4k3/pp4pp/8/8/2P5/8/PP4PP/N3K3 w - -"));
  // A passed pawn is worth more the further it has come.
  EXPECT_GT(EvaluateFen("4k3/8/3P4/8/8/8/6p1/4K3 w - -"), EvaluateFen("4k3/8/8/8/3P4/8/6p1/4K3 w - -"));
  // Doubled, isolated pawns are worse than healthy ones.
  EXPECT_GT(EvaluateFen("4k3/pppp4/8/8/8/8/PPP5/4K3 w - -"), EvaluateFen("4k3/pppp4/8/8/8/2P5/P1P5/4K3 w - -"));
}

TEST_F(HceTest, BoardsWithoutAKingScoreZero) {
  EvalBoardPtr t = MakeEvalBoard("8/8/8/4q3/8/8/8/4K3 w - -");
  EXPECT_EQ(Evaluate(t.get()), 0);
  EvalBoardPtr u = MakeEvalBoard("4k3/8/8/8/8/8/8/8 b - -");
  EXPECT_EQ(Evaluate(u.get()), 0);
}

TEST_F(HceTest, PawnsOnTheBackRanksOfAnEditedBoardAreHarmless) {
  EvalBoardPtr t = MakeEvalBoard("P3k2P/8/8/8/8/8/8/p3K2p w - -");
  int score = Evaluate(t.get());
  EXPECT_GT(score, -2000);
  EXPECT_LT(score, 2000);
}

// Boards a console user can set up: men anywhere, pawns on the back ranks,
// crowds of one piece kind, kings missing. None may break the evaluation,
// and with one king and at most one queen a side they stay symmetric.
TEST_F(HceTest, ArbitraryBoardsEvaluateSafelyAndSymmetrically) {
  std::mt19937 random(20240607);
  const char men[] = "PPPNBRQpppnbrq";
  EvalBoardPtr thread = MakeEvalBoard(kStartFen);
  int symmetric = 0;
  for (int n = 0; n < 3000; n++) {
    char board[64];
    for (char& c : board) c = 0;
    int count = 2 + int(random() % 30);
    for (int i = 0; i < count; i++) board[random() % 64] = men[random() % 14];
    if (random() % 16 == 0) board[random() % 64] = 'K';  // now and then a second king
    if (random() % 8) board[random() % 64] = 'K';
    if (random() % 8) board[random() % 64] = 'k';
    std::string fen;
    for (int r = 7; r >= 0; r--) {
      for (int f = 0; f < 8; f++) fen += board[8 * r + f] ? board[8 * r + f] : '1';
      if (r) fen += '/';
    }
    fen += random() % 2 ? " w - -" : " b - -";
    SetupPosition(&thread->pos, fen.c_str());
    int score = Evaluate(thread.get());
    EXPECT_LT(std::abs(score), 20000) << fen;
    const Position* pos = &thread->pos;
    if (PopCount(pos->pieces[WHITE][KING]) != 1 || PopCount(pos->pieces[BLACK][KING]) != 1) continue;
    if (HasTwoQueensOfAColour(pos)) continue;
    std::string mirror = MirrorFen(fen);
    SetupPosition(&thread->pos, mirror.c_str());
    EXPECT_EQ(Evaluate(thread.get()), score) << fen;
    symmetric++;
  }
  EXPECT_GT(symmetric, 1000);
}

}  // namespace

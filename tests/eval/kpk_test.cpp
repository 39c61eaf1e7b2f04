// The king-and-pawn-versus-king table against an independent solution.
//
// The reference here is built differently from the engine's table: its own
// board geometry from file and rank arithmetic, every pawn file, and a
// retrograde search that starts from the won end positions and walks the
// move graph backwards with a queue and per-position move counters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "eval/kpk.h"
#include "eval_test_helpers.h"

namespace {

int File(int sq) { return sq % 8; }
int Rank(int sq) { return sq / 8; }
bool OnBoard(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }
bool Adjacent(int a, int b) { return std::max(std::abs(File(a) - File(b)), std::abs(Rank(a) - Rank(b))) == 1; }
bool PawnHits(int pawn, int sq) { return Rank(sq) == Rank(pawn) + 1 && std::abs(File(sq) - File(pawn)) == 1; }

constexpr int kSteps[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};

// Does a rook (straight only) or queen on `from` attack `target`, with
// `blocker` the only other man on the board?
bool SliderHits(int from, int target, int blocker, bool diagonals) {
  for (int d = 0; d < 8; d++) {
    bool diagonal = kSteps[d][0] != 0 && kSteps[d][1] != 0;
    if (diagonal && !diagonals) continue;
    int f = File(from) + kSteps[d][0], r = Rank(from) + kSteps[d][1];
    while (OnBoard(f, r)) {
      int sq = 8 * r + f;
      if (sq == target) return true;
      if (sq == blocker) break;
      f += kSteps[d][0];
      r += kSteps[d][1];
    }
  }
  return false;
}

// After promoting on q (weak side to move): won unless the piece is taken
// at once or the weak king is stalemated.
bool PromotionWins(int strong_king, int weak_king, int q, bool queen) {
  if (Adjacent(weak_king, q) && !Adjacent(strong_king, q)) return false;
  bool check = SliderHits(q, weak_king, strong_king, queen);
  for (int d = 0; d < 8; d++) {
    int f = File(weak_king) + kSteps[d][0], r = Rank(weak_king) + kSteps[d][1];
    if (!OnBoard(f, r)) continue;
    int to = 8 * r + f;
    if (to == q || to == strong_king || Adjacent(to, strong_king)) continue;
    if (!SliderHits(q, to, strong_king, queen)) return true;  // a legal move: KQK or KRK is won
  }
  return check;  // mate, or stalemate
}

struct Reference {
  // Index: ((pawn * 64 + strong king) * 64 + weak king) * 2 + (weak to move).
  static int Index(int sk, int wk, int p, int weak_to_move) { return ((p * 64 + sk) * 64 + wk) * 2 + weak_to_move; }
  std::vector<char> legal, won;

  Reference() : legal(64 * 64 * 64 * 2, 0), won(64 * 64 * 64 * 2, 0) {
    const int n = int(legal.size());
    std::vector<int> pending(n, 0);         // weak to move: moves not yet known to lose
    std::vector<std::vector<int>> parents(n);
    std::vector<int> queue;
    for (int p = 8; p < 56; p++) {
      for (int sk = 0; sk < 64; sk++) {
        for (int wk = 0; wk < 64; wk++) {
          if (sk == wk || sk == p || wk == p || Adjacent(sk, wk)) continue;
          for (int weak_to_move = 0; weak_to_move < 2; weak_to_move++) {
            if (!weak_to_move && PawnHits(p, wk)) continue;
            int i = Index(sk, wk, p, weak_to_move);
            legal[i] = 1;
            if (weak_to_move) {
              bool captures = false;
              for (auto& s : kSteps) {
                int f = File(wk) + s[0], r = Rank(wk) + s[1];
                if (!OnBoard(f, r)) continue;
                int to = 8 * r + f;
                if (to == sk || Adjacent(to, sk) || PawnHits(p, to)) continue;
                if (to == p) {
                  captures = true;
                  continue;
                }
                pending[i]++;
                parents[Index(sk, to, p, 0)].push_back(i);
              }
              if (captures) pending[i] = 1 << 20;  // never lost for the weak side
              if (pending[i] == 0 && PawnHits(p, wk)) queue.push_back(i);  // mate
            } else {
              for (auto& s : kSteps) {
                int f = File(sk) + s[0], r = Rank(sk) + s[1];
                if (!OnBoard(f, r)) continue;
                int to = 8 * r + f;
                if (to == p || to == wk || Adjacent(to, wk)) continue;
                parents[Index(to, wk, p, 1)].push_back(i);
              }
              int one = p + 8;
              if (one == sk || one == wk) continue;
              if (Rank(one) == 7) {
                if (PromotionWins(sk, wk, one, true) || PromotionWins(sk, wk, one, false)) queue.push_back(i);
                continue;
              }
              parents[Index(sk, wk, one, 1)].push_back(i);
              int two = p + 16;
              if (Rank(p) == 1 && two != sk && two != wk) parents[Index(sk, wk, two, 1)].push_back(i);
            }
          }
        }
      }
    }
    for (int i : queue) won[i] = 1;
    for (size_t head = 0; head < queue.size(); head++) {
      for (int parent : parents[queue[head]]) {
        if (won[parent]) continue;
        if ((parent & 1) && --pending[parent] != 0) continue;
        won[parent] = 1;
        queue.push_back(parent);
      }
    }
  }
};

const Reference& Solution() {
  static Reference reference;
  return reference;
}

class KpkTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEvaluation(); }
};

TEST_F(KpkTest, TableMarksExactlyTheWonPositions) {
  const Reference& ref = Solution();
  int won = 0, compared = 0;
  for (int pf = 0; pf < 4; pf++) {
    for (int pr = 0; pr < 8; pr++) {
      int p = 8 * pr + pf;
      for (int sk = 0; sk < 64; sk++) {
        for (int wk = 0; wk < 64; wk++) {
          for (int weak_to_move = 0; weak_to_move < 2; weak_to_move++) {
            bool expected = pr > 0 && pr < 7 && ref.won[Reference::Index(sk, wk, p, weak_to_move)];
            ASSERT_EQ(KpkIsWon(sk, wk, p, weak_to_move != 0), expected)
                << "pawn " << p << " strong king " << sk << " weak king " << wk << " weak to move " << weak_to_move;
            won += expected;
            compared++;
          }
        }
      }
    }
  }
  EXPECT_EQ(compared, kKpkSize);
  EXPECT_GT(won, 50000);
}

TEST_F(KpkTest, ReferenceAgreesWithItsMirrorImageAndKnownPositions) {
  const Reference& ref = Solution();
  for (int i = 0; i < int(ref.won.size()); i++) {
    int wtm = i & 1, wk = i >> 1 & 63, sk = i >> 7 & 63, p = i >> 13;
    ASSERT_EQ(ref.won[i], ref.won[Reference::Index(sk ^ 7, wk ^ 7, p ^ 7, wtm)]);
  }
  // King on the sixth in front of its pawn: won; rook pawn with the
  // defender in the corner: drawn; an unstoppable pawn: won.
  EXPECT_TRUE(ref.won[Reference::Index(Square("d6"), Square("d8"), Square("d5"), 0)]);
  EXPECT_FALSE(ref.won[Reference::Index(Square("a6"), Square("a8"), Square("a5"), 0)]);
  EXPECT_TRUE(ref.won[Reference::Index(Square("a1"), Square("h1"), Square("b5"), 1)]);
}

// Promoting to a queen can stalemate where a rook wins: the table must
// know the underpromotion.
TEST_F(KpkTest, RookPromotionWinsWhereTheQueenStalemates) {
  int found = 0;
  for (int p = 48; p < 52; p++) {
    for (int sk = 0; sk < 64; sk++) {
      for (int wk = 0; wk < 64; wk++) {
        int q = p + 8;
        if (sk == wk || sk == p || wk == p || sk == q || wk == q || Adjacent(sk, wk) || PawnHits(p, wk)) continue;
        if (PromotionWins(sk, wk, q, true) || !PromotionWins(sk, wk, q, false)) continue;
        EXPECT_TRUE(KpkIsWon(sk, wk, p, false)) << sk << " " << wk << " " << p;
        found++;
      }
    }
  }
  EXPECT_GT(found, 0);
}

// Every evaluated king-and-pawn ending gets its small value, plus 800 when
// won, for either colour and any pawn file.
TEST_F(KpkTest, EvaluationAddsTheWinBonusForEitherColour) {
  const Reference& ref = Solution();
  EvalBoardPtr thread = MakeEvalBoard(kStartFen);
  int checked = 0;
  for (int i = 0; i < int(ref.legal.size()); i += 37) {
    if (!ref.legal[i]) continue;
    int wtm = i & 1, wk = i >> 1 & 63, sk = i >> 7 & 63, p = i >> 13;
    int q = 56 + File(p);
    int expected = std::max(std::abs(File(wk) - File(q)), std::abs(Rank(wk) - Rank(q))) + 4 * Rank(p) -
                   std::max(std::abs(File(sk) - File(q)), std::abs(Rank(sk) - Rank(q)));
    if (ref.won[i]) expected += 800;
    for (int strong = WHITE; strong <= BLACK; strong++) {
      int flip = strong == WHITE ? 0 : 56;
      char board[64];
      for (char& c : board) c = 0;
      board[sk ^ flip] = strong == WHITE ? 'K' : 'k';
      board[wk ^ flip] = strong == WHITE ? 'k' : 'K';
      board[p ^ flip] = strong == WHITE ? 'P' : 'p';
      std::string fen = PlacementFen(board);
      int side = wtm ? strong ^ 1 : strong;
      fen += side == WHITE ? " w - -" : " b - -";
      SetupPosition(&thread->pos, fen.c_str());
      int score = Evaluate(thread.get());
      ASSERT_EQ(score, side == strong ? expected : -expected) << fen;
      checked++;
    }
  }
  EXPECT_GT(checked, 5000);
}

}  // namespace

// The staged move picker: every legal move exactly once whatever the table
// move, killer and countermove are, the table move first, winning captures
// before the quiet moves and losing ones after, quiet moves by history, and
// the moves of quiescence and ProbCut.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/see.h"
#include "search/move_picker.h"
#include "support/board_helpers.h"

namespace {

const char* const kKiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Positions with every kind of move: castling both ways, en passant,
// promotions with and without a capture, checks, pins, and captures that
// win, break even and lose.
const std::vector<std::string>& PickerFens() {
  static const std::vector<std::string> fens = {
      kStartFen,
      kKiwipete,
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
      "r3k2r/1P4P1/8/8/8/8/1p4p1/R3K2R w KQkq - 0 1",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
      "4k3/8/8/1B6/8/3n4/8/4K3 w - - 0 1",
      "r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5Q2/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
      "2r3k1/5ppp/8/3q4/3R4/3Q4/5PPP/6K1 w - - 0 1",
      "3r2k1/pp3ppp/2n5/3Np3/2B1P1b1/5N2/PPP2PPP/3R2K1 w - - 0 1",
  };
  return fens;
}

// Positions of random games from the test positions, for breadth.
std::vector<std::string> ManyFens() {
  std::vector<std::string> fens = PickerFens();
  std::vector<std::string> more = RandomGameFens(PickerFens(), 60, 40, 35);
  fens.insert(fens.end(), more.begin(), more.end());
  return fens;
}

constexpr int kPly = 2;

enum class Mode { kMain, kQuiescence, kProbCut };

struct Picked {
  std::vector<MoveListEntry> entries;  // in the order handed out
  std::vector<PickerStage> stages;     // the stage each came from
};

// Runs a picker of the thread's ply 2 to its end. skip_after: once that
// many moves are out, the caller asks for no more quiet moves.
Picked RunPicker(SearchThread* t, Mode mode, Move table_move = kNullMove, int threshold = 0, int skip_after = -1) {
  Position* pos = &t->pos;
  int side = pos->side;
  PlyRecord& r = t->stack[kPly];
  r.checker = uint8_t(FindAttacker(pos, pos->king_square[side], side ^ 1, Occupancy(pos)));
  bool in_check = r.checker != kNoSquare;
  MovePicker picker;
  if (mode == Mode::kMain) StartMainPicker(&picker, t, kPly, table_move, in_check);
  else if (mode == Mode::kQuiescence) StartQuiescencePicker(&picker, t, kPly, table_move, in_check);
  else StartProbCutPicker(&picker, t, kPly, table_move, threshold);
  Picked out;
  const MoveListEntry* e;
  while ((e = NextMove(&picker)) != nullptr) {
    out.entries.push_back(*e);
    out.stages.push_back(picker.stage);
    if (int(out.entries.size()) == skip_after) picker.skip_quiets = true;
    if (out.entries.size() > 2 * kMaxMovesPerPly) break;
  }
  return out;
}

bool InCheck(const Position* pos) {
  return IsSquareAttacked(pos, pos->king_square[pos->side], pos->side ^ 1);
}

int Exchange(const Position* pos, const MoveListEntry& e) {
  return StaticExchange(pos, pos->side, MoveFrom(e.move), MoveTo(e.move));
}

bool IsPromotion(const MoveListEntry& e) { return TypeOf(e.mover) == PAWN && MoveFlags(e.move) != 0; }

// The legal moves among those handed out, with how often each came.
std::map<Move, int> LegalCounts(Position* pos, const Picked& picked) {
  std::map<Move, int> counts;
  for (const MoveListEntry& e : picked.entries)
    if (IsLegalMove(pos, pos->side, e.move)) counts[e.move]++;
  return counts;
}

// A legal quiet move of the position other than `other`, or 0.
Move SomeQuiet(Position* pos, Move other, size_t skip) {
  for (Move m : LegalMoves(pos)) {
    MoveListEntry e{m, 0, pos->board[MoveFrom(m)], pos->board[MoveTo(m)]};
    if (!IsTactical(e) && m != other && skip-- == 0) return m;
  }
  return kNullMove;
}

TEST(MovePicker, EveryLegalMoveComesOnceWhateverTheTableMoveKillerAndCounter) {
  for (const std::string& fen : ManyFens()) {
    ThreadPtr t = MakeThread(fen);
    Position* pos = &t->pos;
    std::vector<Move> legal = LegalMoves(pos);
    std::sort(legal.begin(), legal.end());
    std::vector<Move> table_moves = {kNullMove};
    for (size_t i = 0; i < legal.size(); i += 3) table_moves.push_back(legal[i]);
    // A killer and a countermove that are legal quiet moves here, and a
    // killer that is not a move of this position at all.
    Move killer = SomeQuiet(pos, kNullMove, 1);
    Move counter = SomeQuiet(pos, killer, 2);
    PlyRecord& prev = t->stack[kPly - 1];
    prev.current_move = MakeMoveWord(12, 28);
    prev.current_mover = PieceCode(pos->side ^ 1, KNIGHT);
    t->histories.countermove[prev.current_mover][28] = counter;
    for (Move bogus_killer : {killer, Move(MakeMoveWord(0, 63))}) {
      t->stack[kPly].killer = bogus_killer;
      for (Move table : table_moves) {
        Picked picked = RunPicker(t.get(), Mode::kMain, table);
        std::map<Move, int> counts = LegalCounts(pos, picked);
        std::vector<Move> seen;
        for (auto& [move, count] : counts) {
          seen.push_back(move);
          EXPECT_EQ(count, 1) << fen << " move " << move << " table " << table;
        }
        EXPECT_EQ(seen, legal) << fen << " table " << table;
        if (table != kNullMove) {
          ASSERT_FALSE(picked.entries.empty());
          EXPECT_EQ(picked.entries[0].move, table) << fen;
        }
      }
    }
  }
}

TEST(MovePicker, TheTableMoveComesFirstWithItsMoverAndVictim) {
  ThreadPtr t = MakeThread(kKiwipete);
  // e5xf7: a knight capture; a2a3 a quiet move; e1g1 castling (no victim).
  for (const char* text : {"e5f7", "a2a3", "e1g1"}) {
    Move table = kNullMove;
    ASSERT_TRUE(ParseMoveText(&t->pos, text, &table)) << text;
    Picked picked = RunPicker(t.get(), Mode::kMain, table);
    ASSERT_FALSE(picked.entries.empty());
    const MoveListEntry& first = picked.entries[0];
    EXPECT_EQ(first.move, table) << text;
    EXPECT_EQ(first.mover, t->pos.board[MoveFrom(table)]) << text;
    EXPECT_EQ(first.captured, std::string(text) == "e5f7" ? t->pos.board[MoveTo(table)] : 0) << text;
  }
}

TEST(MovePicker, WinningCapturesFirstThenQuietMovesByHistoryThenLosingCaptures) {
  int losing_seen = 0, ordered_pairs = 0;
  for (const std::string& fen : ManyFens()) {
    ThreadPtr t = MakeThread(fen);
    Position* pos = &t->pos;
    if (InCheck(pos)) continue;
    // Give the quiet moves distinct butterfly histories.
    int k = 0;
    for (Move m : LegalMoves(pos)) t->histories.butterfly[pos->side][MoveFrom(m)][MoveTo(m)] = int16_t(37 * (k++ % 50) - 900);
    Picked picked = RunPicker(t.get(), Mode::kMain);
    int phase = 0;  // 0 winning captures, 1 quiet moves, 2 losing captures
    int last_history = 1 << 30;
    for (const MoveListEntry& e : picked.entries) {
      if (!IsLegalMove(pos, pos->side, e.move)) continue;
      bool quiet = !IsTactical(e);
      bool losing = !quiet && !IsPromotion(e) && e.captured != 0 && Exchange(pos, e) < 0;
      bool under = IsPromotion(e) && MoveFlags(e.move) != kFlagQueen;
      int now = quiet ? 1 : (losing || under) ? 2 : 0;
      EXPECT_GE(now, phase) << fen << " move " << e.move;
      phase = now > phase ? now : phase;
      losing_seen += losing;
      if (quiet) {
        int h = t->histories.butterfly[pos->side][MoveFrom(e.move)][MoveTo(e.move)];
        EXPECT_LE(h, last_history) << fen << " move " << e.move;
        last_history = h;
        ordered_pairs++;
      }
    }
  }
  EXPECT_GT(losing_seen, 10);
  EXPECT_GT(ordered_pairs, 100);
}

TEST(MovePicker, TheKillerAndCountermoveComeRightAfterTheWinningCaptures) {
  ThreadPtr t = MakeThread(kKiwipete);
  Position* pos = &t->pos;
  Move killer = kNullMove, counter = kNullMove;
  ASSERT_TRUE(ParseMoveText(pos, "a2a3", &killer));
  ASSERT_TRUE(ParseMoveText(pos, "g2g3", &counter));
  t->stack[kPly].killer = killer;
  PlyRecord& prev = t->stack[kPly - 1];
  prev.current_move = MakeMoveWord(52, 36);
  prev.current_mover = PieceCode(BLACK, PAWN);
  t->histories.countermove[prev.current_mover][36] = counter;
  Picked picked = RunPicker(t.get(), Mode::kMain);
  size_t first_quiet = 0;
  while (first_quiet < picked.entries.size() && IsTactical(picked.entries[first_quiet])) first_quiet++;
  ASSERT_LT(first_quiet + 1, picked.entries.size());
  EXPECT_EQ(picked.entries[first_quiet].move, killer);
  EXPECT_EQ(picked.entries[first_quiet + 1].move, counter);
}

TEST(MovePicker, SkippingQuietMovesStillHandsOutTheLosingCaptures) {
  // The queen's captures on d5 and h7 lose it; nothing else captures.
  ThreadPtr t = MakeThread("6k1/6pp/2n1p3/3p4/8/3Q4/6PP/6K1 w - - 0 1");
  Position* pos = &t->pos;
  Picked picked = RunPicker(t.get(), Mode::kMain, kNullMove, 0, 1);
  int quiets = 0, captures = 0;
  for (const MoveListEntry& e : picked.entries) {
    if (!IsTactical(e)) quiets++;
    else captures++;
  }
  // One quiet move came before the skip; both losing captures still come.
  EXPECT_LE(quiets, 1);
  EXPECT_EQ(captures, 2) << pos->side;
}

TEST(MovePicker, QuiescenceHandsOutCapturesAndQueenPromotionsOnlyAndEveryEvasionInCheck) {
  for (const std::string& fen : ManyFens()) {
    ThreadPtr t = MakeThread(fen);
    Position* pos = &t->pos;
    std::vector<Move> expected;
    for (Move m : LegalMoves(pos)) {
      MoveListEntry e{m, 0, pos->board[MoveFrom(m)], pos->board[MoveTo(m)]};
      if (TypeOf(e.mover) == KING && MoveFlags(m)) e.captured = 0;
      bool wanted = InCheck(pos) || (IsTactical(e) && (!IsPromotion(e) || MoveFlags(m) == kFlagQueen));
      if (wanted) expected.push_back(m);
    }
    std::sort(expected.begin(), expected.end());
    std::vector<Move> legal = LegalMoves(pos);
    for (Move table : {kNullMove, legal.empty() ? kNullMove : legal[0]}) {
      Picked picked = RunPicker(t.get(), Mode::kQuiescence, table);
      std::vector<Move> seen;
      for (auto& [move, count] : LegalCounts(pos, picked)) {
        EXPECT_EQ(count, 1) << fen << " move " << move;
        seen.push_back(move);
      }
      EXPECT_EQ(seen, expected) << fen << " table " << table;
    }
  }
}

TEST(MovePicker, ProbCutHandsOutOnlyCapturesWinningTheThreshold) {
  int handed = 0;
  for (const std::string& fen : ManyFens()) {
    ThreadPtr t = MakeThread(fen);
    Position* pos = &t->pos;
    if (InCheck(pos)) continue;
    for (int threshold : {0, 200}) {
      Picked picked = RunPicker(t.get(), Mode::kProbCut, kNullMove, threshold);
      for (const MoveListEntry& e : picked.entries) {
        EXPECT_TRUE(IsTactical(e)) << fen;
        EXPECT_GE(Exchange(pos, e), threshold) << fen << " move " << e.move;
        handed++;
      }
    }
  }
  EXPECT_GT(handed, 20);
}

}  // namespace

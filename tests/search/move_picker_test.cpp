// The staged move picker: every legal move exactly once whatever order the
// stages run in, the hash move first, captures by their exchange value, and
// the quiescence modes' moves.
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

struct Picked {
  std::vector<MoveListEntry> entries;  // in the order handed out
};

// Runs the picker of the thread's ply to its end in a mode. The hash move,
// when given, is set in the ply's record first.
Picked RunPicker(SearchThread* t, uint16_t mode, Move hash_move = kNullMove) {
  PlyRecord& r = t->stack[t->pos.ply];
  int side = t->pos.side;
  r.checker = uint8_t(FindAttacker(&t->pos, t->pos.king_square[side], side ^ 1, Occupancy(&t->pos)));
  r.hash_move = hash_move;
  StartMovePicker(t, mode);
  Picked out;
  MoveListEntry* e;
  while ((e = NextMove(t)) != nullptr) {
    out.entries.push_back(*e);
    if (out.entries.size() > 2 * kMaxMovesPerPly) break;
  }
  return out;
}

bool GivesCheck(Position* pos, Move move) {
  int side = pos->side;
  MakeMove(pos, move);
  bool check = IsSquareAttacked(pos, pos->king_square[side ^ 1], side);
  UnmakeMove(pos);
  return check;
}

int Exchange(const Position* pos, const MoveListEntry& e) {
  return StaticExchange(pos, pos->side, MoveFrom(e.move), MoveTo(e.move));
}

// The legal moves among those handed out, with how often each came.
std::map<Move, int> LegalCounts(Position* pos, const Picked& picked) {
  std::map<Move, int> counts;
  for (const MoveListEntry& e : picked.entries)
    if (IsLegalMove(pos, pos->side, e.move)) counts[e.move]++;
  return counts;
}

TEST(MovePicker, MainSearchHandsOutEveryLegalMoveOnceWithOrWithoutAHashMove) {
  for (const std::string& fen : ManyFens()) {
    ThreadPtr t = MakeThread(fen);
    std::vector<Move> legal = LegalMoves(&t->pos);
    std::sort(legal.begin(), legal.end());
    // No hash move; then each legal move in turn as the hash move (quiet
    // moves, captures and promotions all take the hash stage).
    std::vector<Move> hash_moves = {kNullMove};
    for (size_t i = 0; i < legal.size(); i += 3) hash_moves.push_back(legal[i]);
    for (Move hash : hash_moves) {
      Picked picked = RunPicker(t.get(), kModeMainSearch, hash);
      std::map<Move, int> counts = LegalCounts(&t->pos, picked);
      std::vector<Move> seen;
      for (auto& [move, count] : counts) {
        seen.push_back(move);
        // The move loop skips the hash move's second coming; nothing else
        // may come twice.
        EXPECT_EQ(count, move == hash ? 2 : 1) << fen << " move " << move << " hash " << hash;
      }
      EXPECT_EQ(seen, legal) << fen << " hash " << hash;
      if (hash != kNullMove) {
        ASSERT_FALSE(picked.entries.empty());
        EXPECT_EQ(picked.entries[0].move, hash) << fen;
      }
    }
  }
}

TEST(MovePicker, TheHashMoveComesFirstWithItsMoverAndVictim) {
  ThreadPtr t = MakeThread(kKiwipete);
  // e5xf7: a knight capture; a2a3 a quiet move; e1g1 castling (no victim).
  for (const char* text : {"e5f7", "a2a3", "e1g1"}) {
    Move hash = kNullMove;
    ASSERT_TRUE(ParseMoveText(&t->pos, text, &hash)) << text;
    Picked picked = RunPicker(t.get(), kModeMainSearch, hash);
    ASSERT_FALSE(picked.entries.empty());
    const MoveListEntry& first = picked.entries[0];
    EXPECT_EQ(first.move, hash) << text;
    EXPECT_EQ(first.mover, t->pos.board[MoveFrom(hash)]) << text;
    EXPECT_EQ(first.captured, std::string(text) == "e5f7" ? t->pos.board[MoveTo(hash)] : 0) << text;
  }
}

TEST(MovePicker, CapturesComeByExchangeValue) {
  int losing_seen = 0, even_seen = 0;
  for (const std::string& fen : ManyFens()) {
    ThreadPtr t = MakeThread(fen);
    const Position* pos = &t->pos;
    Picked picked = RunPicker(t.get(), kModeMainSearch);
    // The captures in the order handed out, promotions left aside (they
    // rank by what they take, whatever the exchange).
    std::vector<MoveListEntry> captures;
    for (const MoveListEntry& e : picked.entries) {
      bool promotion = TypeOf(e.mover) == PAWN && (RankOf(MoveTo(e.move)) == 0 || RankOf(MoveTo(e.move)) == 7);
      if (e.captured != 0 && !promotion) captures.push_back(e);
    }
    bool losing_before = false;
    for (size_t i = 0; i < captures.size(); i++) {
      int s = Exchange(pos, captures[i]);
      bool losing = s < -kSeeLossTolerance;
      losing_seen += losing;
      even_seen += !losing && s < kSeeGain;
      // No capture that holds its material after one that loses.
      if (!losing) {
        EXPECT_FALSE(losing_before) << fen << " capture " << i;
      }
      losing_before |= losing;
      for (size_t j = i + 1; j < captures.size(); j++) {
        int later = Exchange(pos, captures[j]);
        int victim = TypeOf(captures[i].captured), later_victim = TypeOf(captures[j].captured);
        // Of two captures of the same kind of man, one that wins comes
        // before one that only breaks even.
        if (victim == later_victim && s >= -kSeeLossTolerance && s < kSeeGain) {
          EXPECT_LT(later, kSeeGain) << fen << " captures " << i << ", " << j;
        }
        // Losing captures: the bigger victim first.
        if (losing && later < -kSeeLossTolerance) {
          EXPECT_GE(kExchangeOrder[victim], kExchangeOrder[later_victim]) << fen << " captures " << i << ", " << j;
        }
      }
    }
  }
  // The positions hold every kind of capture.
  EXPECT_GT(losing_seen, 10);
  EXPECT_GT(even_seen, 10);
}

TEST(MovePicker, QuiescenceHandsOutEachCaptureOnceAndOnlyChecksBeyond) {
  for (const std::string& fen : ManyFens()) {
    ThreadPtr t = MakeThread(fen);
    Position* pos = &t->pos;
    int side = pos->side;
    if (IsSquareAttacked(pos, pos->king_square[side], side ^ 1)) continue;  // quiescence never runs in check
    std::vector<Move> legal_captures;
    for (Move m : LegalMoves(pos)) {
      bool en_passant = TypeOf(pos->board[MoveFrom(m)]) == PAWN && MoveTo(m) == pos->ep_square;
      bool promotion = TypeOf(pos->board[MoveFrom(m)]) == PAWN && (RankOf(MoveTo(m)) == 0 || RankOf(MoveTo(m)) == 7);
      if ((pos->board[MoveTo(m)] != 0 || en_passant) && !promotion) legal_captures.push_back(m);
    }
    std::sort(legal_captures.begin(), legal_captures.end());
    for (uint16_t mode : {kModeQuiescence, kModeQuiescenceChecks}) {
      Picked picked = RunPicker(t.get(), mode);
      std::map<Move, int> counts = LegalCounts(pos, picked);
      std::vector<Move> captures;
      for (auto& [move, count] : counts) {
        EXPECT_EQ(count, 1) << fen << " mode " << mode << " move " << move;
        if (std::binary_search(legal_captures.begin(), legal_captures.end(), move)) captures.push_back(move);
      }
      EXPECT_EQ(captures, legal_captures) << fen << " mode " << mode;
      for (const MoveListEntry& e : picked.entries) {
        bool tactical = e.captured != 0 || TypeOf(e.mover) == PAWN;
        if (tactical || !IsLegalMove(pos, side, e.move)) continue;
        // Beyond captures, promotions and pawn pushes, only quiet checks,
        // and only where the mode asks for them.
        EXPECT_EQ(mode, kModeQuiescenceChecks) << fen;
        EXPECT_TRUE(GivesCheck(pos, e.move)) << fen << " move " << e.move;
      }
    }
  }
}

}  // namespace

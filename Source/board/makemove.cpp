#include "board/makemove.h"

#include "board/attacks.h"
#include "board/movegen.h"
#include "board/position_check.h"
#include "board/zobrist.h"

void (*g_make_move_hook)(Position* pos, Move move) = nullptr;

#ifdef ZORV_CHECK_POSITION
bool PositionChecksCompiled() { return true; }
#else
bool PositionChecksCompiled() { return false; }
#endif

namespace {

inline void MoveMan(Position* pos, int colour, int type, int from, int to) {
  Bitboard both = SquareBit(from) | SquareBit(to);
  pos->board[to] = pos->board[from];
  pos->board[from] = 0;
  pos->pieces[colour][0] ^= both;
  pos->pieces[colour][type] ^= both;
}

// Right index of a castling move of the colour: short for flag 0x40.
inline int CastleRightOf(int colour, Move flags) {
  return (colour == WHITE ? kCastleWhiteShort : kCastleBlackShort) + (flags == kFlagShortCastle ? 0 : 1);
}

}  // namespace

void MakeMove(Position* pos, Move move) {
  if (g_make_move_hook) g_make_move_hook(pos, move);
  int c = pos->side;
  int from = MoveFrom(move), to = MoveTo(move);
  Move flags = MoveFlags(move);
  int mover = pos->board[from];
  int type = TypeOf(mover);
  bool castling = flags && type == KING;

  int h = pos->history_count++;
  pos->ply++;
  int king_to = to;
  Move recorded = move;
  int captured = 0;
  if (castling) {
    king_to = MakeSquare(flags == kFlagShortCastle ? 6 : 2, RankOf(from));
    recorded = MakeMoveWord(from, king_to, flags);
  } else {
    captured = TypeOf(pos->board[to]);
  }
  pos->last_move = recorded;
  UndoRecord* undo = &pos->undo[h];
  undo->key = pos->key;
  undo->pawn_key = pos->pawn_key;
  undo->move = recorded;
  undo->captured = uint8_t(captured);
  undo->ep_square = pos->ep_square;
  undo->touched = pos->touched;
  undo->fifty = pos->fifty;
  undo->castling = pos->castling;
  undo->changed_count = 0;
  auto record_change = [undo](int code, int from_square, int to_square) {
    undo->changed[undo->changed_count++] = ChangedMan{uint8_t(code), uint8_t(from_square), uint8_t(to_square)};
  };

  int old_ep = pos->ep_square;
  int old_castling = pos->castling;
  pos->ep_square = kNoSquare;
  pos->touched |= SquareBit(from) | SquareBit(king_to);
  if (pos->castling) {
    for (int r = 0; r < 4; r++) {
      if (pos->castle_squares[r] & pos->touched) pos->castling &= uint8_t(~(1 << r));
    }
  }
  // The counter is one byte: it stops at 255 rather than wrap to 0 in very
  // long games (it only matters whether it passed 100).
  if (pos->fifty < 255) pos->fifty++;
  pos->side = uint8_t(c ^ 1);

  Key key = pos->key;
  if (old_ep != kNoSquare) key ^= g_zobrist[old_ep];
  if (pos->castling != old_castling) key ^= g_zobrist[old_castling] ^ g_zobrist[pos->castling];

  if (castling) {
    int right = CastleRightOf(c, flags);
    int rook = pos->castle_rook[right];
    int rook_to = flags == kFlagShortCastle ? king_to - 1 : king_to + 1;
    int rook_code = PieceCode(c, ROOK);
    // Lift the rook first so that king and rook may land on each other's squares.
    pos->board[rook] = 0;
    pos->pieces[c][0] ^= SquareBit(rook);
    pos->pieces[c][ROOK] ^= SquareBit(rook);
    if (king_to != from) MoveMan(pos, c, KING, from, king_to);
    pos->board[rook_to] = uint8_t(rook_code);
    pos->pieces[c][0] |= SquareBit(rook_to);
    pos->pieces[c][ROOK] |= SquareBit(rook_to);
    pos->fifty = 0;
    key ^= g_zobrist[mover * 64 + from] ^ g_zobrist[mover * 64 + king_to] ^ g_zobrist[rook_code * 64 + rook] ^
           g_zobrist[rook_code * 64 + rook_to];
    pos->king_square[c] = uint8_t(king_to);
    record_change(mover, from, king_to);
    record_change(rook_code, rook, rook_to);
  } else {
    int victim = pos->board[to];
    if (victim) {
      record_change(victim, to, kNoSquare);
      RemoveMan(pos, to);
      key ^= g_zobrist[victim * 64 + to];
      if (TypeOf(victim) == PAWN) pos->pawn_key ^= g_zobrist[victim * 64 + to];
      pos->fifty = 0;
    }
    if (from != to) MoveMan(pos, c, type, from, to);
    key ^= g_zobrist[mover * 64 + from] ^ g_zobrist[mover * 64 + to];
    bool promotion = type == PAWN && (RankOf(to) == 0 || RankOf(to) == 7);
    if (!promotion) record_change(mover, from, to);
    if (type == KING) pos->king_square[c] = uint8_t(to);
    if (type == PAWN) {
      pos->pawn_key ^= g_zobrist[mover * 64 + from] ^ g_zobrist[mover * 64 + to];
      pos->fifty = 0;
      int push = kPawnPush[c];
      if (to == from + 2 * push) {
        pos->ep_square = uint8_t(from + push);
        key ^= g_zobrist[pos->ep_square];
      } else if (to == old_ep) {
        int victim_sq = to - push;
        int victim_code = pos->board[victim_sq];
        record_change(victim_code, victim_sq, kNoSquare);
        RemoveMan(pos, victim_sq);
        key ^= g_zobrist[victim_code * 64 + victim_sq];
        pos->pawn_key ^= g_zobrist[victim_code * 64 + victim_sq];
      } else if (RankOf(to) == 0 || RankOf(to) == 7) {
        int promoted = PieceCode(c, PromotionType(flags));
        record_change(mover, from, kNoSquare);
        record_change(promoted, kNoSquare, to);
        RemoveMan(pos, to);
        key ^= g_zobrist[mover * 64 + to];
        pos->pawn_key ^= g_zobrist[mover * 64 + to];
        PlaceMan(pos, promoted, to);
        key ^= g_zobrist[promoted * 64 + to];
      }
    }
  }
  pos->key = WithSide(key, pos->side);
}

void UnmakeMove(Position* pos) {
  int h = --pos->history_count;
  pos->ply--;
  const UndoRecord* undo = &pos->undo[h];
  pos->last_move = h > 0 ? pos->undo[h - 1].move : kNullMove;
  pos->touched = undo->touched;
  pos->ep_square = undo->ep_square;
  pos->castling = undo->castling;
  pos->fifty = undo->fifty;
  int c = pos->side ^ 1;
  pos->side = uint8_t(c);
  Move move = undo->move;
  int from = MoveFrom(move), to = MoveTo(move);
  Move flags = MoveFlags(move);
  int type = TypeOf(pos->board[to]);
  if (flags && type == KING) {
    int right = CastleRightOf(c, flags);
    int rook = pos->castle_rook[right];
    int rook_to = flags == kFlagShortCastle ? to - 1 : to + 1;
    int rook_code = PieceCode(c, ROOK);
    pos->board[rook_to] = 0;
    pos->pieces[c][0] ^= SquareBit(rook_to);
    pos->pieces[c][ROOK] ^= SquareBit(rook_to);
    if (from != to) MoveMan(pos, c, KING, to, from);
    pos->board[rook] = uint8_t(rook_code);
    pos->pieces[c][0] |= SquareBit(rook);
    pos->pieces[c][ROOK] |= SquareBit(rook);
    pos->king_square[c] = uint8_t(from);
  } else {
    if (flags) {
      // A promotion: the promoted man goes back as a pawn.
      RemoveMan(pos, to);
      PlaceMan(pos, PieceCode(c, PAWN), from);
    } else if (from != to) {
      MoveMan(pos, c, type, to, from);
      if (type == KING) pos->king_square[c] = uint8_t(from);
    }
    if (undo->captured) PlaceMan(pos, PieceCode(c ^ 1, undo->captured), to);
    if (type == PAWN && to == pos->ep_square)
      PlaceMan(pos, PieceCode(c ^ 1, PAWN), to - kPawnPush[c]);
  }
  pos->key = undo->key;
  pos->pawn_key = undo->pawn_key;
  CheckPositionAfterUnmake(pos);
}

void MakeNullMove(Position* pos) {
  int h = pos->history_count++;
  pos->ply++;
  UndoRecord* undo = &pos->undo[h];
  undo->move = kNullMove;
  undo->captured = 0;
  undo->changed_count = 0;
  undo->ep_square = pos->ep_square;
  undo->fifty = pos->fifty;
  undo->key = pos->key;
  Key key = pos->key;
  if (pos->ep_square != kNoSquare) key ^= g_zobrist[pos->ep_square];
  pos->ep_square = kNoSquare;
  pos->side ^= 1;
  pos->last_move = kNullMove;
  pos->key = WithSide(key, pos->side);
}

void UnmakeNullMove(Position* pos) {
  int h = --pos->history_count;
  pos->ply--;
  const UndoRecord* undo = &pos->undo[h];
  pos->side ^= 1;
  pos->ep_square = undo->ep_square;
  pos->fifty = undo->fifty;
  pos->key = undo->key;
  pos->last_move = h > 0 ? pos->undo[h - 1].move : kNullMove;
  CheckPositionAfterUnmake(pos);
}

bool IsDraw(Position* pos, int ply) {
  if (pos->fifty <= 3) return false;
  if (pos->fifty > 100) {
    if (ply > 0) return true;
    // At the root the fifty-move rule is the driver's business; only a root
    // without a legal move counts as drawn here.
    if (!HasLegalMove(pos)) return true;
  }
  int n = pos->history_count;
  int root = n - ply;
  bool seen = false;
  for (int j = n - 2; j >= 0; j -= 2) {
    if (pos->undo[j].move == kNullMove) return false;
    if (pos->undo[j].key == pos->key) {
      if (j > root) return true;
      if (seen) return true;
      seen = true;
    }
  }
  return false;
}

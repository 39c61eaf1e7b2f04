#include "board/movegen.h"

#include "board/attacks.h"

namespace {

inline MoveListEntry* AddMove(MoveListEntry* out, const Position* pos, int from, int to, Move flags,
                              int captured) {
  out->move = MakeMoveWord(from, to, flags);
  out->score = 0;
  out->mover = pos->board[from];
  out->captured = uint8_t(captured);
  return out + 1;
}

// Moves of one pawn-capture direction: destinations in dests, origin at
// destination - shift.
inline MoveListEntry* AddPawnTargets(MoveListEntry* out, const Position* pos, Bitboard dests, int shift) {
  while (dests) {
    int to = PopLowest(&dests);
    out = AddMove(out, pos, to - shift, to, 0, pos->board[to]);
  }
  return out;
}

inline MoveListEntry* AddPieceMoves(MoveListEntry* out, const Position* pos, int colour, Bitboard targets,
                                    Bitboard occ, bool captures) {
  const Bitboard* own = pos->pieces[colour];
  for (int type = KNIGHT; type <= QUEEN; type++) {
    Bitboard men = own[type];
    while (men) {
      int from = PopLowest(&men);
      Bitboard dests = AttacksOf(type, colour, from, occ) & targets;
      while (dests) {
        int to = PopLowest(&dests);
        out = AddMove(out, pos, from, to, 0, captures ? pos->board[to] : 0);
      }
    }
  }
  return out;
}

constexpr Bitboard kMiddleRanks = ~(kRank1 | kRank8);

}  // namespace

MoveListEntry* GenerateCaptures(const Position* pos, int colour, MoveListEntry* out, int target) {
  Bitboard enemy = pos->pieces[colour ^ 1][0];
  Bitboard targets = target == kNoSquare ? enemy : (enemy & SquareBit(target));
  Bitboard occ = Occupancy(pos);
  Bitboard pawns = pos->pieces[colour][PAWN];
  Bitboard pawn_targets = targets;
  if (pos->ep_square != kNoSquare) pawn_targets |= SquareBit(pos->ep_square);
  pawn_targets &= kMiddleRanks;
  if (colour == WHITE) {
    out = AddPawnTargets(out, pos, (pawns << 7) & ~kFileH & pawn_targets, 7);
    out = AddPawnTargets(out, pos, (pawns << 9) & ~kFileA & pawn_targets, 9);
  } else {
    out = AddPawnTargets(out, pos, (pawns >> 9) & ~kFileH & pawn_targets, -9);
    out = AddPawnTargets(out, pos, (pawns >> 7) & ~kFileA & pawn_targets, -7);
  }
  out = AddPieceMoves(out, pos, colour, targets, occ, true);
  int king = pos->king_square[colour];
  Bitboard dests = KingAttacks(king) & enemy;
  while (dests) {
    int to = PopLowest(&dests);
    out = AddMove(out, pos, king, to, 0, pos->board[to]);
  }
  return out;
}

MoveListEntry* GeneratePromotions(const Position* pos, int colour, int all, MoveListEntry* out) {
  static const Move kAllFlags[4] = {kFlagQueen, kFlagKnight, kFlagBishop, kFlagRook};
  int count = all ? 4 : 1;
  Bitboard pawns = pos->pieces[colour][PAWN] & RelativeRankMask(colour, 6);
  Bitboard enemy = pos->pieces[colour ^ 1][0];
  Bitboard occ = Occupancy(pos);
  int push = kPawnPush[colour];
  while (pawns) {
    int from = PopLowest(&pawns);
    int to = from + push;
    if (!(occ & SquareBit(to))) {
      for (int i = 0; i < count; i++) out = AddMove(out, pos, from, to, kAllFlags[i], 0);
    }
    if (FileOf(from) > 0 && (enemy & SquareBit(to - 1))) {
      for (int i = 0; i < count; i++) out = AddMove(out, pos, from, to - 1, kAllFlags[i], pos->board[to - 1]);
    }
    if (FileOf(from) < 7 && (enemy & SquareBit(to + 1))) {
      for (int i = 0; i < count; i++) out = AddMove(out, pos, from, to + 1, kAllFlags[i], pos->board[to + 1]);
    }
  }
  return out;
}

MoveListEntry* GenerateSeventhRankPushes(const Position* pos, int colour, MoveListEntry* out) {
  Bitboard empty = ~Occupancy(pos);
  Bitboard pawns = pos->pieces[colour][PAWN];
  Bitboard dests = colour == WHITE ? (pawns << 8) & empty & RankMask(6) : (pawns >> 8) & empty & RankMask(1);
  return AddPawnTargets(out, pos, dests, kPawnPush[colour]);
}

MoveListEntry* GenerateQuiets(const Position* pos, int colour, MoveListEntry* out, int target) {
  Bitboard occ = Occupancy(pos);
  Bitboard empty = ~occ;
  int king = pos->king_square[colour];
  Bitboard targets = target == kNoSquare ? empty : (empty & Between(target, king));
  Bitboard pawns = pos->pieces[colour][PAWN];
  constexpr Bitboard kRanks3To6 = RankMask(2) | RankMask(3) | RankMask(4) | RankMask(5);
  if (colour == WHITE) {
    Bitboard single = (pawns << 8) & empty;
    out = AddPawnTargets(out, pos, single & targets & kRanks3To6, 8);
    out = AddPawnTargets(out, pos, ((single & RankMask(2)) << 8) & targets & RankMask(3), 16);
  } else {
    Bitboard single = (pawns >> 8) & empty;
    out = AddPawnTargets(out, pos, single & targets & kRanks3To6, -8);
    out = AddPawnTargets(out, pos, ((single & RankMask(5)) >> 8) & targets & RankMask(4), -16);
  }
  out = AddPieceMoves(out, pos, colour, targets, occ, false);
  Bitboard dests = KingAttacks(king) & empty;
  while (dests) out = AddMove(out, pos, king, PopLowest(&dests), 0, 0);
  int short_right = colour == WHITE ? kCastleWhiteShort : kCastleBlackShort;
  for (int right = short_right; right <= short_right + 1; right++) {
    if ((pos->castling & (1 << right)) && !(pos->castle_empty[right] & occ)) {
      bool is_short = right == short_right;
      int to = MakeSquare(is_short ? 6 : 2, RankOf(king));
      out = AddMove(out, pos, king, to, is_short ? kFlagShortCastle : kFlagLongCastle, 0);
    }
  }
  return out;
}

MoveListEntry* GenerateAllMoves(const Position* pos, MoveListEntry* out) {
  int side = pos->side;
  out = GenerateCaptures(pos, side, out, kNoSquare);
  out = GeneratePromotions(pos, side, 1, out);
  out = GenerateSeventhRankPushes(pos, side, out);
  out = GenerateQuiets(pos, side, out, kNoSquare);
  out->move = kListEnd;
  return out;
}

uint8_t ClassifyMove(Position* pos, int colour, const MoveListEntry* entry) {
  Move move = entry->move;
  int from = MoveFrom(move), to = MoveTo(move);
  Move flags = MoveFlags(move);
  int type = TypeOf(entry->mover);
  uint8_t bits = 0;
  if (from != to) {
    int placed = (type == PAWN && flags) ? PromotionType(flags) : type;
    Bitboard occ = (Occupancy(pos) & ~SquareBit(from)) | SquareBit(to);
    Bitboard saved = pos->pieces[colour][placed];
    pos->pieces[colour][placed] |= SquareBit(to);
    if (FindAttacker(pos, pos->king_square[colour ^ 1], colour, occ) != kNoSquare) bits |= kClassCheck;
    pos->pieces[colour][placed] = saved;
  }
  if (entry->captured != 0 || (type == PAWN && to == pos->ep_square)) bits |= kClassCapture;
  if (type != PAWN) return bits;
  int rank = RelativeRank(colour, RankOf(to));
  if (flags == kFlagQueen) {
    bits |= kClassQueenPromotion | kClassDangerous;
  } else if (rank == 6) {
    bits |= kClassSeventh | kClassDangerous;
  } else if (rank == 7) {
    bits |= kClassDangerous;
  } else if (rank == 5) {
    int front = to + kPawnPush[colour];
    if (!(Occupancy(pos) & SquareBit(front)) && !(PassedSpan(colour, to) & pos->pieces[colour ^ 1][PAWN]))
      bits |= kClassDangerous;
  }
  return bits;
}

namespace {

// True if a man of the colour among those in mask attacks sq, with occ
// deciding blocking.
inline bool AttackedByMasked(const Position* pos, int sq, int colour, Bitboard occ, Bitboard mask) {
  const Bitboard* them = pos->pieces[colour];
  if ((them[PAWN] & PawnAttacks(colour ^ 1, sq)) & mask) return true;
  if ((them[KNIGHT] & KnightAttacks(sq)) & mask) return true;
  if ((them[KING] & KingAttacks(sq)) & mask) return true;
  Bitboard diagonal = (them[BISHOP] | them[QUEEN]) & mask & g_attacks.bishop_rays[sq];
  if (diagonal && (diagonal & BishopAttacks(sq, occ))) return true;
  Bitboard straight = (them[ROOK] | them[QUEEN]) & mask & g_attacks.rook_rays[sq];
  return straight && (straight & RookAttacks(sq, occ));
}

}  // namespace

bool IsLegalMove(const Position* pos, int colour, Move move) {
  if (move == kNullMove) return false;
  int from = MoveFrom(move), to = MoveTo(move);
  int mover = pos->board[from];
  int enemy = colour ^ 1;
  Bitboard occ = Occupancy(pos);
  if (MoveFlags(move) && TypeOf(mover) == KING) {
    // The king may not start, pass or end on an attacked square.
    int step = to > from ? 1 : -1;
    for (int sq = from;; sq += step) {
      if (AttackedByMasked(pos, sq, enemy, occ, occ)) return false;
      if (sq == to) break;
    }
    // In Chess960 the castling rook may have shielded the king's destination
    // (king d1, rook b1, enemy rook a1): test it again with the men where
    // they stand after castling.
    bool is_short = MoveFlags(move) == kFlagShortCastle;
    int right = (colour == WHITE ? 0 : 2) + (is_short ? 0 : 1);
    int rook = pos->castle_rook[right];
    if (rook == kNoSquare) return false;
    int king_to = MakeSquare(is_short ? 6 : 2, RankOf(from));
    int rook_to = king_to + (is_short ? -1 : 1);
    Bitboard after = (occ & ~SquareBit(from) & ~SquareBit(rook)) | SquareBit(king_to) | SquareBit(rook_to);
    return !AttackedByMasked(pos, king_to, enemy, after, pos->pieces[enemy][0]);
  }
  int king = TypeOf(mover) == KING ? to : pos->king_square[colour];
  Bitboard removed = SquareBit(to);
  Bitboard after = (occ & ~SquareBit(from)) | SquareBit(to);
  if (TypeOf(mover) == PAWN && to == pos->ep_square && pos->ep_square != kNoSquare) {
    Bitboard victim = SquareBit(to - kPawnPush[colour]);
    after &= ~victim;
    removed |= victim;
  }
  return !AttackedByMasked(pos, king, enemy, after, pos->pieces[enemy][0] & ~removed);
}

Move MatchLegalMove(Position* pos, Move move) {
  MoveList list;
  MoveListEntry* start = list.entry;
  MoveListEntry* end = GenerateAllMoves(pos, start);
  int mover = pos->board[MoveFrom(move)];
  bool castling = TypeOf(mover) == KING && MoveFlags(move) != 0;
  for (MoveListEntry* e = start; e != end; e++) {
    bool same = castling ? (MoveFrom(e->move) == MoveFrom(move) && MoveFlags(e->move) == MoveFlags(move))
                         : e->move == move;
    if (same && IsLegalMove(pos, pos->side, e->move)) return e->move;
  }
  return kNullMove;
}

bool HasLegalMove(Position* pos) {
  MoveList list;
  MoveListEntry* end = GenerateAllMoves(pos, list.entry);
  for (MoveListEntry* e = list.entry; e != end; e++) {
    if (IsLegalMove(pos, pos->side, e->move)) return true;
  }
  return false;
}

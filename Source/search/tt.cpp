#include "search/tt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <unistd.h>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/zobrist.h"
#include "search/search_control.h"
#include "search/search_thread.h"

TranspositionTable g_tt;

namespace {

// The check word: the key's low bits folded with every other field, so an
// entry torn by a concurrent store (one word old, one new) fails it.
inline uint16_t CheckWord(Key key, const HashEntry& e) {
  uint64_t data;
  std::memcpy(&data, reinterpret_cast<const char*>(&e) + 8, sizeof data);
  uint64_t mixed = key ^ e.move ^ data ^ (data >> 16) ^ (data >> 32) ^ (data >> 48);
  return uint16_t(mixed);
}

// Threads read and write entries without a lock, as two relaxed 64-bit
// words.
inline HashEntry LoadEntry(const HashEntry* slot) {
  const uint64_t* words = reinterpret_cast<const uint64_t*>(slot);
  uint64_t w[2] = {__atomic_load_n(&words[0], __ATOMIC_RELAXED), __atomic_load_n(&words[1], __ATOMIC_RELAXED)};
  HashEntry e;
  std::memcpy(&e, w, sizeof e);
  return e;
}
inline void StoreEntry(HashEntry* slot, const HashEntry& e) {
  uint64_t w[2];
  std::memcpy(w, &e, sizeof e);
  uint64_t* words = reinterpret_cast<uint64_t*>(slot);
  __atomic_store_n(&words[0], w[0], __ATOMIC_RELAXED);
  __atomic_store_n(&words[1], w[1], __ATOMIC_RELAXED);
}

constexpr int kGenerations = 32;
inline int GenerationOf(const HashEntry& e) { return e.flags >> 3; }
inline int BoundOf(const HashEntry& e) { return e.flags & 3; }
// How many searches ago the entry was written (generations wrap at 32).
inline int AgeOf(const HashEntry& e, int generation) {
  return (generation - GenerationOf(e) + kGenerations) % kGenerations;
}
inline int CurrentGeneration() { return g_control.hash_generation & (kGenerations - 1); }

}  // namespace

void FreeHashTable() {
  std::free(g_tt.buckets);
  g_tt.buckets = nullptr;
  g_tt.bucket_count = 0;
  g_tt.megabytes = 0;
  g_tt.enabled = false;
}

namespace {

// Bytes of memory the machine has; 0 when unknown.
uint64_t PhysicalMemory() {
  long pages = sysconf(_SC_PHYS_PAGES), page_size = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && page_size > 0 ? uint64_t(pages) * uint64_t(page_size) : 0;
}

// Memory the system can give without swapping (MemAvailable), or 0 when
// it does not say.
uint64_t AvailableMemory() {
  FILE* file = std::fopen("/proc/meminfo", "r");
  if (file == nullptr) return 0;
  char line[256];
  unsigned long long kib = 0;
  bool found = false;
  while (!found && std::fgets(line, sizeof line, file) != nullptr)
    found = std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
  std::fclose(file);
  return found ? uint64_t(kib) * 1024 : 0;
}

}  // namespace

bool AllocateHashTable(int megabytes, int workers) {
  int mb = megabytes;
  uint64_t count = uint64_t(mb) * (1024 * 1024 / sizeof(HashBucket));
  // A table of 0 MB still holds one bucket, always empty.
  uint64_t bytes = (count > 0 ? count : 1) * sizeof(HashBucket);
  // A table larger than the machine's memory would be granted by the system
  // and then end the process when clearing touches it: treat it as the
  // allocation failure it is, before the present table is given up.
  uint64_t physical = PhysicalMemory();
  if (physical != 0 && bytes > physical) return false;
  // Nor may it take more than the memory free for it (what is available now
  // and the present table, which goes first), less a tenth for the rest of
  // the machine: a table that has to be swapped in while it is cleared
  // takes minutes, and the engine answers nothing meanwhile.
  uint64_t available = AvailableMemory();
  uint64_t present = g_tt.buckets != nullptr ? g_tt.bucket_count * sizeof(HashBucket) : 0;
  if (available != 0 && bytes > (available + present) / 10 * 9) return false;
  if (g_tt.buckets != nullptr) FreeHashTable();
  else InitZobristKeys();
  void* memory = std::aligned_alloc(sizeof(HashBucket), size_t(bytes));
  if (memory == nullptr) return false;
  g_tt.buckets = static_cast<HashBucket*>(memory);
  g_tt.bucket_count = count > 0 ? count : 1;
  g_tt.megabytes = mb;
  g_tt.enabled = mb > 0;
  ClearHashTable(workers);
  return true;
}

void ClearHashTable(int workers) {
  if (g_tt.buckets == nullptr) return;
  size_t total = size_t(g_tt.bucket_count);
  if (workers < 1) workers = 1;
  if (size_t(workers) > total / 4096 + 1) workers = int(total / 4096 + 1);
  std::vector<std::thread> pool;
  size_t slice = total / size_t(workers);
  auto clear = [](size_t begin, size_t end) { std::memset(&g_tt.buckets[begin], 0, (end - begin) * sizeof(HashBucket)); };
  // The slices of workers that cannot be started are cleared here.
  size_t left_from = total;
  for (int i = 0; i < workers; i++) {
    size_t begin = slice * size_t(i);
    size_t end = i == workers - 1 ? total : begin + slice;
    try {
      pool.emplace_back(clear, begin, end);
    } catch (...) {
      left_from = begin;
      break;
    }
  }
  if (left_from < total) clear(left_from, total);
  for (auto& t : pool) t.join();
  g_control.hash_fill = 0;
}

bool HashMoveIsPlausible(const Position* pos, Move move) {
  int from = MoveFrom(move), to = MoveTo(move);
  int side = pos->side;
  int mover = pos->board[from];
  if (from == to || mover == 0 || ColourOf(mover) != side) return false;
  int target = pos->board[to];
  if (target != 0 && (ColourOf(target) == side || TypeOf(target) == KING)) return false;
  int type = TypeOf(mover);
  Move flags = MoveFlags(move);
  Bitboard occ = Occupancy(pos);
  if (flags) {
    if (type == KING) {
      if (KingAttacks(from) & SquareBit(to)) {
        // An ordinary king step carrying a castling flag cannot be made.
        return false;
      }
      int home = side == WHITE ? 0 : 7;
      if (RankOf(to) != home || RankOf(from) != home) return false;
      int right = (side == WHITE ? kCastleWhiteShort : kCastleBlackShort) + (flags == kFlagShortCastle ? 0 : 1);
      if (!(pos->castling & (1 << right))) return false;
      if (to != MakeSquare(flags == kFlagShortCastle ? 6 : 2, home)) return false;
      if (pos->castle_empty[right] & occ) return false;
      return IsLegalMove(pos, side, move);
    }
    if (type != PAWN) return false;
  } else if (type != PAWN) {
    if (!(AttacksOf(type, side, from, occ) & SquareBit(to))) return false;
    return IsLegalMove(pos, side, move);
  }
  // Pawn moves.
  int last_rank = side == WHITE ? 7 : 0;
  bool promotes = RankOf(to) == last_rank;
  if (promotes != (flags != 0)) return false;
  int push = kPawnPush[side];
  if (PawnAttacks(side, from) & SquareBit(to)) {
    if (target != 0) return IsLegalMove(pos, side, move);
    if (to == pos->ep_square && pos->board[to - push] == PieceCode(side ^ 1, PAWN)) return IsLegalMove(pos, side, move);
    return false;
  }
  if (target != 0) return false;
  if (to == from + push) return IsLegalMove(pos, side, move);
  int start_rank = side == WHITE ? 1 : 6;
  if (to == from + 2 * push && RankOf(from) == start_rank && pos->board[from + push] == 0)
    return IsLegalMove(pos, side, move);
  return false;
}

TableHit ProbeHashTable(const Position* pos) {
  TableHit hit;
  Key key = pos->key;
  const HashEntry* bucket = BucketOf(key)->entry;
  uint32_t lock = uint32_t(key >> 32);
  for (int i = 0; i < kBucketEntries; i++) {
    HashEntry e = LoadEntry(&bucket[i]);
    if (e.lock != lock || e.depth == 0) continue;
    if (e.check != CheckWord(key, e)) return hit;
    hit.found = true;
    hit.move = e.move != 0 && HashMoveIsPlausible(pos, e.move) ? e.move : Move(0);
    hit.score = e.score;
    hit.eval = e.eval;
    hit.depth = e.depth - kDepthOffset;
    hit.bound = BoundOf(e);
    hit.pv = (e.flags & 4) != 0;
    hit.fifty = e.fifty;
    return hit;
  }
  return hit;
}

namespace {

void StoreEntryOf(const Position* pos, int ply, int depth, Move move, int score, int bound, int eval, bool pv) {
  Key key = pos->key;
  HashEntry* bucket = BucketOf(key)->entry;
  uint32_t lock = uint32_t(key >> 32);
  int generation = CurrentGeneration();
  if (depth < 1 - kDepthOffset) depth = 1 - kDepthOffset;
  if (depth > 127 - kDepthOffset) depth = 127 - kDepthOffset;
  HashEntry current[kBucketEntries];
  for (int i = 0; i < kBucketEntries; i++) current[i] = LoadEntry(&bucket[i]);
  int slot = -1;
  for (int i = 0; i < kBucketEntries; i++) {
    if (current[i].lock == lock && current[i].depth != 0 && current[i].check == CheckWord(key, current[i])) {
      slot = i;
      break;
    }
  }
  if (slot >= 0) {
    const HashEntry& old = current[slot];
    // A much deeper result of this search stays unless the new one is
    // exact: a shallow bound tells less than the deep one it would replace.
    if (bound == kBoundNone && old.depth != 0) return;
    if (bound != kBoundExact && old.depth - kDepthOffset > depth + 3 && AgeOf(old, generation) == 0) return;
    if (move == 0) move = old.move;
    if (eval == kNoEval) eval = old.eval;
  } else {
    // The least valuable entry goes: an empty one, else the shallowest,
    // where every search's age counts as eight plies of depth.
    slot = 0;
    int worst = 1 << 30;
    for (int i = 0; i < kBucketEntries; i++) {
      int value = current[i].depth == 0 ? -(1 << 20) : current[i].depth - 8 * AgeOf(current[i], generation);
      if (value < worst) {
        worst = value;
        slot = i;
      }
    }
  }
  HashEntry e;
  e.lock = lock;
  e.move = move;
  e.score = int16_t(ScoreToTable(score, ply));
  e.eval = int16_t(eval);
  e.depth = int8_t(depth + kDepthOffset);
  e.flags = uint8_t(bound | (pv ? 4 : 0) | (generation << 3));
  e.fifty = pos->fifty;
  e.unused = 0;
  e.check = CheckWord(key, e);
  StoreEntry(&bucket[slot], e);
}

}  // namespace

void StoreHashTable(const Position* pos, int ply, int depth, Move move, int score, int alpha, int beta, int eval,
                    bool pv) {
  if (!g_tt.enabled) return;
  int bound = score <= alpha ? kBoundUpper : score >= beta ? kBoundLower : kBoundExact;
  StoreEntryOf(pos, ply, depth, move, score, bound, eval, pv);
}

void StoreEvaluation(const Position* pos, int eval, bool pv) {
  if (!g_tt.enabled) return;
  StoreEntryOf(pos, 0, 1 - kDepthOffset, 0, 0, kBoundNone, eval, pv);
}

// Permille of the first 1000 entries written by the current search.
int HashFull() {
  if (g_tt.bucket_count < 250) return 0;
  int generation = CurrentGeneration();
  int n = 0;
  for (uint64_t b = 0; b < 250; b++)
    for (int i = 0; i < kBucketEntries; i++) {
      HashEntry e = LoadEntry(&g_tt.buckets[b].entry[i]);
      n += e.depth != 0 && GenerationOf(e) == generation;
    }
  return n;
}

void CompletePvFromTable(Position* pos, Move* pv, int ply) {
  if (!g_tt.enabled) return;
  int made = 0;
  int p = ply;
  while (p < 66 && pv[p] == 0) {
    TableHit e = ProbeHashTable(pos);
    if (!e.found || e.move == 0) break;
    if (IsDraw(pos, made)) break;
    if (!IsLegalMove(pos, pos->side, e.move)) break;
    pv[p] = e.move;
    pv[p + 1] = 0;
    MakeMove(pos, e.move);
    made++;
    p++;
  }
  while (made-- > 0) UnmakeMove(pos);
}

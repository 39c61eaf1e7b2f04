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

inline uint32_t CheckWord(Key key, Move move, int score) {
  return uint32_t((uint64_t(move) << 16) ^ key ^ uint64_t(int64_t(score) + 15000));
}

// Threads read and write entries without a lock, as two relaxed 64-bit
// words (lock and check first); a torn entry fails its check word.
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

}  // namespace

void FreeHashTable() {
  std::free(g_tt.entries);
  g_tt.entries = nullptr;
  g_tt.count = 0;
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
  uint64_t count = uint64_t(mb) * 65536;
  uint64_t bytes = (count + 16) * sizeof(HashEntry);
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
  uint64_t present = g_tt.entries != nullptr ? (uint64_t(g_tt.count) + 16) * sizeof(HashEntry) : 0;
  if (available != 0 && bytes > (available + present) / 10 * 9) return false;
  if (g_tt.entries != nullptr) FreeHashTable();
  else InitZobristKeys();
  void* memory = std::malloc(size_t(bytes));
  if (memory == nullptr) return false;
  g_tt.entries = static_cast<HashEntry*>(memory);
  g_tt.count = uint32_t(count);
  g_tt.megabytes = mb;
  g_tt.enabled = mb > 0;
  // A table of 0 MB still holds the 16 spare entries, all empty.
  ClearHashTable(workers);
  return true;
}

void ClearHashTable(int workers) {
  if (g_tt.entries == nullptr) return;
  size_t total = size_t(g_tt.count) + 16;
  if (workers < 1) workers = 1;
  if (size_t(workers) > total / 4096 + 1) workers = int(total / 4096 + 1);
  std::vector<std::thread> pool;
  size_t slice = total / size_t(workers);
  try {
    for (int i = 0; i < workers; i++) {
      size_t begin = slice * size_t(i);
      size_t end = i == workers - 1 ? total : begin + slice;
      pool.emplace_back([begin, end] { std::memset(&g_tt.entries[begin], 0, (end - begin) * sizeof(HashEntry)); });
    }
    for (auto& t : pool) t.join();
  } catch (...) {
    std::exit(-1);
  }
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

HashEntry ProbeHashTable(const Position* pos) {
  HashEntry miss{};
  miss.depth = -1;
  Key key = pos->key;
  const HashEntry* bucket = &g_tt.entries[key % g_tt.count];
  uint32_t lock = uint32_t(key >> 32);
  for (int i = 0; i < 4; i++) {
    HashEntry e = LoadEntry(&bucket[i]);
    if (e.lock != lock) continue;
    if (e.check != CheckWord(key, e.move, e.score)) return miss;
    if (e.move != 0 && !HashMoveIsPlausible(pos, e.move)) return miss;
    return e;
  }
  return miss;
}

void StoreHashTable(const Position* pos, int ply, int depth, Move move, int score, int alpha, int beta) {
  if (!g_tt.enabled) return;
  uint8_t bound = score <= alpha ? kBoundUpper : score >= beta ? kBoundLower : kBoundExact;
  int stored = ScoreToTable(score, ply);
  Key key = pos->key;
  HashEntry* bucket = &g_tt.entries[key % g_tt.count];
  uint32_t lock = uint32_t(key >> 32);
  uint8_t generation = uint8_t(g_control.hash_generation);
  HashEntry current[4];
  for (int i = 0; i < 4; i++) current[i] = LoadEntry(&bucket[i]);
  int slot = -1;
  for (int i = 0; i < 4; i++) {
    if (current[i].lock == lock) {
      if (current[i].depth - 3 > depth && current[i].bound != kBoundUpper) return;
      slot = i;
      break;
    }
  }
  if (slot < 0) {
    for (int i = 0; i < 4; i++) {
      if (current[i].age != generation) {
        slot = i;
        break;
      }
    }
  }
  if (slot < 0) {
    slot = 0;
    for (int i = 1; i < 4; i++)
      if (current[i].depth < current[slot].depth) slot = i;
    if (current[slot].depth - 7 > depth) return;
  }
  HashEntry e;
  e.lock = lock;
  e.check = CheckWord(key, move, int16_t(stored));
  e.move = move;
  e.score = int16_t(stored);
  e.depth = int8_t(depth);
  e.bound = bound;
  e.age = generation;
  e.fifty = pos->fifty;
  StoreEntry(&bucket[slot], e);
}

int HashFull() {
  if (g_tt.count <= 2999) return 0;
  uint32_t start = g_tt.count / 2 - 500;
  int n = 0;
  for (uint32_t i = start; i < start + 1000; i++) n += LoadEntry(&g_tt.entries[i]).age == uint8_t(g_control.hash_generation);
  return n;
}

void CompletePvFromTable(Position* pos, Move* pv, int ply) {
  if (!g_tt.enabled) return;
  int made = 0;
  int p = ply;
  while (p < 66 && pv[p] == 0) {
    HashEntry e = ProbeHashTable(pos);
    if (e.depth < 0 || e.move == 0) break;
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

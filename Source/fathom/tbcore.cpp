#include "fathom/tbcore.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fathom/tb_decode.h"
#include "fathom/tb_index.h"
#include "fathom/tb_table.h"
#include "platform/file_map.h"

namespace {

// A registered table and, once prepared, its mapped WDL file.
struct TbTable {
  TbMaterial material;
  std::atomic<bool> ready{false};
  MappedFile file;
  std::unique_ptr<TableCode> code;
};

struct HashSlot {
  Key key;
  TbTable* table;
};

// A DTZ table in the cache; code is null when its file is missing or corrupt.
struct DtzCacheEntry {
  Key key = 0, key2 = 0;
  MappedFile file;
  std::unique_ptr<TableCode> code;
  const TbTable* table = nullptr;
};

struct TablebaseState {
  std::vector<std::string> directories;
  TbTable piece_tables[kTbMaxPieceTables];
  TbTable pawn_tables[kTbMaxPawnTables];
  int piece_count = 0;
  int pawn_count = 0;
  int largest = 0;
  HashSlot hash[1 << kTbHashBits][kTbHashSlots];
  DtzCacheEntry dtz_cache[kTbDtzCacheSize];  // most recently used first
  int dtz_count = 0;
  // Problems with table files not yet taken by TbTakeProblems, one line
  // each; lines that find the buffer full are dropped. A probe notes them
  // here rather than printing: the driver says them.
  char problems[kTbProblemBytes];
  int problems_length = 0;
  // Serialises the first use of each table, every DTZ read and the
  // problem lines.
  std::mutex lock;
};

TablebaseState g_tb;

constexpr const char* kPieceLetters = "QRBNP";
constexpr int kLetterType[5] = {QUEEN, ROOK, BISHOP, KNIGHT, PAWN};

// Adds a line to the problems. Called under the lock, or while no probe can
// run (initialisation); never allocates, since probes run in the search.
void NoteProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));
void NoteProblem(const char* format, ...) {
  char line[kTbProblemBytes];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (length < 0 || g_tb.problems_length + length + 1 >= kTbProblemBytes) return;
  std::memcpy(g_tb.problems + g_tb.problems_length, line, size_t(length));
  g_tb.problems_length += length;
  g_tb.problems[g_tb.problems_length++] = '\n';
}

void Release(MappedFile* file) {
  if (file->data == nullptr) return;
  int error = UnmapFile(file);
  if (error != 0) NoteProblem("unmap failed, error code %d", error);
}

void ReleaseAll() {
  for (int i = 0; i < g_tb.piece_count; i++) {
    TbTable& t = g_tb.piece_tables[i];
    Release(&t.file);
    t.code.reset();
    t.ready.store(false, std::memory_order_relaxed);
  }
  for (int i = 0; i < g_tb.pawn_count; i++) {
    TbTable& t = g_tb.pawn_tables[i];
    Release(&t.file);
    t.code.reset();
    t.ready.store(false, std::memory_order_relaxed);
  }
  for (int i = 0; i < g_tb.dtz_count; i++) {
    DtzCacheEntry& e = g_tb.dtz_cache[i];
    Release(&e.file);
    e.code.reset();
    e.table = nullptr;
  }
  g_tb.dtz_count = 0;
  g_tb.piece_count = g_tb.pawn_count = 0;
  g_tb.largest = 0;
  g_tb.directories.clear();
  std::memset(g_tb.hash, 0, sizeof(g_tb.hash));
}

}  // namespace

void TbMaterialFromName(const char* name, TbMaterial* m) {
  std::memset(m, 0, sizeof(*m));
  std::snprintf(m->name, sizeof(m->name), "%s", name);
  int side = -1;
  for (const char* p = name; *p; p++) {
    if (*p == 'K') {
      side++;
      m->men++;
      continue;
    }
    const char* letter = std::strchr(kPieceLetters, *p);
    if (letter == nullptr || *p == 0 || side < 0) continue;
    m->counts[side][kLetterType[letter - kPieceLetters]]++;
    m->men++;
  }
  m->has_pawns = m->counts[0][PAWN] + m->counts[1][PAWN] > 0;
  m->pawns_on_both_sides = m->counts[0][PAWN] > 0 && m->counts[1][PAWN] > 0;
  m->symmetric = std::memcmp(m->counts[0], m->counts[1], sizeof(m->counts[0])) == 0;
  for (int s = 0; s < 2; s++) {
    for (int type = PAWN; type <= QUEEN; type++) {
      if (m->counts[s][type] == 1) m->has_unique_pieces = true;
    }
  }
  m->key = MaterialKeyOfCounts(m->counts[0], m->counts[1]);
  m->key2 = MaterialKeyOfCounts(m->counts[1], m->counts[0]);
}

namespace {

// False when the key's bucket is full.
bool AddToHash(Key key, TbTable* table) {
  HashSlot* bucket = g_tb.hash[key >> (64 - kTbHashBits)];
  for (int i = 0; i < kTbHashSlots; i++) {
    if (bucket[i].table == nullptr) {
      bucket[i].key = key;
      bucket[i].table = table;
      return true;
    }
  }
  return false;
}

TbTable* FindTable(Key key) {
  const HashSlot* bucket = g_tb.hash[key >> (64 - kTbHashBits)];
  for (int i = 0; i < kTbHashSlots && bucket[i].table != nullptr; i++) {
    if (bucket[i].key == key) return bucket[i].table;
  }
  return nullptr;
}

// False when the registry has no room left for the table.
bool RegisterTable(const char* name) {
  TbMaterial material;
  TbMaterialFromName(name, &material);
  TbTable* table;
  if (material.has_pawns) {
    if (g_tb.pawn_count == kTbMaxPawnTables) return false;
    table = &g_tb.pawn_tables[g_tb.pawn_count++];
  } else {
    if (g_tb.piece_count == kTbMaxPieceTables) return false;
    table = &g_tb.piece_tables[g_tb.piece_count++];
  }
  table->material = material;
  table->ready.store(false, std::memory_order_relaxed);
  g_tb.largest = std::max(g_tb.largest, int(material.men));
  if (!AddToHash(material.key, table)) return false;
  return material.key2 == material.key || AddToHash(material.key2, table);
}

// Full file name in a directory, whatever its length (the system refuses
// one it cannot open).
std::string TablePath(const std::string& dir, const char* name, const char* ext) { return dir + "/" + name + ext; }

bool TableFileExists(const char* name) {
  for (const std::string& dir : g_tb.directories) {
    if (FileIsReadable(TablePath(dir, name, ".rtbw").c_str())) return true;
  }
  return false;
}

// Every material of up to six men, each side's letters strongest first and
// the stronger side on the left, by the file name patterns K%cvK,
// K%cvK%c, K%c%cvK, K%c%cvK%c, K%c%c%cvK, K%c%cvK%c%c, K%c%c%cvK%c,
// K%c%c%c%cvK. With equal numbers of men the left side's letters come first
// in "QRBNP" order. Stops, returning false, when visit returns false.
bool ForEachTableName(bool (*visit)(const char* name)) {
  static const int kShapes[8][2] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {2, 2}, {3, 1}, {4, 0}};
  for (const auto& shape : kShapes) {
    int left = shape[0], right = shape[1];
    int digits[8] = {};  // letter indices, left side then right side
    for (;;) {
      bool valid = true;
      for (int i = 1; i < left; i++) valid &= digits[i] >= digits[i - 1];
      for (int i = 1; i < right; i++) valid &= digits[left + i] >= digits[left + i - 1];
      if (valid && left == right) {
        valid = !std::lexicographical_compare(digits + left, digits + 2 * left, digits, digits + left);
      }
      if (valid) {
        char name[16];
        int n = 0;
        name[n++] = 'K';
        for (int i = 0; i < left; i++) name[n++] = kPieceLetters[digits[i]];
        name[n++] = 'v';
        name[n++] = 'K';
        for (int i = 0; i < right; i++) name[n++] = kPieceLetters[digits[left + i]];
        name[n] = 0;
        if (!visit(name)) return false;
      }
      // Next combination, the last letter counting fastest.
      int i = left + right - 1;
      while (i >= 0 && digits[i] == 4) digits[i--] = 0;
      if (i < 0) break;
      digits[i]++;
    }
  }
  return true;
}

// Maps a table file from the first directory that has it as a regular file
// (a directory or FIFO of that name is passed over). A file that cannot be
// mapped is reported and treated as a table that is not there: the probe
// fails and the search goes on.
MapStatus MapTableFile(const char* name, const char* ext, MappedFile* file) {
  for (const std::string& dir : g_tb.directories) {
    const std::string path = TablePath(dir, name, ext);
    int error = 0;
    MapStatus status = MapFileReadOnly(path.c_str(), file, &error);
    if (status == MapStatus::kMissing || status == MapStatus::kNotRegular) continue;
    if (status == MapStatus::kStatFailed) {
      NoteProblem("CreateFileMapping() failed.");
      return MapStatus::kMissing;
    }
    if (status == MapStatus::kMapFailed) {
      NoteProblem("MapViewOfFile() failed, name = %s%s, error = %lu.", name, ext, (unsigned long)error);
      return MapStatus::kMissing;
    }
    return status;
  }
  return MapStatus::kMissing;
}

inline uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Maps and reads a table file; on failure nothing stays mapped.
// A file that is empty, has the wrong magic or does not hold a table of
// this material is reported as corrupted.
bool OpenTableFile(const TbMaterial& material, TbKind kind, MappedFile* file, std::unique_ptr<TableCode>* code) {
  const char* ext = kind == TbKind::kWdl ? ".rtbw" : ".rtbz";
  MapStatus status = MapTableFile(material.name, ext, file);
  if (status == MapStatus::kMissing) {
    if (kind == TbKind::kWdl) NoteProblem("Could not find %s.rtbw", material.name);
    return false;
  }
  uint32_t magic = kind == TbKind::kWdl ? kWdlMagic : kDtzMagic;
  bool good = status == MapStatus::kOk && file->size >= 4 && ReadLe32(file->data) == magic;
  if (good) {
    code->reset(new TableCode());
    good = ParseTable(file->data, file->size, material, kind, code->get());
  }
  if (!good) {
    NoteProblem("Corrupted table.");
    Release(file);
    code->reset();
  }
  return good;
}

// The first use of a WDL table maps and reads its file under the lock; a
// failure is retried at the next probe.
bool PrepareWdlTable(TbTable* table) {
  std::lock_guard<std::mutex> guard(g_tb.lock);
  if (table->ready.load(std::memory_order_relaxed)) return true;
  if (!OpenTableFile(table->material, TbKind::kWdl, &table->file, &table->code)) return false;
  table->ready.store(true, std::memory_order_release);
  return true;
}

// The cache entry of the table's DTZ file, moved to the front; a miss drops
// the least recently used entry and opens the file. Called under the lock.
DtzCacheEntry* FetchDtzTable(Key key, const TbTable* table) {
  DtzCacheEntry* cache = g_tb.dtz_cache;
  for (int i = 0; i < g_tb.dtz_count; i++) {
    if (cache[i].key == key || cache[i].key2 == key) {
      std::rotate(cache, cache + i, cache + i + 1);
      return &cache[0];
    }
  }
  if (g_tb.dtz_count == kTbDtzCacheSize) {
    DtzCacheEntry& last = cache[kTbDtzCacheSize - 1];
    Release(&last.file);
    last.code.reset();
    last.table = nullptr;
    g_tb.dtz_count--;
  }
  std::rotate(cache, cache + g_tb.dtz_count, cache + g_tb.dtz_count + 1);
  g_tb.dtz_count++;
  DtzCacheEntry& entry = cache[0];
  entry.key = table->material.key;
  entry.key2 = table->material.key2;
  entry.table = table;
  OpenTableFile(table->material, TbKind::kDtz, &entry.file, &entry.code);
  return &entry;
}

inline int SideToMove(const TbPosition& pos) { return pos.turn ? WHITE : BLACK; }

}  // namespace

int TbInit(const char* path) {
  ReleaseAll();
  InitTbIndexTables();
  if (path == nullptr || path[0] == 0 || std::strcmp(path, "<empty>") == 0) return kTbNoPath;

  // Folders are separated by ';', and on POSIX systems also by ':', as
  // front ends there write search paths (':' is part of a drive name on
  // Windows).
#ifdef _WIN32
  const char* separators = ";";
#else
  const char* separators = ";:";
#endif
  std::string list = path;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(separators, start);
    if (end == std::string::npos) end = list.size();
    if (end > start) g_tb.directories.push_back(list.substr(start, end - start));
    start = end + 1;
  }

  // The registry's limits hold every material ForEachTableName lists; a
  // table they cannot hold would be a fault of this code.
  bool registered = ForEachTableName([](const char* name) { return !TableFileExists(name) || RegisterTable(name); });
  if (!registered) {
    ReleaseAll();
    return kTbRegistryFull;
  }
  return g_tb.piece_count + g_tb.pawn_count;
}

std::string TbTakeProblems() {
  std::lock_guard<std::mutex> guard(g_tb.lock);
  std::string lines(g_tb.problems, size_t(g_tb.problems_length));
  g_tb.problems_length = 0;
  return lines;
}

int TbLargest() { return g_tb.largest; }

int TbTableCount() { return g_tb.piece_count + g_tb.pawn_count; }

int ProbeWdlTable(const TbPosition& pos, TbStatus* status) {
  *status = kTbFailed;
  if ((pos.white | pos.black) == pos.kings) {
    *status = kTbOk;
    return 0;
  }
  TbTable* table = FindTable(TbMaterialKey(pos, SideToMove(pos)));
  if (table == nullptr) return 0;
  if (!table->ready.load(std::memory_order_acquire) && !PrepareWdlTable(table)) return 0;
  TbIndex index;
  if (EncodePosition(table->material, *table->code, TbKind::kWdl, pos, &index) != EncodeResult::kOk) return 0;
  int value;
  if (!DecodeValue(*index.pairs, index.index, &value) || value > 4) return 0;
  *status = kTbOk;
  return value - 2;
}

int ProbeDtzTable(const TbPosition& pos, int wdl, TbStatus* status) {
  *status = kTbFailed;
  Key key = TbMaterialKey(pos, SideToMove(pos));
  const TbTable* table = FindTable(key);
  if (table == nullptr) return 0;
  std::lock_guard<std::mutex> guard(g_tb.lock);
  const DtzCacheEntry* entry = FetchDtzTable(key, table);
  if (entry->code == nullptr) return 0;
  TbIndex index;
  EncodeResult encoded = EncodePosition(table->material, *entry->code, TbKind::kDtz, pos, &index);
  if (encoded == EncodeResult::kOtherSide) *status = kTbOtherSide;
  if (encoded != EncodeResult::kOk) return 0;
  int value;
  if (!DecodeValue(*index.pairs, index.index, &value)) return 0;
  const PairsData& pd = *index.pairs;
  if (pd.flags & kTbFlagMapped) {
    // Stored values are ranks by frequency within the outcome; the map
    // turns them back into distances. Its tables are ordered win, loss,
    // cursed win, blessed loss.
    static const int kMapOfOutcome[5] = {1, 3, 0, 2, 0};
    int map = kMapOfOutcome[wdl + 2];
    if (uint32_t(value) >= pd.map_count[map]) return 0;
    const uint8_t* entries = entry->code->map + pd.map_start[map];
    value = (pd.flags & kTbFlagWideMap) ? entries[2 * value] | (entries[2 * value + 1] << 8) : entries[value];
  }
  // Distances stored in moves are turned into plies; cursed and blessed
  // results are always stored in moves.
  bool in_moves = (wdl == 2 && !(pd.flags & kTbFlagWinPlies)) || (wdl == -2 && !(pd.flags & kTbFlagLossPlies)) ||
                  wdl == 1 || wdl == -1;
  if (in_moves) value *= 2;
  *status = kTbOk;
  return value;
}

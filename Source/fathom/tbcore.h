// Syzygy table files: finding them in the SyzygyPath directories,
// registering every material present, mapping a file on its first use and
// reading single values out of it.
#pragma once

#include <string>

#include "fathom/tb_position.h"
#include "fathom/tb_table.h"

// Registry limits: tables without and with pawns, and the slots of each
// bucket of the material-key hash (1024 buckets, by the key's top 10 bits).
constexpr int kTbMaxPieceTables = 254;
constexpr int kTbMaxPawnTables = 256;
constexpr int kTbHashBits = 10;
constexpr int kTbHashSlots = 5;
constexpr int kTbDtzCacheSize = 64;
// Room for the problem lines waiting for TbTakeProblems.
constexpr int kTbProblemBytes = 2048;

// (Re)initialises the tablebases from a SyzygyPath value: directories
// separated by ";" (or ":" on POSIX systems), empty or "<empty>" for none.
// Releases every file mapped so far, then registers each table whose ".rtbw"
// file exists. Returns the number of tables registered, kTbNoPath when no
// path is given (empty or "<empty>"), or kTbRegistryFull (with no tables)
// when the registry's limits or its hash cannot hold the tables found.
// Must not run while a probe can.
constexpr int kTbNoPath = -1;
constexpr int kTbRegistryFull = -2;
int TbInit(const char* path);
// The problems with table files met since the last call (a file that could
// not be found, mapped or read as a table), one line each, and forgets
// them. The probes note them instead of printing; the driver says them.
std::string TbTakeProblems();
// Largest number of men of any registered table, 0 when there are none.
int TbLargest();
// Number of registered tables.
int TbTableCount();

// The material of a table name such as "KRPvKR" (left side first).
void TbMaterialFromName(const char* name, TbMaterial* material);

// Outcome of a table read.
enum TbStatus : int {
  kTbOtherSide = -1,  // the DTZ table holds only the other side to move
  kTbFailed = 0,      // no table, a missing or corrupt file, or bad data
  kTbOk = 1,
};

// The WDL value -2..2 the table stores for the position, from the side to
// move's view; captures and en passant are not looked at. Kings alone are
// a draw. Safe from any number of threads.
int ProbeWdlTable(const TbPosition& pos, TbStatus* status);
// The distance the DTZ table stores for the position, in plies, given the
// position's WDL value (not 0). Tables are kept in a cache of the 64 most
// recently used; calls are serialised.
int ProbeDtzTable(const TbPosition& pos, int wdl, TbStatus* status);

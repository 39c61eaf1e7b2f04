// Damaged table files: every table of the folder decodes, while truncated
// and garbled copies are refused or give values without a read outside
// the file (the buffers are exact heap copies, so the address sanitizer
// sees any stray read), and probes through damaged files never crash and
// never report a wrong result for a truncated file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "fathom/tb_decode.h"
#include "fathom/tb_index.h"
#include "fathom/tbcore.h"
#include "fathom/tbprobe.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"
#include "support/tb_helpers.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadTable(const std::string& file) {
  std::ifstream in(SyzygyDir() + "/" + file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TbKind KindOf(const std::string& file) { return file.find(".rtbw") != std::string::npos ? TbKind::kWdl : TbKind::kDtz; }

TbMaterial MaterialOf(const std::string& file) {
  TbMaterial material;
  TbMaterialFromName(file.substr(0, file.find('.')).c_str(), &material);
  return material;
}

// Parses the bytes and decodes a spread of indices of every side and file.
// Returns whether the layout was accepted; *decoded counts good values.
bool Exercise(const std::vector<uint8_t>& bytes, const std::string& file, int* decoded = nullptr) {
  TableCode code;
  TbKind kind = KindOf(file);
  if (!ParseTable(bytes.data(), bytes.size(), MaterialOf(file), kind, &code)) return false;
  for (int s = 0; s < code.sides; s++) {
    for (int f = 0; f < code.files; f++) {
      const PairsData& pd = code.pairs[s][f];
      uint64_t step = pd.index_size / 97 + 1;
      for (uint64_t index = 0; index < pd.index_size; index += step) {
        int value;
        if (DecodeValue(pd, index, &value) && decoded) ++*decoded;
      }
      int value;
      DecodeValue(pd, pd.index_size - 1, &value);
    }
  }
  return true;
}

std::vector<std::string> TableFiles() {
  std::vector<std::string> files;
  for (const std::string& name : SmallTableNames()) {
    files.push_back(name + ".rtbw");
    files.push_back(name + ".rtbz");
  }
  return files;
}

TEST(TablebaseCorruption, EveryTableOfTheFolderDecodes) {
  InitTbIndexTables();
  for (const std::string& file : TableFiles()) {
    std::vector<uint8_t> bytes = ReadTable(file);
    ASSERT_GT(bytes.size(), 4u) << file;
    TableCode code;
    ASSERT_TRUE(ParseTable(bytes.data(), bytes.size(), MaterialOf(file), KindOf(file), &code)) << file;
    for (int s = 0; s < code.sides; s++) {
      for (int f = 0; f < code.files; f++) {
        const PairsData& pd = code.pairs[s][f];
        uint64_t step = pd.index_size / 211 + 1;
        for (uint64_t index = 0; index < pd.index_size; index += step) {
          int value = -1;
          ASSERT_TRUE(DecodeValue(pd, index, &value)) << file << " index " << index;
          if (KindOf(file) == TbKind::kWdl) {
            ASSERT_LE(value, 4) << file;
          }
        }
      }
    }
  }
}

TEST(TablebaseCorruption, TruncatedTablesAreRefusedOrStayInside) {
  InitTbIndexTables();
  for (const char* file : {"KQvK.rtbw", "KRvKP.rtbw", "KRvKP.rtbz", "KPvKP.rtbw", "KBNvK.rtbz", "KRvKR.rtbz"}) {
    std::vector<uint8_t> whole = ReadTable(file);
    std::vector<size_t> cuts;
    for (size_t n = 0; n < 300 && n < whole.size(); n++) cuts.push_back(n);
    for (int k = 1; k < 64; k++) cuts.push_back(whole.size() * k / 64);
    cuts.push_back(whole.size() - 1);
    for (size_t cut : cuts) {
      std::vector<uint8_t> part(whole.begin(), whole.begin() + cut);
      bool accepted = Exercise(part, file);
      if (cut <= whole.size() / 2) {
        EXPECT_FALSE(accepted) << file << " cut to " << cut;
      }
    }
  }
}

TEST(TablebaseCorruption, GarbledTablesNeverReadOutside) {
  InitTbIndexTables();
  std::mt19937_64 rng(99);
  for (const char* file : {"KQvK.rtbw", "KRvKP.rtbw", "KRvKP.rtbz", "KPvKP.rtbz", "KBNvK.rtbz", "KQvKR.rtbw"}) {
    std::vector<uint8_t> whole = ReadTable(file);
    int accepted = 0;
    for (int trial = 0; trial < 300; trial++) {
      std::vector<uint8_t> bytes = whole;
      // Mostly the layout near the start, sometimes anywhere.
      size_t region = trial % 3 ? std::min<size_t>(bytes.size(), 512) : bytes.size();
      int changes = 1 + int(rng() % 8);
      for (int i = 0; i < changes; i++) bytes[4 + rng() % (region - 4)] = uint8_t(rng());
      accepted += Exercise(bytes, file);
    }
    // Damage past the layout leaves it readable: the decoder meets it.
    EXPECT_GT(accepted, 0) << file;
  }
}

struct ProbeResults {
  std::vector<int> wdl, root, dtz;
};

ProbeResults ProbeAll(const std::vector<std::string>& fens) {
  ProbeResults results;
  for (const std::string& fen : fens) {
    ThreadPtr thread = MakeThread(fen);
    results.wdl.push_back(TbProbeWdl(&thread->pos));
    int wdl = -1, dtz = 0;
    Move move = 0;
    results.root.push_back(TbProbeRoot(&thread->pos, &wdl, &dtz, &move));
    results.dtz.push_back(dtz);
    EXPECT_EQ(Fen(&thread->pos), fen);
  }
  return results;
}

// Damaged copies of two tables, looked up before the intact folder: a
// truncated file gives no result, a garbled one at worst a wrong value.
TEST(TablebaseCorruption, ProbesThroughDamagedFiles) {
  const std::vector<std::string> damaged = {"KRvKP.rtbw", "KRvKP.rtbz", "KBNvK.rtbw", "KBNvK.rtbz"};
  std::mt19937_64 rng(5);
  std::vector<std::string> fens;
  for (int i = 0; i < 150; i++) {
    fens.push_back(RandomEndgameFen(rng, "KRvKP", i % 2));
    fens.push_back(RandomEndgameFen(rng, "KBNvK", i % 2));
  }
  InitTablebases(SyzygyDir());
  ProbeResults truth = ProbeAll(fens);

  enum Damage { kPageCut, kLastByteCut, kGarbledLayout, kGarbledAnywhere };
  for (Damage damage : {kPageCut, kLastByteCut, kGarbledLayout, kGarbledAnywhere}) {
    SCOPED_TRACE(damage);
    TempDir dir;
    for (const std::string& file : damaged) {
      std::vector<uint8_t> bytes = ReadTable(file);
      switch (damage) {
        case kPageCut: bytes.resize(bytes.size() / 4096 * 4096); break;
        case kLastByteCut: bytes.pop_back(); break;
        case kGarbledLayout:
          for (int i = 0; i < 6; i++) bytes[5 + rng() % 200] ^= uint8_t(1 + rng() % 255);
          break;
        case kGarbledAnywhere:
          for (int i = 0; i < 64; i++) bytes[4 + rng() % (bytes.size() - 4)] ^= uint8_t(1 + rng() % 255);
          break;
      }
      std::ofstream(dir.File(file), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                            std::streamsize(bytes.size()));
    }
    InitTablebases(dir.path() + ";" + SyzygyDir());
    ProbeResults got = ProbeAll(fens);
    TbTakeProblems();
    for (size_t i = 0; i < fens.size(); i++) {
      SCOPED_TRACE(fens[i]);
      EXPECT_GE(got.wdl[i], kTbNoResult);
      EXPECT_LE(got.wdl[i], kTbWin);
      EXPECT_GE(got.root[i], kTbNoResult);
      EXPECT_LE(got.root[i], kTbWin);
      if (damage == kPageCut || damage == kLastByteCut) {
        EXPECT_TRUE(got.wdl[i] == kTbNoResult || got.wdl[i] == truth.wdl[i]);
        EXPECT_TRUE(got.root[i] == kTbNoResult || (got.root[i] == truth.root[i] && got.dtz[i] == truth.dtz[i]));
      }
    }
  }
}

}  // namespace

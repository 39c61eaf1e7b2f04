#include "support/tb_helpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fathom/tb_position.h"
#include "driver/tablebase_setup.h"
#include "fathom/tbcore.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

std::string SyzygyDir() { return TestData("syzygy"); }

std::string InitTablebases(const std::string& path) {
  InitBoardForTests();
  testing::internal::CaptureStdout();
  LoadTablebases(path.c_str());
  return testing::internal::GetCapturedStdout();
}

std::vector<TbEpdRecord> LoadTbEpd() {
  std::vector<TbEpdRecord> records;
  std::ifstream in(SyzygyDir() + "/endgame-wdl-dtz.epd");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string board, side, castling, ep, name, value;
    fields >> board >> side >> castling >> ep;
    TbEpdRecord record;
    record.fen = board + " " + side + " " + castling + " " + ep;
    while (fields >> name >> value) {
      int v = std::stoi(value);
      if (name == "wdl_table") record.wdl_table = v;
      else if (name == "wdl") record.wdl = v;
      else if (name == "dtz") record.dtz = v;
    }
    records.push_back(record);
  }
  return records;
}

std::string RandomEndgameFen(std::mt19937_64& rng, const std::string& material, bool swap) {
  for (;;) {
    char board[64] = {};
    int side = -1;
    bool placed = true;
    for (char c : material) {
      if (c == 'v') continue;
      if (c == 'K') side++;
      bool white = (side == 0) != swap;
      char letter = white ? c : char(c - 'A' + 'a');
      int sq;
      int tries = 0;
      do {
        sq = int(rng() % 64);
      } while ((board[sq] || (c == 'P' && (sq < 8 || sq >= 56))) && ++tries < 1000);
      if (board[sq]) placed = false;
      board[sq] = letter;
    }
    if (!placed) continue;
    std::string fen = PlacementFen(board);
    fen += rng() % 2 ? " w - -" : " b - -";
    ThreadPtr thread = MakeThread(fen);
    if (TbPositionIsSane(MakeTbPosition(&thread->pos, 0))) return fen;
  }
}

std::vector<std::string> SmallTableNames() {
  return {"KPvK",   "KNvK",   "KBvK",   "KRvK",   "KQvK",   "KPvKP",  "KNvKP",  "KNvKN",  "KBvKP",
          "KBvKN",  "KBvKB",  "KRvKP",  "KRvKN",  "KRvKB",  "KRvKR",  "KQvKP",  "KQvKN",  "KQvKB",
          "KQvKR",  "KQvKQ",  "KPPvK",  "KNPvK",  "KNNvK",  "KBPvK",  "KBNvK",  "KBBvK",  "KRPvK",
          "KRNvK",  "KRBvK",  "KRRvK",  "KQPvK",  "KQNvK",  "KQBvK",  "KQRvK",  "KQQvK"};
}

std::string RandomEnPassantFen(std::mt19937_64& rng) {
  for (;;) {
    bool white = rng() % 2 == 0;
    int file = int(rng() % 8);
    int side_step = (file == 0 || (file < 7 && rng() % 2)) ? 1 : -1;
    // The capturing pawn on its fifth rank, the victim beside it; the
    // squares the victim crossed are empty.
    int rank = white ? 4 : 3;
    int capturer = MakeSquare(file, rank);
    int victim = MakeSquare(file + side_step, rank);
    int ep = victim + (white ? 8 : -8);
    int start = victim + (white ? 16 : -16);
    char board[64] = {};
    board[capturer] = white ? 'P' : 'p';
    board[victim] = white ? 'p' : 'P';
    int kings[2];
    for (int& k : kings) {
      do {
        k = int(rng() % 64);
      } while (board[k] || k == ep || k == start);
      board[k] = &k == &kings[0] ? 'K' : 'k';
    }
    std::string fen = PlacementFen(board);
    fen += white ? " w - " : " b - ";
    fen += kSquareNames[ep];
    ThreadPtr thread = MakeThread(fen);
    if (TbPositionIsSane(MakeTbPosition(&thread->pos, 0))) return fen;
  }
}

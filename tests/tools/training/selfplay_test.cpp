// The self-play tool of the tuning build, end to end: games played, written
// whole, read back, and a second run appending where the first ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "support/board_helpers.h"
#include "support/engine_process.h"
#include "tools/tool_test_helpers.h"
#include "tools/training/train_games.h"
#include "tools/training/train_record.h"

namespace {

ToolRun RunTuneTool(const TempDir& dir, const std::vector<std::string>& args) {
  EngineProcess engine(args, dir.path(), ZORV_TUNE_BINARY);
  engine.CloseInput();
  ToolRun run;
  run.lines = engine.ReadAll(ScaledTimeout(60000));
  run.status = engine.WaitExit(ScaledTimeout(5000));
  return run;
}

// The king and pawn start, whatever the random plies made of it.
bool IsPawnEnding(const std::string& fen) {
  std::string pieces;
  for (char c : fen.substr(0, fen.find(' ')))
    if (std::isalpha(static_cast<unsigned char>(c))) pieces += c;
  std::sort(pieces.begin(), pieces.end());
  return pieces == "KPk";
}

}  // namespace

TEST(SelfPlay, GamesAreWrittenWholeAndASecondRunAppends) {
  TempDir dir;
  dir.Write("starts.epd",
            "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - bm e5;\n"
            "# a comment line\n"
            "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -\n"
            "8/8/8/4k3/8/8/4P3/4K3 w - -\n");
  std::vector<std::string> args = {"-use_hce", "-mktraindata", "starts.epd", "300", "-n", "400", "-threads", "2",
                                   "-o", "games.bin", "-tbpath", TestData("syzygy")};
  ToolRun first = RunTuneTool(dir, args);
  ASSERT_EQ(first.status, 0);
  // The last progress line: everything done, nothing left.
  std::vector<std::string> progress = FindLine(first.lines, R"(games (\d+), positions (\d+), 100.0% done, )"
                                                            R"(\d+ positions/s, 0:00:00 left, )"
                                                            R"(white [\d.]+% draw [\d.]+% black [\d.]+%)");
  ASSERT_FALSE(progress.empty());
  int games = std::stoi(progress[1]), positions = std::stoi(progress[2]);
  EXPECT_GE(positions, 300);
  EXPECT_TRUE(HasLine(first.lines, "info string 3 start positions, first game 0, 2 workers, 400 nodes per move, "
                                   "2 random plies"));

  InitBoardForTests();
  GameFileTotals totals;
  int decided = 0;
  ASSERT_TRUE(ForEachGamePosition(dir.File("games.bin").c_str(), [&](const GamePosition&) {}, &totals));
  EXPECT_EQ(int(totals.games), games);
  EXPECT_EQ(int(totals.positions), positions);
  EXPECT_EQ(totals.broken_games, 0u);

  // A game ends in mate only with the mated side to move and the other side
  // the winner; the pawn ending starts inside the tablebases and is
  // adjudicated at once.
  TrainGameReader reader;
  ASSERT_TRUE(OpenTrainGames(dir.File("games.bin").c_str(), &reader));
  auto game = std::make_unique<TrainGame>();
  while (NextTrainGame(&reader, game.get())) {
    if (game->termination == kEndCheckmate || game->termination == kEndResign) {
      EXPECT_NE(game->result, 0);
    }
    if (game->termination == kEndStalemate || game->termination == kEndRepetition) {
      EXPECT_EQ(game->result, 0);
    }
    if (IsPawnEnding(game->fen)) {
      EXPECT_EQ(game->termination, kEndTablebase);
      decided++;
    }
  }
  CloseTrainGames(&reader);
  EXPECT_EQ(reader.skipped_bytes, 0u);
  EXPECT_GT(decided, 0);

  ToolRun second = RunTuneTool(dir, {"-use_hce", "-mktraindata", "starts.epd", "50", "-n", "400", "-threads", "1",
                                     "-o", "games.bin"});
  ASSERT_EQ(second.status, 0);
  EXPECT_TRUE(HasLine(second.lines, "info string 3 start positions, first game " + std::to_string(games) +
                                        ", 1 workers, 400 nodes per move, 2 random plies"));
  EXPECT_GT(CountTrainGames(dir.File("games.bin").c_str()), uint64_t(games));
}

TEST(SelfPlay, MissingStartFileOrOutputIsAnError) {
  TempDir dir;
  ToolRun run = RunTuneTool(dir, {"-mktraindata", "nothing.epd", "100", "-o", "games.bin"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(HasLine(run.lines, "zorv-tune: -mktraindata \"nothing.epd\" refused: an existing file (there is none of that name); "
                                 "see zorv-tune --help"));
  dir.Write("starts.epd", "8/8/8/4k3/8/8/4P3/4K3 w - -\n");
  run = RunTuneTool(dir, {"-mktraindata", "starts.epd", "100", "-o", "no/such/dir/games.bin"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(HasLine(run.lines, "zorv-tune: -o \"no/such/dir/games.bin\" refused: a new name in an existing folder "
                                 "(no/such/dir is none); see zorv-tune --help"));
  // Starts that are no positions are skipped and counted; none left is an error.
  dir.Write("odd.epd", "8/8/8/8/8/8/8/8 w - -\n4k3/8/8/8/8/8/8/P3K3 w - -\n");
  run = RunTuneTool(dir, {"-mktraindata", "odd.epd", "100", "-o", "games.bin"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(HasLine(run.lines, "info string 2 lines of odd.epd skipped: not positions a game can start from"));
  EXPECT_TRUE(HasLine(run.lines, "info string no start positions in odd.epd"));
  EXPECT_FALSE(dir.Exists("games.bin"));
}

// The position command and game moves, end to end through the console's
// board printout and in process for the go limits.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "board/attacks.h"
#include "board/zobrist.h"
#include "search/game.h"
#include "driver/uci.h"
#include "platform/stdin_reader.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

class GameRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    InitAttackTables();
    InitZobristKeys();
    if (g_game == nullptr) g_game = NewGameRecord();
    SetDefaultLimits(&g_control.limits);
    g_control.state.store(kStateIdle);
    HandlePositionCommand("startpos");
  }
  void TearDown() override { g_control.state.store(kStateIdle); }
  std::string GameFen() {
    char fen[128];
    PositionToFen(&g_game->pos, fen, false);
    return fen;
  }
};

TEST_F(GameRecord, PlaysTheMovesIncludingAKingMove) {
  HandlePositionCommand("startpos moves e2e4 e7e5 e1e2");
  EXPECT_EQ(GameFen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPPKPPP/RNBQ1BNR b kq -");
  EXPECT_EQ(GamePly(), 3);
}

TEST_F(GameRecord, FenWithMovesWordButNoMoves) {
  HandlePositionCommand("fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1 moves");
  EXPECT_EQ(GameFen(), "4k3/8/8/8/8/8/8/4K2R w K -");
  EXPECT_EQ(GamePly(), 0);
}

TEST_F(GameRecord, CastlingAsKingTakesRookEqualsKingToG1) {
  HandlePositionCommand("fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - moves e1h1 e8a8");
  EXPECT_EQ(GameFen(), "2kr3r/8/8/8/8/8/8/R4RK1 w - -");
}

TEST_F(GameRecord, WithoutStartposOrFenNothingChanges) {
  HandlePositionCommand("startpos moves d2d4");
  HandlePositionCommand("moves e2e4");
  HandlePositionCommand("garbage");
  EXPECT_EQ(GameFen(), "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq d3");
}

TEST_F(GameRecord, TabsSeparateTheFieldsOfAFen) {
  HandlePositionCommand("fen\trnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR\tb\tKQkq\t-\t3\t9 moves e7e5");
  EXPECT_EQ(GameFen(), "rnbqkbnr/pppp1ppp/8/4p3/8/8/PPPPPPPP/RNBQKBNR w KQkq e6");
  EXPECT_EQ(g_game->pos.fifty, 0);
}

TEST_F(GameRecord, AFenWithoutItsSideHasWhiteToMove) {
  HandlePositionCommand("startpos moves e2e4");
  ASSERT_EQ(g_game->pos.side, BLACK);
  HandlePositionCommand("fen 4k3/8/8/8/8/8/8/R3K3");
  EXPECT_EQ(GameFen(), "4k3/8/8/8/8/8/8/R3K3 w - -");
}

TEST_F(GameRecord, AnImpossibleFenKeepsTheGameAndIgnoresItsMoves) {
  HandlePositionCommand("startpos moves e2e4 e7e5");
  const std::string before = GameFen();
  for (const char* fen : {"fen 8/8/8/8/8/8/8/8 w - -", "fen 4k3/8/8/8/8/8/8/2K1K3 w - - moves e1d1",
                          "fen P3k3/8/8/8/8/8/8/4K3 w - - moves e1e2", "fen 4k3/8/8/8/8/8/8/4K2r b - -",
                          "fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq -", "fen"}) {
    HandlePositionCommand(fen);
    EXPECT_EQ(GameFen(), before) << fen;
    EXPECT_EQ(GamePly(), 2) << fen;
  }
}

TEST_F(GameRecord, GoFillsTheLimits) {
  SearchLimits& l = g_control.limits;
  HandlePositionCommand("startpos moves e2e4");  // Black to move
  HandleGoCommand("wtime 1000 btime 500 winc 10 binc 20");
  EXPECT_EQ(l.moves_per_control, 0);
  EXPECT_FLOAT_EQ(l.clock[WHITE], 1.0f);
  EXPECT_FLOAT_EQ(l.clock[BLACK], 0.5f);
  EXPECT_FLOAT_EQ(l.increment, 0.02f);
  EXPECT_EQ(g_control.state.load(), kStateGo);
  g_control.state.store(kStateIdle);
  HandleGoCommand("wtime -50 btime 300 movestogo 12 ponder");
  EXPECT_FLOAT_EQ(l.clock[WHITE], 0.0f);
  EXPECT_EQ(l.moves_per_control, 40);
  EXPECT_EQ(l.moves_to_go, 12);
  EXPECT_EQ(g_control.state.load(), kStateGoPonder);
  g_control.state.store(kStateIdle);
  HandleGoCommand("depth 120");
  EXPECT_EQ(l.depth_limit, 66);
  EXPECT_EQ(l.moves_per_control, 1);
  EXPECT_FLOAT_EQ(l.base_time, 10000000.0f);
  g_control.state.store(kStateIdle);
  HandleGoCommand("movetime 1500");
  EXPECT_FLOAT_EQ(l.base_time, 1.5f);
  EXPECT_FLOAT_EQ(l.increment, 0.0f);
  g_control.state.store(kStateIdle);
  HandleGoCommand("infinite");
  EXPECT_EQ(l.depth_limit, 66);
  EXPECT_EQ(l.node_limit, 0);
  EXPECT_FLOAT_EQ(l.base_time, 10000000.0f);
}

TEST_F(GameRecord, EachGoSetsOnlyTheLimitsItNames) {
  SearchLimits& l = g_control.limits;
  HandlePositionCommand("startpos");
  HandleGoCommand("depth 3");
  g_control.state.store(kStateIdle);
  HandleGoCommand("nodes 3000 wtime 500 winc 20 btime 500");
  EXPECT_EQ(l.depth_limit, 66);
  g_control.state.store(kStateIdle);
  HandleGoCommand("movestogo 20 wtime 1000 btime 1000");
  EXPECT_EQ(l.node_limit, 0);
  EXPECT_FLOAT_EQ(l.increment, 0.0f);
  EXPECT_EQ(l.moves_per_control, 40);
  g_control.state.store(kStateIdle);
  // A clock with a depth: both apply.
  HandleGoCommand("wtime 1000 btime 1000 depth 7");
  EXPECT_EQ(l.moves_per_control, 0);
  EXPECT_EQ(l.moves_to_go, 0);
  EXPECT_EQ(l.depth_limit, 7);
  g_control.state.store(kStateIdle);
  // Only the other side's clock, or nothing at all: no time limit.
  HandleGoCommand("btime 1000 binc 10");
  EXPECT_EQ(l.moves_per_control, 1);
  EXPECT_FLOAT_EQ(l.base_time, 10000000.0f);
  EXPECT_FLOAT_EQ(l.increment, 0.0f);
  g_control.state.store(kStateIdle);
  // movestogo 0 names no control.
  HandleGoCommand("wtime 1000 btime 1000 movestogo 0");
  EXPECT_EQ(l.moves_per_control, 0);
  g_control.state.store(kStateIdle);
}

TEST_F(GameRecord, SearchMovesKeepsTheLegalMovesUpToTheFirstOtherWord) {
  SearchLimits& l = g_control.limits;
  HandlePositionCommand("startpos");
  HandleGoCommand("depth 6 searchmoves e2e4 d2d4 e2e4 zz g1f3");
  ASSERT_EQ(l.search_move_count, 2);
  EXPECT_EQ(l.search_moves[0], MakeMoveWord(12, 28));
  EXPECT_EQ(l.search_moves[1], MakeMoveWord(11, 27));
  g_control.state.store(kStateIdle);
  HandleGoCommand("searchmoves e2e5 depth 3");
  EXPECT_EQ(l.search_move_count, 0);
  g_control.state.store(kStateIdle);
  // Castling given king-to-rook becomes the generated castling move.
  HandlePositionCommand("fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  HandleGoCommand("searchmoves e1h1 e1c1");
  ASSERT_EQ(l.search_move_count, 2);
  EXPECT_EQ(MoveFlags(l.search_moves[0]), kFlagShortCastle);
  EXPECT_EQ(MoveFlags(l.search_moves[1]), kFlagLongCastle);
  g_control.state.store(kStateIdle);
  HandleGoCommand("depth 1");
  EXPECT_EQ(l.search_move_count, 0);
  g_control.state.store(kStateIdle);
}

TEST_F(GameRecord, NodeLimitsAreTakenExactly) {
  for (int i = 0; i < 20; i++) {
    g_control.state.store(kStateIdle);
    HandleGoCommand("nodes 10000");
    EXPECT_EQ(g_control.limits.node_limit, 10000);
  }
  // Large counts do not overflow; negative ones mean none.
  g_control.state.store(kStateIdle);
  HandleGoCommand("nodes 4000000000000");
  EXPECT_EQ(g_control.limits.node_limit, 4000000000000LL);
  g_control.state.store(kStateIdle);
  HandleGoCommand("nodes -5");
  EXPECT_EQ(g_control.limits.node_limit, 0);
  g_control.state.store(kStateIdle);
}

// A node-limited search repeats itself exactly, move and node count, from
// a new game each time.
TEST(PositionCommand, ANodeLimitedSearchRepeatsMoveForMove) {
  EngineProcess engine({"-use_hce"});
  std::vector<std::string> lines;
  for (int i = 0; i < 3; i++) {
    engine.Send("ucinewgame");
    engine.Send("position fen r1bqkb1r/pp1ppppp/2n2n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R b KQkq - 0 1");
    engine.Send("go nodes 30000");
    std::vector<std::string> got = engine.ReadUntil("bestmove", 60000);
    lines.insert(lines.end(), got.begin(), got.end());
  }
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
  std::vector<std::string> answers, totals;
  for (const std::string& line : lines) {
    if (line.rfind("bestmove ", 0) == 0) answers.push_back(line);
    if (line.rfind("info depth", 0) == 0 && line.find(" pv ") != std::string::npos) {
      size_t at = line.find(" nodes ");
      totals.push_back(line.substr(at, line.find(' ', at + 7) - at));
    }
  }
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0], answers[1]);
  EXPECT_EQ(answers[0], answers[2]);
  ASSERT_EQ(totals.size() % 3, 0u);
  size_t per = totals.size() / 3;
  for (size_t i = 0; i < per; i++) {
    EXPECT_EQ(totals[i], totals[per + i]);
    EXPECT_EQ(totals[i], totals[2 * per + i]);
  }
}

TEST(PositionCommand, AnIllegalMoveStopsTheMovesWithAMessage) {
  auto lines = RunEngineScript({}, "position startpos moves e2e4 e7e5 e4e5 d2d4\nquit\n");
  EXPECT_TRUE(HasLine(lines, "info string illegal move e4e5, it and the moves after it are ignored"));
  lines = RunEngineScript({"-c"}, "uci\nposition startpos moves e2e4 z9z9\nquit\n");
  EXPECT_TRUE(HasLine(lines, "info string illegal move z9z9, it and the moves after it are ignored"));
}

TEST(PositionCommand, ARefusedFenIsNamedAndGoAnswersAtOnceWithoutASearch) {
  auto lines = RunEngineScript({"-use_hce"}, "position startpos moves e2e4\n"
                                             "position fen 4k2R/8/8/8/8/8/8/4K3 w - - 0 1\n"
                                             "go depth 2\ngo infinite\nisready\n");
  EXPECT_TRUE(HasLine(lines, "info string refused FEN: Black is in check with White to move (no search until a "
                             "position is accepted)"));
  int answers = 0;
  for (const std::string& line : lines) {
    EXPECT_NE(line.rfind("info depth", 0), 0u) << line;  // nothing is searched
    answers += line == "bestmove 0000";
  }
  EXPECT_EQ(answers, 2);
  EXPECT_TRUE(HasLine(lines, "info string no search: the position was refused (Black is in check with White to move)"));
  // The next accepted position searches again.
  lines = RunEngineScript({"-use_hce"}, "position fen 4k3/8/8/8/8/8/8/2K1K3 w - -\n"
                                        "position startpos moves e2e4\ngo depth 2\n");
  ASSERT_FALSE(lines.empty());
  ASSERT_EQ(lines.back().rfind("bestmove ", 0), 0u);
  std::string move = lines.back().substr(9, lines.back().find(' ', 9) - 9);
  EXPECT_TRUE(IsLegalMoveText("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", "e2e4", move)) << move;
  // The console's fen command refuses the same positions; its board
  // editor may still build them.
  lines = RunEngineScript({"-c"}, "fen 4k3/8/8/8/8/8/8/4K2r b - -\nquit\n");
  EXPECT_TRUE(HasLine(lines, "refused FEN: White is in check with Black to move (the previous position stays)"));
}

// A game of any length is played whole: the engine answers for the side to
// move after the last move, with the right move number (the history keeps
// only what repetitions need).
TEST(PositionCommand, GamesOfAnyLengthArePlayedWhole) {
  const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int plies : {950, 2001, 20002}) {
    std::ostringstream cmd;
    cmd << "position startpos moves e2e4 e7e5";
    for (int i = 0; i < plies - 2; i++) cmd << " " << cycle[i % 4];
    // No quit after go: quit during a search leaves without an answer, and
    // on a busy machine the search may not be done when quit is read. The
    // end of the input lets the search finish and answer.
    auto lines = RunEngineScript({}, cmd.str() + "\nd\ngo depth 3\n");
    EXPECT_EQ(CountContaining(lines, "too long"), 0) << plies;
    EXPECT_EQ(CountContaining(lines, "illegal move"), 0) << plies;
    const bool white = plies % 2 == 0;
    const int after_cycles = (plies - 2) % 4;
    std::string board = after_cycles == 0   ? "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR"
                        : after_cycles == 1 ? "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R"
                        : after_cycles == 2 ? "rnbqkb1r/pppp1ppp/5n2/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R"
                                            : "rnbqkb1r/pppp1ppp/5n2/4p3/4P3/8/PPPP1PPP/RNBQKBNR";
    std::string fen = board + (white ? " w" : " b") + " KQkq - 255 " + std::to_string(1 + plies / 2);
    EXPECT_TRUE(HasLine(lines, "Fen: " + fen)) << plies;
    ASSERT_FALSE(lines.empty());
    ASSERT_EQ(lines.back().rfind("bestmove ", 0), 0u) << plies;
    std::string move = lines.back().substr(9, lines.back().find(' ', 9) - 9);
    EXPECT_TRUE(IsLegalMoveText(fen, "", move)) << plies << ": " << move;
  }
}

// A line longer than the input holds is left out whole and said, never
// read as a shorter command.
TEST(PositionCommand, ALineTooLongToReadIsIgnoredAndSaid) {
  std::string line = "position startpos moves";
  while (line.size() <= size_t(kMaxInputLine)) line += " g1f3 g8f6 f3g1 f6g8";
  auto lines = RunEngineScript({}, "position startpos moves e2e4\n" + line + " e2e4\nd\nisready\nquit\n");
  EXPECT_TRUE(HasLine(lines, "info string input line longer than " + std::to_string(kMaxInputLine) +
                                 " characters ignored"));
  EXPECT_TRUE(HasLine(lines, "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"));
  EXPECT_TRUE(HasLine(lines, "readyok"));
}

// A move with characters after its squares is refused like an illegal one,
// not played as the move of its first four characters.
TEST(PositionCommand, AMalformedMoveIsRefused) {
  auto lines = RunEngineScript({}, "position startpos moves e2e4 e7e5x g1f3\nd\nquit\n");
  EXPECT_TRUE(HasLine(lines, "info string illegal move e7e5x, it and the moves after it are ignored"));
  EXPECT_TRUE(HasLine(lines, "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"));
}

// Random command lines built from protocol words and junk never bring the
// engine down, and it still answers afterwards.
TEST(PositionCommand, RandomCommandsNeverCrashTheEngine) {
  std::mt19937 rng(777);
  const char* words[] = {"position", "startpos", "fen", "moves", "e2e4", "e7e5", "e1g1", "a7a8q", "h9h9",
                         "8/8/8/8/8/8/8/8", "w", "b", "KQkq", "-", "e3", "setoption", "name", "value",
                         "Hash", "MultiPV", "Threads", "uci", "isready", "debug", "ucinewgame", "ponderhit",
                         "stop", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", "99999999999999999999", "-1",
                         "@", "\t", "Contempt", "Log", "false"};
  std::string input;
  for (int i = 0; i < 3000; i++) {
    int n = int(rng() % 12);
    std::string line;
    for (int j = 0; j < n; j++) {
      if (rng() % 10 == 0) {
        line += char(1 + rng() % 254);
      } else {
        line += words[rng() % (sizeof words / sizeof *words)];
      }
      line += ' ';
    }
    input += line + "\n";
  }
  input += "isready\nquit\n";
  int status = -1;
  auto lines = RunEngineScript({}, input, &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasLine(lines, "readyok"));
}

}  // namespace

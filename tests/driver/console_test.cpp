// The console language, end to end through ./zorv -c.
#include <gtest/gtest.h>

#include "support/console_session.h"
#include "support/engine_process.h"

namespace {

TEST(Console, StartsWithTheBoardAndPlaysTypedMoves) {
  auto all = RunEngineScript({"-c"}, "e4\nmove e5\nNf3\nxyz\nquit\n");
  size_t board = 0;
  while (board < all.size() && all[board] != "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1") board++;
  ASSERT_LT(board + 10, all.size());
  std::vector<std::string> lines(all.begin() + long(board) - 1, all.end());
  EXPECT_EQ(lines[2], "  r n b q k b n r");
  EXPECT_EQ(lines[3], "  o o o o o o o o");
  EXPECT_EQ(lines[4], "  - + - + - + - +");
  EXPECT_EQ(lines[8], "  P P P P P P P P");
  EXPECT_EQ(lines[10], "white");
  EXPECT_TRUE(HasLines(lines, {
      "1. move e4",
      "1. move e5",
      "2. move Nf3",
      "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2",
      "invalid: a1a1",
  }));
}

TEST(Console, AnAmbiguousMoveIsSaidSoAndNotPlayed) {
  auto lines = RunEngineScript({"-c"}, "fen 4k3/8/8/8/3N4/8/3N4/4K3 w - -\nNdf3\nN2f3\nquit\n");
  size_t said = FindLineStarting(lines, "ambiguous move");
  ASSERT_LT(said + 1, lines.size());
  EXPECT_EQ(lines[said + 1], "invalid: a1a1");
  EXPECT_TRUE(HasLine(lines, "1. move N2f3"));
  EXPECT_EQ(CountContaining(lines, "ambiguous move"), 1);
}

TEST(Console, FenNewAndPerft) {
  auto lines = RunEngineScript({"-c"},
                               "fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -\nperft 3\nnew\nperft 2\nperft -4\nquit\n");
  EXPECT_TRUE(HasLine(lines, "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"));
  EXPECT_EQ(CountContaining(lines, "visited 2812 nodes in "), 1);
  EXPECT_EQ(CountContaining(lines, "visited 400 nodes in "), 1);
  EXPECT_EQ(CountContaining(lines, "visited 1 nodes in "), 1);
  EXPECT_EQ(CountContaining(lines, " seconds, nps= "), 3);
}

TEST(Console, UciSwitchesToUciForGood) {
  auto lines = RunEngineScript({"-c"}, "uci\ne4\nisready\nquit\n");
  EXPECT_TRUE(HasLine(lines, "uciok"));
  EXPECT_TRUE(HasLine(lines, "readyok"));
  EXPECT_FALSE(HasLine(lines, "1. move e4"));
}

TEST(Console, OverlongAndOddLinesAreSafe) {
  std::string input = "fen " + std::string(6000, '7') + "\n" + std::string(300, 'N') + "\nperft\nmove\nquit\n";
  int status = -1;
  auto lines = RunEngineScript({"-c"}, input, &status);
  EXPECT_EQ(status, 0);
  EXPECT_GE(CountContaining(lines, "invalid: "), 2);
}

TEST(Console, UndoRedoAndJumpWalkThroughTheGame) {
  auto lines = RunEngineScript({"-c"}, "e4\ne5\nNf3\nundo\n]\n[\n[\n]\njump 1\n]\n]\n]\n]\nbd\n"
                                       "jump 2\nd4\n]\nbd\njump 0\njump 99999999999\nbd\nquit\n");
  const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  const std::string after_e5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2";
  const std::string after_nf3 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2";
  const std::string after_d4 = "rnbqkbnr/pppp1ppp/8/4p3/3PP3/8/PPP2PPP/RNBQKBNR b KQkq d3 0 2";
  std::vector<std::string> fens = PrintedFens(lines);
  ASSERT_EQ(fens.size(), 20u);
  EXPECT_EQ(fens[4], after_e5);   // undo
  EXPECT_EQ(fens[5], after_nf3);  // ]
  EXPECT_EQ(fens[7], "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");  // [ [
  EXPECT_EQ(fens[9], start);      // jump 1
  EXPECT_EQ(fens[12], after_nf3); // ] three times; a fourth finds nothing to replay
  EXPECT_EQ(fens[13], after_nf3); // bd
  EXPECT_EQ(fens[14], after_e5);  // jump 2: the position before White's second move
  // A new move abandons the moves taken back: ] has nothing to replay.
  EXPECT_EQ(fens[15], after_d4);
  EXPECT_EQ(fens[16], after_d4);
  EXPECT_EQ(fens[17], start);     // jump 0
  EXPECT_EQ(fens[18], after_d4);  // an enormous jump replays the whole game
  EXPECT_EQ(CountContaining(lines, "2. move g1f3"), 2);
  EXPECT_EQ(CountContaining(lines, "1... move e7e5"), 2);
  EXPECT_TRUE(HasLine(lines, "1. move e2e4"));
}

TEST(Console, DebugReportFollowsMovesAndUndo) {
  auto lines = RunEngineScript({"-c"}, "set debug 1\ne4\nd5\nundo\nbd\nset debug 0\nNf3\nquit\n");
  EXPECT_TRUE(HasLine(lines, "last move was 1. e2e4"));
  EXPECT_TRUE(HasLine(lines, "last move was 1... d7d5"));
  // After the undo and at bd, the last move is e4 again.
  EXPECT_EQ(CountContaining(lines, "last move was 1. e2e4"), 3);
  EXPECT_EQ(CountContaining(lines, "nne= "), 4);
  EXPECT_EQ(CountContaining(lines, "last move was 2."), 0);
}

TEST(Console, MissingArgumentsAndUnknownWordsLeaveThePositionIntact) {
  int status = -1;
  std::string input =
      "e4\nfen\nget\nload\njump\ntrace\nset\nset level\nset depth\nset noise\nmove\nperft\n"
      "Qh9\nzzz\n" + std::string(400, 'x') + "\nset " + std::string(300, 'y') + " 1\n"
      "fen rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -\n]\nbd\nquit\n";
  auto lines = RunEngineScript({"-c"}, input, &status);
  EXPECT_EQ(status, 0);
  // "fen" with nothing is refused and the board stays; the FEN line later
  // sets up a game again.
  EXPECT_TRUE(HasLine(lines, "refused FEN: the board field is not 8 ranks of 8 squares (the previous position stays)"));
  EXPECT_EQ(CountContaining(lines, "8/8/8/8/8/8/8/8 "), 0);
  EXPECT_TRUE(HasLine(lines, "loading , tag "));
  EXPECT_TRUE(HasLine(lines, "invalid: a1a1"));
  EXPECT_EQ(CountContaining(lines, "invalid: "), 4);  // move, Qh9, zzz and the long word
  EXPECT_EQ(CountContaining(lines, "visited 1 nodes"), 1);
  EXPECT_EQ(LastFen(lines), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
}

TEST(Console, OnlyQuitAndStopActDuringASearch) {
  EngineProcess engine({"-c"});
  engine.Send("e4");
  engine.Send("go");
  engine.ReadUntil("Ply= 1");
  engine.Send("new");
  engine.Send("e5");
  engine.Send(".");
  auto lines = engine.ReadUntil("Hash fill= ", ScaledTimeout(10000));
  engine.Send("bd");
  lines = engine.ReadUntil("black");
  EXPECT_EQ(LastFen(lines), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  // quit during a search ends the engine without a summary.
  engine.Send("go");
  engine.ReadUntil("Ply= 1");
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(ScaledTimeout(10000)), 0);
  EXPECT_EQ(CountContaining(engine.lines(), "move= "), 1);
}

TEST(Console, AnAnalysisLeftRunningAtTheEndOfTheInputIsStopped) {
  int status = -1;
  auto lines = RunEngineScript({"-c"}, "go\n", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(CountContaining(lines, "move= "), 1);
}

}  // namespace

// Console games and positions from files and from the board editor, end to
// end through ./zorv -c: load, save, get and edit.
#include <gtest/gtest.h>

#include "support/console_session.h"
#include "support/engine_process.h"

namespace {

const std::string kStartBoard = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

TEST(ConsoleFiles, LoadsAGameByTagSavesItAndLoadsTheSavedGame) {
  TempDir dir;
  std::string games = TestData("pgn/kasparov-deep-blue-1997.pgn");
  auto lines = RunEngineScript({"-c"},
                               "load " + games + "\nload " + games + " \"06\"]\nsave\nnew\nload tmp.pgn\n"
                               "load " + games + " no-such-text\n",
                               nullptr, dir.path());
  EXPECT_TRUE(HasLine(lines, "loading " + games + ", tag "));
  EXPECT_TRUE(HasLine(lines, "loading " + games + ", tag \"06\"]"));
  EXPECT_EQ(CountContaining(lines, "can't parse"), 0);
  std::vector<std::string> fens = PrintedFens(lines);
  ASSERT_EQ(fens.size(), 6u);
  // The first game ends after 89 plies (Black to move at move 45); game six
  // (Site "06") after 37.
  EXPECT_EQ(fens[1].substr(fens[1].size() - 3), " 45");
  const std::string game6 = "r1k4r/p2nb1p1/2b4p/1p1n1p2/2PP4/3Q1NB1/1P3PPP/R5K1 b - c3 0 19";
  EXPECT_EQ(fens[2], game6);
  EXPECT_EQ(fens[3], kStartBoard);
  EXPECT_EQ(fens[4], game6);
  // A tag that no game holds leaves the start position.
  EXPECT_EQ(fens[5], kStartBoard);
  std::string saved = dir.Read("tmp.pgn");
  // Eleven moves a line, each followed by a blank; two line ends close it.
  EXPECT_EQ(saved.rfind("[Event \"Unknown\"]\ne4 c6 d4 d5 Nc3 dxe4 Nxe4 Nd7 Ng5 Ngf6 Bd3 \ne6 N1f3 ", 0), 0u) << saved;
  EXPECT_EQ(saved.substr(saved.size() - 25), "Bf5 \nexf5 Rxe7 Bxe7 c4 \n\n") << saved;
}

TEST(ConsoleFiles, AGameFromASetUpPositionKeepsItsStart) {
  TempDir dir;
  auto lines = RunEngineScript({"-c"}, "fen 4k3/8/8/8/8/8/4P3/4K2R w K -\nO-O\nKd7\ne4\nsave\nsave\nload tmp.pgn\n",
                               nullptr, dir.path());
  std::vector<std::string> fens = PrintedFens(lines);
  ASSERT_GE(fens.size(), 5u);
  EXPECT_EQ(fens.back(), fens[fens.size() - 2]);
  EXPECT_EQ(fens.back(), "8/3k4/8/8/4P3/8/8/5RK1 b - e3 0 2");
  // Saving appends: two games, each with its start.
  std::string saved = dir.Read("tmp.pgn");
  std::string game = "[Event \"Unknown\"]\n[SetUp \"1\"]\n[FEN \"4k3/8/8/8/8/8/4P3/4K2R w K - 0 1\"]\no-o Kd7 e4 \n\n";
  EXPECT_EQ(saved, game + game);
}

TEST(ConsoleFiles, BrokenAndOddGamesLoadSafely) {
  TempDir dir;
  dir.Write("commented.pgn",
            "[Event \"a\"]\n[Black \"Deep (Blue)\"]\n\n1. e4 e5 2. Nf3 (2. f4 exf4 3. Nf3) Nc6 {a note (with\n"
            "brackets)} 3. Bb5! a6?! $1 ; the rest is a comment Nf6\n4. Ba4 1-0\n");
  dir.Write("broken.pgn", "[Event \"b\"]\n1. d4 d5 2. Qz9 Nf6\n");
  // A long game (920 plies): knights out and back.
  std::string long_game = "[Event \"c\"]\n";
  for (int i = 0; i < 230; i++) long_game += "Nf3 Nf6 Ng1 Ng8\n";
  dir.Write("long.pgn", long_game);
  dir.Write("fen.pgn", "[Event \"x\"]\n[FEN \"4k3/8/8/8/8/8/8/4K2R w K - 0 1\"]\n1. O-O Kd7 *\n");
  auto lines = RunEngineScript(
      {"-c"}, "load commented.pgn\nload broken.pgn\nload long.pgn\nload fen.pgn\nload missing.pgn\nbd\n", nullptr,
      dir.path());
  std::vector<std::string> fens = PrintedFens(lines);
  ASSERT_EQ(fens.size(), 6u);
  // Comments, the variation, annotation marks and the ";" comment are no moves.
  EXPECT_EQ(fens[1], "r1bqkbnr/1ppp1ppp/p1n5/4p3/B3P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 1 4");
  // The unreadable move ends the loading after the moves before it.
  EXPECT_TRUE(HasLine(lines, "can't parse move 'Qz9'"));
  EXPECT_EQ(fens[2], "rnbqkbnr/ppp1pppp/8/3p4/3P4/8/PPP1PPPP/RNBQKBNR w KQkq d6 0 2");
  // A game longer than 900 plies is loaded whole.
  EXPECT_EQ(CountContaining(lines, "game too long"), 0);
  EXPECT_EQ(fens[3], "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 255 461");
  // The FEN tag gives the start; the result token is no move.
  EXPECT_EQ(fens[4], "8/3k4/8/8/8/8/8/5RK1 w - - 1 2");
  // A missing file changes nothing.
  EXPECT_TRUE(HasLine(lines, "loading missing.pgn, tag "));
  EXPECT_EQ(fens[5], fens[4]);
}

TEST(ConsoleFiles, GetSetsUpAPositionOfTestEpdById) {
  TempDir dir;
  dir.Write("test.epd",
            "; id \"wanted\" in a comment\n 4k3/8/8/8/8/8/8/Q3K3 w - - id \"wanted\";\n"
            "4k3/8/8/8/8/8/8/R3K3 w - - bm Ra8#; id \"wanted\";\n4k3/8/8/8/8/8/8/B3K3 w - - id \"wanted\";\n");
  auto lines = RunEngineScript({"-c"}, "e4\nget wanted\nget nothing\n", nullptr, dir.path());
  EXPECT_TRUE(HasLine(lines, "4k3/8/8/8/8/8/8/R3K3 w - - bm Ra8#; id \"wanted\";"));
  std::vector<std::string> fens = PrintedFens(lines);
  ASSERT_EQ(fens.size(), 4u);
  EXPECT_EQ(fens[2], "4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  // No match: an empty line and the position stays.
  size_t at = FindLineStarting(lines, "4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  EXPECT_EQ(lines[at + 10], "");
  EXPECT_EQ(fens[3], fens[2]);
  // Without the file, get still prints the board.
  TempDir empty;
  lines = RunEngineScript({"-c"}, "get wanted\n", nullptr, empty.path());
  EXPECT_EQ(PrintedFens(lines).size(), 2u);
}

TEST(ConsoleFiles, EditorBuildsAPositionLineByLine) {
  auto lines = RunEngineScript({"-c"},
                               "e4\nedit\n#\nw Ke1 Rh1 Ra1 Pb2 Qz9 Nc3\nquit\nb ke8 ra8 rh8 Xa8 pc7 Kd9\n"
                               "w Bb2 " + std::string(120, 'x') + "\n.\nO-O-O\nundo\nundo\nbd\n");
  EXPECT_TRUE(HasLines(lines, {
      ".                    end edit",
      "#                    clear board",
      "w  Pa2 Pb2 Kc2       white, pieces",
      "b  Pa7 Pb7 Kc7       black, pieces",
  }));
  // The help starts after two empty lines.
  size_t help = FindLineStarting(lines, ".                    end edit");
  EXPECT_EQ(lines[help - 1], "");
  EXPECT_EQ(lines[help - 2], "");
  // Qz9 ends its line (no knight); Xa8 empties a8; the last line's colour
  // makes White to move and its bishop replaces the pawn. Castling follows
  // the kings and rooks: long castling for White, short for Black.
  std::vector<std::string> fens = PrintedFens(lines);
  ASSERT_EQ(fens.size(), 7u);
  // The edit began with Black to move at move 1 and hands the move to White:
  // White's next move is move 2.
  EXPECT_EQ(fens[2], "4k2r/2p5/8/8/8/8/1B6/R3K2R w KQk - 0 2");
  EXPECT_TRUE(HasLine(lines, "1. move O-O-O"));
  EXPECT_EQ(fens[3], "4k2r/2p5/8/8/8/8/1B6/2KR3R b k - 0 2");
  // The edited position starts the game: a second undo cannot go before it.
  EXPECT_EQ(fens[4], fens[2]);
  EXPECT_EQ(fens[5], fens[2]);
  EXPECT_EQ(fens[6], fens[2]);

  // The input ending inside the editor ends the edit.
  int status = -1;
  lines = RunEngineScript({"-c"}, "edit\n#\nw Ke1\nb ke8\n", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(LastFen(lines), "4k3/8/8/8/8/8/8/4K3 b - - 0 1");
}

}  // namespace

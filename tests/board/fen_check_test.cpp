// FEN text that cannot be a chess position, and the whitespace between
// fields.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "board/fen_check.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

struct Refused {
  const char* fen;
  const char* reason;
};

TEST(FenCheck, PositionsThatCannotBeSearchedAreRefusedWithTheirReason) {
  InitBoardForTests();
  const Refused cases[] = {
      {"8/8/8/8/8/8/8/8 w - - 0 1", "White has no king"},
      {"4k3/8/8/8/8/8/8/8 w - -", "White has no king"},
      {"8/8/8/8/8/8/8/4K3 b - -", "Black has no king"},
      {"4k3/8/8/8/8/8/8/2K1K3 w - -", "White has more than one king"},
      {"3kk3/8/8/8/8/8/8/4K3 w - -", "Black has more than one king"},
      {"P3k3/8/8/8/8/8/8/4K3 w - -", "a pawn stands on the first or last rank"},
      {"4k3/8/8/8/8/8/8/4K2p b - -", "a pawn stands on the first or last rank"},
      {"4k3/8/8/8/8/8/8/4K2r b - -", "White is in check with Black to move"},
      {"4k3/3P4/8/8/8/8/8/4K3 w - -", "Black is in check with White to move"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq -", "the side to move is neither w nor b"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR white KQkq -", "the side to move is neither w nor b"},
      {"rnbqkbnr/pppppppp/8/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", "the board field is not 8 ranks of 8 squares"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq -", "the board field is not 8 ranks of 8 squares"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRR w KQkq -", "the board field is not 8 ranks of 8 squares"},
      {"rnbqkbnr/ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", "the board field is not 8 ranks of 8 squares"},
      {"rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
       "the board field holds a character that is neither a piece nor a count of empty squares"},
      {"rnbqkbnr/pppppppp/8/8/4X3/8/PPPPPPPP/RNBQKBNR w KQkq -",
       "the board field holds a character that is neither a piece nor a count of empty squares"},
      {"", "the board field is not 8 ranks of 8 squares"},
  };
  for (const Refused& c : cases) {
    const char* why = FenProblem(c.fen);
    ASSERT_NE(why, nullptr) << c.fen;
    EXPECT_STREQ(why, c.reason) << c.fen;
  }
}

TEST(FenCheck, OddButSearchablePositionsPass) {
  InitBoardForTests();
  const char* odd[] = {
      "qqqqqqqq/qqqqqqqq/8/8/8/8/8/K6k w - -",                      // 16 queens, more than 16 men
      "4k3/pppppppp/p7/8/8/PPPPP3/PPPPPPPP/4K3 w - -",               // 13 white pawns, 9 black
      "4k3/8/8/8/8/8/8/4K3 w KQkq e3 0 1",                          // rights and an en-passant square that fit nothing
      "4k3/8/8/8/8/8/4r3/4K3 w - - 0 1",                            // the side to move in check
      "4k3/8/8/8/8/8/3n4/4K3 w - - 150 300",                        // the counter far past 100
      "r3k2r/8/8/8/8/8/8/R3K2R",                                    // no side field: White
      "  rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR\tb\tKQkq\t-",  // blanks before, tabs between
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR W KQkq -",
  };
  for (const char* fen : odd) EXPECT_EQ(FenProblem(fen), nullptr) << fen;
}

// Every position of the test suites is a position: none may be refused.
TEST(FenCheck, NoPositionOfTheTestSuitesIsRefused) {
  InitBoardForTests();
  int checked = 0;
  for (const char* suite : {"perft/tricky.perft", "perft/random.perft", "perft/chess960.perft"}) {
    for (const PerftRecord& r : LoadPerftSuite(TestData(suite))) {
      EXPECT_EQ(FenProblem(r.fen.c_str()), nullptr) << suite << ": " << r.fen;
      checked++;
    }
  }
  for (const char* file : {"epd/wac.epd", "epd/bratko-kopec.epd", "openings-balanced.epd"}) {
    std::ifstream in(TestData(file));
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::string board, side, castling, ep;
      if (!(words >> board >> side >> castling >> ep)) continue;
      std::string fen = board + " " + side + " " + castling + " " + ep;
      EXPECT_EQ(FenProblem(fen.c_str()), nullptr) << file << ": " << fen;
      checked++;
    }
  }
  EXPECT_GT(checked, 500);
}

TEST(FenWhitespace, TabsAndRunsOfBlanksSeparateFields) {
  PositionPtr spaced = MakePosition("r3k2r/8/8/8/4p3/8/8/R3K2R b KQkq e3 7 30");
  for (const char* fen : {"r3k2r/8/8/8/4p3/8/8/R3K2R\tb\tKQkq\te3\t7\t30",
                          "\t r3k2r/8/8/8/4p3/8/8/R3K2R  b \t KQkq\t\te3   7\t30\t"}) {
    PositionPtr tabbed = MakePosition(fen);
    EXPECT_EQ(Fen(tabbed.get()), Fen(spaced.get())) << fen;
    EXPECT_EQ(tabbed->key, spaced->key) << fen;
    EXPECT_EQ(tabbed->fifty, 7) << fen;
    EXPECT_EQ(tabbed->move_number, 30) << fen;
  }
}

TEST(FenWhitespace, AMissingSideFieldMeansWhiteWhateverCameBefore) {
  PositionPtr t = MakePosition("4k3/8/8/8/8/8/8/4K3 b - -");
  ASSERT_EQ(t->side, BLACK);
  SetupPosition(t.get(), "4k3/8/8/8/8/8/8/R3K3");
  EXPECT_EQ(t->side, WHITE);
  SetupPosition(t.get(), "4k3/8/8/8/8/8/8/R3K3 B");
  EXPECT_EQ(t->side, BLACK);
}

}  // namespace

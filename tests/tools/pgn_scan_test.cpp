// PGN scanning: scores read from move comments, tag handling and skipped
// games, the four output variants, damaged files, and a real file of
// engine games.
#include <gtest/gtest.h>

#include "tool_test_helpers.h"
#include "tools/comment_score.h"
#include "tools/scan_game.h"

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(CommentScore, EngineCommentsBookAndEval) {
  EXPECT_EQ(CommentScore("+0.35/18 0.5s", false), 35);
  EXPECT_EQ(CommentScore("-1.01/10 0.23s", true), -101);
  // Read as decimal text: 0.29 is not 0.28999... here.
  EXPECT_EQ(CommentScore("+0.29/12 0.1s", false), 29);
  EXPECT_EQ(CommentScore("+0.355/12", false), 35);
  EXPECT_EQ(CommentScore("0.00/10 0.25s", false), 0);
  EXPECT_EQ(CommentScore("+48.50/24 0.078s", false), 4850);
  EXPECT_EQ(CommentScore("-M5/30", false), -kMateAnnounced);
  EXPECT_EQ(CommentScore("+M1/127 0.003s, Black mates", true), kMateAnnounced);
  EXPECT_EQ(CommentScore("book", false), 0);
  EXPECT_EQ(CommentScore("+0.20/3 book", false), 0);
  // eval figures are White's view.
  EXPECT_EQ(CommentScore("eval 120", false), 120);
  EXPECT_EQ(CommentScore("eval 120", true), -120);
  EXPECT_EQ(CommentScore("depth 12, eval -35, time 3", false), -35);
  EXPECT_EQ(CommentScore("eval , depth 3", false), kUnreadableScore);
  // Words of two characters or less before the slash, or no slash at all.
  EXPECT_EQ(CommentScore("1/2", false), kUnreadableScore);
  EXPECT_EQ(CommentScore("a fine move", false), kUnreadableScore);
  EXPECT_EQ(CommentScore("", false), kUnreadableScore);
}

// The moves of a short real game (20 moves each side), legal from the start.
const char* const kGameMoves[] = {
    "e4",   "e5",   "Nf3",  "Nc6", "Bb5", "a6",   "Ba4",  "Nf6",  "O-O",  "Be7",  "Re1",   "b5",   "Bb3", "d6",
    "c3",   "O-O",  "h3",   "Nb8", "d4",  "Nbd7", "c4",   "c6",   "cxb5", "axb5", "Nc3",   "Bb7",  "Bg5", "b4",
    "Nb1",  "h6",   "Bh4",  "c5",  "dxe5", "Nxe4", "Bxe7", "Qxe7", "exd6", "Qf6",  "Nbd2", "Nxd6"};
constexpr int kGamePlies = 40;

// Movetext with a comment after every move: "book" for the first `book`
// plies, then White +0.35 and Black -0.20 from their own views.
std::string Movetext(int plies, int book, const std::string& result) {
  std::string text;
  for (int i = 0; i < plies; i++) {
    if (i % 2 == 0) text += std::to_string(i / 2 + 1) + ". ";
    text += kGameMoves[i];
    text += i < book ? " {book} " : i % 2 == 0 ? " {+0.35/12 0.5s} " : " {-0.20/11 0.4s} ";
    if (i % 6 == 5) text += "\n";
  }
  return text + result + "\n\n";
}

std::string Tags(const std::string& result, const std::string& extra = "") {
  return "[Event \"test\"]\n[Site \"here\"]\n[Round \"1\"]\n[White \"A\"]\n[Black \"B\"]\n" + extra + "[Result \"" +
         result + "\"]\n\n";
}

TEST(PgnScan, ResultLabelsSkipBookMovesAndSkippedGames) {
  TempDir dir;
  std::string pgn = Tags("1-0") + Movetext(kGamePlies, 24, "1-0") +
                    // Lost on time before the result: neither counted nor written.
                    Tags("0-1", "[Termination \"time forfeit\"]\n") + Movetext(kGamePlies, 0, "0-1") +
                    // After the result: counted, not written.
                    "[Event \"t\"]\n[White \"A\"]\n[Black \"B\"]\n[Result \"1-0\"]\n[Termination \"abandoned\"]\n\n" +
                    Movetext(kGamePlies, 0, "1-0");
  dir.Write("games.pgn", pgn);
  ToolRun run = RunTool(dir, {"-scan_pgn2", "games.pgn"});
  EXPECT_EQ(run.status, 0);
  // Plies 20 to 35: the first 20 are book moves scored 0, the last four
  // are left out, and no position of the game is in check.
  auto out = FileLines(dir, "tmp.epd");
  ASSERT_EQ(out.size(), 17u);
  EXPECT_EQ(out.back(), "");
  out.pop_back();
  EXPECT_TRUE(HasLine(run.lines, "games= 2, positions= 16"));
  int book = 0;
  for (const auto& line : out) {
    auto m = FindLine({line}, R"(\S+ (w|b) \S+ \S+ ce (-?[0-9]+); gr ([01]\.0);)");
    ASSERT_FALSE(m.empty()) << line;
    // White won: White to move scores +35 and 1.0, Black -20 and 0.0;
    // book moves after the 20th ply are written with 0.
    if (m[2] == "0") book++;
    else EXPECT_EQ(m[2], m[1] == "w" ? "35" : "-20");
    EXPECT_EQ(m[3], m[1] == "w" ? "1.0" : "0.0");
  }
  EXPECT_EQ(book, 4);
}

TEST(PgnScan, GamesAreCountedInHundreds) {
  TempDir dir;
  std::string pgn;
  for (int i = 0; i < 120; i++) pgn += "[Event \"e\"]\n[Result \"*\"]\n\n1. e4 *\n\n";
  dir.Write("games.pgn", pgn);
  ToolRun run = RunTool(dir, {"-scan_pgn2", "games.pgn"});
  EXPECT_TRUE(HasLine(run.lines, "game 100"));
  EXPECT_EQ(CountContaining(run.lines, "game "), 1);
  EXPECT_TRUE(HasLine(run.lines, "games= 120, positions= 0"));
}

TEST(PgnScan, ListingWithTagsMistakesAndTheExtraFile) {
  TempDir dir;
  // Black's score jumps after White's 8th move, c3 (ply 14): a mistake.
  std::string text;
  for (int i = 0; i < kGamePlies; i++) {
    if (i % 2 == 0) text += std::to_string(i / 2 + 1) + ". ";
    int score = i % 2 == 0 ? (i > 14 ? -150 : 10) : (i > 14 ? 150 : -10);
    char comment[32];
    std::snprintf(comment, sizeof comment, " {%+.2f/10 1s} ", score / 100.0);
    text += kGameMoves[i] + std::string(comment);
  }
  dir.Write("games.pgn", Tags("0-1") + text + "0-1\n");
  ToolRun run = RunTool(dir, {"-scan_pgn1", "games.pgn", "-o", "listing.txt"});
  auto out = FileLines(dir, "listing.txt");
  ASSERT_GE(out.size(), 7u + kGamePlies);
  EXPECT_EQ(out[0], "[Event \"test\"]");
  EXPECT_EQ(out[3], "[Tag \"game_0\"]");
  EXPECT_EQ(out[6], "[Result \"0-1\"]");
  EXPECT_EQ(out[7], "  1.  e4      {  0.10}");
  EXPECT_EQ(out[8], "     e5      {  0.10}");
  EXPECT_EQ(out[7 + kGamePlies], "");
  // c3 is marked with am, and the move after it is written as the answer.
  const std::string& c3 = out[7 + 14];
  EXPECT_EQ(c3.rfind("  8.  c3      {  0.10 ? ", 0), 0u) << c3;
  EXPECT_TRUE(EndsWith(c3, " w kq - 0 8 am c3;}")) << c3;
  const std::string& castles = out[7 + 15];
  EXPECT_EQ(castles.rfind("     O-O     { -1.50   ", 0), 0u) << castles;
  EXPECT_TRUE(EndsWith(castles, " b kq - 0 8 bm O-O;}")) << castles;
  auto extra = FileLines(dir, "tmpX.epd");
  ASSERT_EQ(extra.size(), 1u);
  EXPECT_TRUE(EndsWith(extra[0], " b kq - 0 8 bm O-O;")) << extra[0];
  EXPECT_TRUE(HasLine(run.lines, "games= 1, positions= 1"));
}

TEST(PgnScan, BestMovesStopWhenDecidedAndRookEndings) {
  TempDir dir;
  // e5 has no comment: no line, and the walk goes on.
  std::string pgn = Tags("1/2-1/2") + "1. e4 {+0.30/9} e5 2. Qh5 {+6.00/9} Nc6 {+0.30/9} *\n\n" +
                    Tags("1-0", "[FEN \"4k3/8/8/8/4P3/4K3/8/r6R w - - 0 1\"]\n") +
                    "1. Rh8+ {+2.00/20} Kd7 {-2.10/20} 2. Rh7+ {+2.20/20} Ke6 {eval -230} 3. Rxa... *\n\n" +
                    Tags("1-0", "[FEN \"4k3/8/8/8/4P3/4K3/8/r6R b - - 0 1\"]\n") + "1... Ra3+ {eval 50} *\n";
  dir.Write("games.pgn", pgn);
  RunTool(dir, {"-scan_pgn3", "games.pgn"});
  auto best = FileLines(dir, "tmp.epd");
  ASSERT_GE(best.size(), 3u);
  EXPECT_EQ(best[0], "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 bm e4; ce 30;");
  // Qh5 scores +6.00: written, and the game's walk ends after it.
  EXPECT_TRUE(EndsWith(best[1], " w KQkq e6 0 2 bm Qh5; ce 600;")) << best[1];
  EXPECT_EQ(best[2], "4k3/8/8/8/4P3/4K3/8/r6R w - - 0 1 bm Rh8+; ce 200;");

  RunTool(dir, {"-scan_pgn4", "games.pgn", "-o", "rooks.epd"});
  auto rooks = FileLines(dir, "rooks.epd");
  // Ke6's eval comment is White's view: -230 for White is +230 for Black.
  ASSERT_EQ(rooks.size(), 6u);
  EXPECT_EQ(rooks[0], "4k3/8/8/8/4P3/4K3/8/r6R w - - 0 1 bm Rh8+; ce 200; tune 1.00000;");
  EXPECT_EQ(rooks[1], "4k2R/8/8/8/4P3/4K3/8/r7 b - - 1 1 bm Kd7; ce -210; tune 0.00000;");
  EXPECT_EQ(rooks[3], "8/3k3R/8/8/4P3/4K3/8/r7 b - - 3 2 bm Ke6; ce 230; tune 0.00000;");
  // Black moves first in the last game: its eval comment is negated too.
  EXPECT_EQ(rooks[4], "4k3/8/8/8/4P3/4K3/8/r6R b - - 0 1 bm Ra3+; ce -50; tune 0.00000;");
  EXPECT_EQ(rooks[5], "");
}

TEST(PgnScan, DamagedFilesAndLongGames) {
  TempDir dir;
  // An unterminated tag and a comment that never closes: the next game is
  // read as usual.
  std::string pgn = "[Event \"broken\n[Result \"1-0\n1. e4 {+0.10/5 2. d4 {+0.20/5} *\n\n" + Tags("1-0") +
                    "1. d4 {+0.15/5} d5 {-0.10/5} *\n\n";
  // A game longer than the move list: knights back and forth.
  std::string shuffle;
  for (int i = 0; i < 220; i++) shuffle += "Nf3 {+0.01/1} Nf6 {-0.01/1} Ng1 {+0.01/1} Ng8 {-0.01/1} ";
  pgn += Tags("1/2-1/2") + shuffle + "\n1/2-1/2\n";
  dir.Write("games.pgn", pgn);
  ToolRun run = RunTool(dir, {"-scan_pgn1", "games.pgn"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(HasLine(run.lines, "games= 3, positions= 0"));
  auto out = FileLines(dir, "tmp.epd");
  EXPECT_EQ(CountContaining(out, "  1.  e4      {  0.10}"), 0);
  EXPECT_EQ(CountContaining(out, "  1.  d4      {  0.15}"), 1);
  EXPECT_EQ(CountContaining(out, "     d5      {  0.10}"), 1);
  EXPECT_EQ(CountContaining(out, "  {"), 3 + kScanMaxMoves);
  // The comments of moves that did not fit leave the last kept move alone.
  EXPECT_EQ(CountContaining(out, "  {  0.01}"), kScanMaxMoves);

  // Missing files are refused without output.
  TempDir empty;
  run = RunTool(empty, {"-scan_pgn2", "missing.pgn"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(CountContaining(run.lines, "games="), 0);
  EXPECT_FALSE(empty.Exists("tmp.epd"));
  // The games are never their own output.
  run = RunTool(dir, {"-scan_pgn3", "games.pgn", "-o", "games.pgn"});
  EXPECT_EQ(CountContaining(run.lines, "games="), 0);
  EXPECT_EQ(dir.Read("games.pgn"), pgn);
}

TEST(PgnScan, RealEngineGamesReplayToTheEnd) {
  TempDir dir;
  std::string pgn = TestData("pgn/cutechess-fischerrandom.pgn");
  ToolRun run = RunTool(dir, {"-scan_pgn1", pgn});
  EXPECT_TRUE(HasLine(run.lines, "games= 4, positions= 10"));
  auto out = FileLines(dir, "tmp.epd");
  // 120 + 99 + 70 + 107 plies, every one replayed (castling, promotion and
  // the final mate included).
  int moves = 0;
  for (const auto& l : out)
    if (l.find("  {") != std::string::npos) moves++;
  EXPECT_EQ(moves, 396);
  EXPECT_EQ(CountContaining(out, "     Rh2#    {-90.00}"), 1);
  EXPECT_EQ(CountContaining(out, " 21.  O-O-O   { -1.50}"), 1);
  EXPECT_EQ(FileLines(dir, "tmpX.epd").size(), 10u);

  run = RunTool(dir, {"-scan_pgn2", pgn, "-o", "labels.epd"});
  auto labels = FileLines(dir, "labels.epd");
  ASSERT_FALSE(labels.empty());
  labels.pop_back();
  EXPECT_TRUE(HasLine(run.lines, "games= 4, positions= " + std::to_string(labels.size())));
  for (const auto& l : labels)
    EXPECT_FALSE(FindLine({l}, R"(\S+ [wb] \S+ \S+ ce -?[0-9]+; gr (0\.0|0\.5|1\.0);)").empty()) << l;
}

}  // namespace

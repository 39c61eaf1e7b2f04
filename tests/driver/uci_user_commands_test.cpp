// The commands people and scripts type in UCI mode beside the protocol (go
// perft, d, eval, bench, help) and the answer to unknown lines, end to end
// through ./zorv's standard input.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

const std::string kKiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// One go perft answer: its "move: count" lines, and the total of the
// "Nodes searched: " line that must follow them between two blank lines
// (-1 when that is not so).
struct PerftAnswer {
  std::vector<std::pair<std::string, long long>> moves;
  long long total = -1;
  bool Has(const std::string& move) const {
    for (const auto& entry : moves)
      if (entry.first == move) return true;
    return false;
  }
};

// Every go perft answer in the output, in order.
std::vector<PerftAnswer> PerftAnswers(const std::vector<std::string>& lines) {
  static const std::regex move_line(R"(([a-h][1-8][a-h][1-8][qrbn]?): ([0-9]+))");
  std::vector<PerftAnswer> answers;
  std::smatch m;
  for (size_t i = 0; i < lines.size(); i++) {
    if (!std::regex_match(lines[i], m, move_line)) continue;
    PerftAnswer answer;
    for (; i < lines.size() && std::regex_match(lines[i], m, move_line); i++)
      answer.moves.emplace_back(m[1], std::stoll(m[2]));
    if (i + 2 < lines.size() && lines[i].empty() && lines[i + 1].rfind("Nodes searched: ", 0) == 0 &&
        lines[i + 2].empty())
      answer.total = std::stoll(lines[i + 1].substr(16));
    answers.push_back(answer);
  }
  return answers;
}

TEST(UciUserCommands, GoPerftListsEveryMoveWithItsCountAndTheTotal) {
  auto lines = RunEngineScript({}, "position startpos\ngo perft 2\nposition fen " + kKiwipete +
                                       "\ngo perft 3\nquit\n");
  std::vector<PerftAnswer> answers = PerftAnswers(lines);
  ASSERT_EQ(answers.size(), 2u);
  const PerftAnswer& opening = answers[0];
  ASSERT_EQ(opening.moves.size(), 20u);
  for (const auto& [move, count] : opening.moves) EXPECT_EQ(count, 20) << move;
  EXPECT_EQ(opening.total, 400);
  // Sorted by move text, as a diff between two engines' answers wants.
  EXPECT_EQ(opening.moves.front().first, "a2a3");
  EXPECT_EQ(opening.moves.back().first, "h2h4");

  const PerftAnswer& kiwipete = answers[1];
  EXPECT_EQ(kiwipete.moves.size(), 48u);
  EXPECT_EQ(kiwipete.total, 97862);
  long long sum = 0;
  for (const auto& [move, count] : kiwipete.moves) sum += count;
  EXPECT_EQ(sum, kiwipete.total);
  EXPECT_EQ(CountContaining(lines, "bestmove"), 0) << "go perft starts no search";
}

TEST(UciUserCommands, GoPerftWritesCastlingAndPromotionsAsTheProtocolDoes) {
  const std::string fen = "r3k3/1P6/8/8/8/8/8/R3K2R w KQq - 0 1";
  auto lines = RunEngineScript({}, "position fen " + fen + "\ngo perft 1\n"
                                   "setoption name UCI_Chess960 value true\nposition fen " + fen +
                                   "\ngo perft 1\nquit\n");
  std::vector<PerftAnswer> answers = PerftAnswers(lines);
  ASSERT_EQ(answers.size(), 2u);
  const PerftAnswer& plain = answers[0];
  const PerftAnswer& frc = answers[1];
  EXPECT_TRUE(plain.Has("e1g1") && plain.Has("e1c1"));
  EXPECT_TRUE(frc.Has("e1h1") && frc.Has("e1a1"));
  for (const char* promotion : {"b7b8q", "b7b8r", "b7b8b", "b7b8n", "b7a8q", "b7a8n"})
    EXPECT_TRUE(plain.Has(promotion)) << promotion;
  EXPECT_EQ(plain.total, frc.total);
  EXPECT_EQ(plain.total, static_cast<long long>(plain.moves.size()));
}

TEST(UciUserCommands, GoPerftRefusesABadDepthAndEndsARunningSearchFirst) {
  auto lines = RunEngineScript({}, "go perft 0\ngo perft 21\ngo perft x\ngo perft 2 3\ngo perft\nisready\nquit\n");
  EXPECT_EQ(CountContaining(lines, "info string go perft needs a depth of 1 to 20"), 5);
  EXPECT_EQ(CountContaining(lines, "Nodes searched"), 0);
  EXPECT_EQ(CountContaining(lines, "bestmove"), 0) << "go perft never starts a search";
  EXPECT_TRUE(HasLine(lines, "readyok"));

  // A search in progress answers before the count begins.
  EngineProcess engine;
  engine.Send("position startpos");
  engine.Send("go infinite");
  engine.ReadUntil("info depth 1", ScaledTimeout(20000));
  engine.Send("go perft 1");
  std::vector<std::string> got = engine.ReadUntil("Nodes searched", ScaledTimeout(20000));
  size_t best = 0, first_count = 0;
  for (size_t j = 0; j < got.size(); j++) {
    if (got[j].rfind("bestmove ", 0) == 0 && best == 0) best = j + 1;
    if (got[j] == "e2e4: 1" && first_count == 0) first_count = j + 1;
  }
  EXPECT_NE(best, 0u);
  EXPECT_LT(best, first_count);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(ScaledTimeout(10000)), 0);
}

TEST(UciUserCommands, DShowsTheBoardItsFenAndAKeyThatFollowsThePosition) {
  auto lines = RunEngineScript({}, "position startpos moves g1f3 g8f6 b1c3\nd\n"
                                   "position startpos moves b1c3 g8f6 g1f3\nd\n"
                                   "position startpos moves e2e4\nd\nquit\n");
  std::vector<std::string> fens, keys;
  for (const std::string& line : lines) {
    if (line.rfind("Fen: ", 0) == 0) fens.push_back(line.substr(5));
    if (line.rfind("Key: ", 0) == 0) keys.push_back(line.substr(5));
  }
  ASSERT_EQ(fens.size(), 3u);
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(fens[0], "rnbqkb1r/pppppppp/5n2/8/8/2N2N2/PPPPPPPP/R1BQKB1R b KQkq - 3 2");
  EXPECT_EQ(fens[1], fens[0]);
  EXPECT_EQ(fens[2], "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  for (const std::string& key : keys) EXPECT_TRUE(std::regex_match(key, std::regex("[0-9A-F]{16}"))) << key;
  // The same position by another move order has the same key; another
  // position another one.
  EXPECT_EQ(keys[0], keys[1]);
  EXPECT_NE(keys[0], keys[2]);
  // The board comes first: the diagram's rank 8 of the start position.
  EXPECT_TRUE(HasLine(lines, "  r n b q k b n r"));
}

TEST(UciUserCommands, EvalShowsTheBreakdownAndTheScoreFromWhitesSide) {
  // White has an extra queen, whoever is to move; the side to move in check
  // has no static evaluation.
  auto lines = RunEngineScript({}, "position fen 4k3/pppp4/8/8/8/8/PPPP4/3QK3 w - - 0 1\neval\n"
                                   "position fen 4k3/pppp4/8/8/8/8/PPPP4/3QK3 b - - 0 1\neval\n"
                                   "position fen 4k3/pppp4/8/8/8/8/PPPP4/3QK2r w - - 0 1\neval\nquit\n");
  std::vector<std::string> finals;
  for (const std::string& line : lines)
    if (line.rfind("Final evaluation: ", 0) == 0) finals.push_back(line);
  ASSERT_EQ(finals.size(), 3u);
  std::smatch m;
  static const std::regex score(R"(Final evaluation: ([+-][0-9]+\.[0-9]{2}) \(White's side, (network|hand-crafted)\))");
  ASSERT_TRUE(std::regex_match(finals[0], m, score)) << finals[0];
  EXPECT_GT(std::stod(m[1]), 5.0);
  ASSERT_TRUE(std::regex_match(finals[1], m, score)) << finals[1];
  EXPECT_GT(std::stod(m[1]), 5.0) << "Black to move: still White's side";
  EXPECT_EQ(finals[2], "Final evaluation: none (in check)");
  // The breakdown's summary line, once per eval.
  EXPECT_EQ(CountContaining(lines, "nne= "), 3);
}

TEST(UciUserCommands, BenchGivesTheRecordedSignatureAndPutsTheGameBack) {
  std::ifstream in(ZORV_BENCH_SIGNATURE);
  std::string line, recorded;
  while (std::getline(in, line))
    if (line.rfind("depth 6 nodes ", 0) == 0) recorded = line.substr(14);
  ASSERT_NE(recorded, "");
  // Options a front end has set and a limit of an earlier go do not reach
  // the bench; the game, the limits and the table are as before afterwards.
  auto lines = RunEngineScript({}, "setoption name Hash value 16\nposition startpos moves e2e4\n"
                                   "go nodes 500 searchmoves e7e5\nbench 6\nd\ngo depth 2\nbench 3 4\nbench x\nbench 99\nquit\n");
  EXPECT_TRUE(HasLine(lines, "Bench: " + recorded)) << "the UCI bench differs from ./zorv bench 6";
  EXPECT_TRUE(HasLine(lines, "info string allocated 1 Mbytes for hash table"));
  EXPECT_TRUE(HasLine(lines, "info string allocated 16 Mbytes for hash table"));
  EXPECT_TRUE(HasLine(lines, "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"));
  ASSERT_GE(CountContaining(lines, "bestmove "), 2);
  std::string last;
  for (const std::string& l : lines)
    if (l.rfind("bestmove ", 0) == 0) last = l.substr(9, l.find(' ', 9) - 9);
  EXPECT_TRUE(IsLegalMoveText(kStartFen, "e2e4", last)) << last;
  EXPECT_EQ(CountContaining(lines, "info string bench takes a depth of 1 to 30"), 3);
}

TEST(UciUserCommands, HelpListsTheCommandsAndUnknownLinesAreNamedOnce) {
  auto lines = RunEngineScript({}, "help\nfoo bar\n  flip\nregister later\n\nisready\nquit\n");
  for (const char* command : {"  go perft <n>  ", "  d  ", "  eval  ", "  bench [d]  ", "position [startpos | fen <FEN>]"})
    EXPECT_EQ(CountContaining(lines, command), 1) << command;
  EXPECT_TRUE(HasLine(lines, "info string Unknown command: foo bar"));
  EXPECT_TRUE(HasLine(lines, "info string Unknown command: flip"));
  EXPECT_EQ(CountContaining(lines, "Unknown command"), 2) << "register needs no answer, an empty line none";
  // A long unknown line is named by its start, bytes of no text as '?'.
  lines = RunEngineScript({}, std::string(5000, 'x') + "\n\x01\xff junk\tend\nquit\n");
  EXPECT_TRUE(HasLine(lines, "info string Unknown command: " + std::string(120, 'x') + "..."));
  EXPECT_TRUE(HasLine(lines, "info string Unknown command: ?? junk?end"));
}

TEST(ConsoleHelp, ListsTheCommandsInsteadOfReadingAMove) {
  auto lines = RunEngineScript({"-c"}, "help\nquit\n");
  EXPECT_EQ(CountContaining(lines, "invalid"), 0);
  for (const char* command : {"quit ", "new ", "perft ", "undo ", "set ", "help ", "uci "})
    EXPECT_GE(CountContaining(lines, command), 1) << command;
}

}  // namespace

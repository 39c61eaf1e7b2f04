// The training data: the game record format, its readers (training files and
// PGN with score comments), the position filter, and the self-play tool.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/notation.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"
#include "tools/training/train_games.h"
#include "tools/training/train_pgn.h"
#include "tools/training/train_record.h"
#include "tools/tool_test_helpers.h"

namespace {

// What a reader must give back for one position.
struct Expected {
  std::string fen;
  int score, result, side;
};

// Random legal games with made-up scores, and what each position must read
// back as.
std::vector<TrainGame> RandomGames(int count, std::vector<Expected>* expected) {
  std::mt19937 random(12345);
  const char* starts[] = {kStartFen, "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -",
                          "8/8/3k4/8/3K4/8/4P3/8 w - -"};
  std::vector<TrainGame> games;
  for (int g = 0; g < count; g++) {
    auto game = std::make_unique<TrainGame>();
    std::string start = starts[g % 3];
    std::snprintf(game->fen, sizeof game->fen, "%s", start.c_str());
    game->result = int(random() % 3) - 1;
    game->termination = kEndResign;
    ThreadPtr board = MakeThread(start);
    int length = int(random() % 150);
    game->move_count = 0;
    for (int i = 0; i < length; i++) {
      std::vector<Move> moves = LegalMoves(&board->pos);
      if (moves.empty()) break;
      Move move = moves[random() % moves.size()];
      int16_t score = i % 7 == 3 ? kTrainNoScore : int16_t(int(random() % 4001) - 2000);
      int side = board->pos.side;
      expected->push_back({Fen(&board->pos), score, side == WHITE ? game->result : -game->result, side});
      game->moves[game->move_count++] = TrainMove{move, score};
      MakeMove(&board->pos, move);
      board->pos.ply = 1;
    }
    games.push_back(*game);
  }
  return games;
}

std::string Encode(const TrainGame& game) {
  std::vector<uint8_t> buffer(kTrainMaxRecordBytes);
  int size = EncodeTrainGame(game, buffer.data());
  return std::string(buffer.begin(), buffer.begin() + size);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// What the reader gave for each position; the board is gone by the time the
// reader returns, so its FEN and side are taken at once.
struct ReadPosition {
  std::string fen;
  int side, score, result;
};

std::vector<ReadPosition> ReadBack(const std::string& path, GameFileTotals* totals) {
  std::vector<ReadPosition> read;
  EXPECT_TRUE(ForEachGamePosition(
      path.c_str(),
      [&](const GamePosition& p) { read.push_back({Fen(p.pos), int(p.pos->side), p.score, p.result}); }, totals));
  return read;
}

}  // namespace

TEST(TrainRecord, PositionsReadBackAsWrittenOverManyGames) {
  TempDir dir;
  std::vector<Expected> expected;
  std::vector<TrainGame> games = RandomGames(60, &expected);
  int fd = open(dir.File("games.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  for (const TrainGame& g : games) ASSERT_TRUE(AppendTrainGame(fd, g));
  close(fd);

  GameFileTotals totals;
  std::vector<ReadPosition> read = ReadBack(dir.File("games.bin"), &totals);
  EXPECT_EQ(totals.games, 60u);
  EXPECT_EQ(totals.broken_games, 0u);
  ASSERT_EQ(read.size(), expected.size());
  for (size_t i = 0; i < read.size(); i++) {
    EXPECT_EQ(read[i].fen, expected[i].fen) << i;
    EXPECT_EQ(read[i].score, expected[i].score) << i;
    EXPECT_EQ(read[i].result, expected[i].result) << i;
    EXPECT_EQ(read[i].side, expected[i].side) << i;
  }
}

TEST(TrainRecord, FileCutAtAnyByteReadsOnlyItsWholeGames) {
  TempDir dir;
  std::vector<Expected> expected;
  std::vector<TrainGame> games = RandomGames(3, &expected);
  std::string bytes;
  std::vector<size_t> ends;
  for (const TrainGame& g : games) {
    bytes += Encode(g);
    ends.push_back(bytes.size());
  }
  std::string path = dir.File("cut.bin");
  for (size_t cut = 0; cut <= bytes.size(); cut++) {
    WriteBytes(path, bytes.substr(0, cut));
    uint64_t whole = 0;
    for (size_t end : ends) whole += end <= cut ? 1 : 0;
    ASSERT_EQ(CountTrainGames(path.c_str()), whole) << "cut at " << cut;
  }
}

TEST(TrainRecord, RunsAppendedAfterAnInterruptedOneAreReadWhole) {
  TempDir dir;
  std::vector<Expected> expected;
  std::vector<TrainGame> games = RandomGames(5, &expected);
  std::string third = Encode(games[2]);
  // Two games, the first half of a third (the run was killed), then a second
  // run's two games.
  std::string bytes = Encode(games[0]) + Encode(games[1]) + third.substr(0, third.size() / 2) + Encode(games[3]) +
                      Encode(games[4]);
  WriteBytes(dir.File("runs.bin"), bytes);
  TrainGameReader reader;
  ASSERT_TRUE(OpenTrainGames(dir.File("runs.bin").c_str(), &reader));
  auto game = std::make_unique<TrainGame>();
  std::vector<int> counts;
  while (NextTrainGame(&reader, game.get())) counts.push_back(game->move_count);
  CloseTrainGames(&reader);
  EXPECT_EQ(counts, (std::vector<int>{games[0].move_count, games[1].move_count, games[3].move_count,
                                      games[4].move_count}));
  EXPECT_EQ(reader.skipped_bytes, third.size() / 2);
}

TEST(TrainRecord, DamagedByteLosesOnlyItsGame) {
  TempDir dir;
  std::vector<Expected> expected;
  std::vector<TrainGame> games = RandomGames(3, &expected);
  std::string first = Encode(games[0]), second = Encode(games[1]);
  std::string bytes = first + second + Encode(games[2]);
  bytes[first.size() + second.size() / 2] ^= 0x10;
  WriteBytes(dir.File("damaged.bin"), bytes);
  EXPECT_EQ(CountTrainGames(dir.File("damaged.bin").c_str()), 2u);
}

// Records whose checksum holds over a start the engine would refuse (no
// king, two kings, a pawn on the first rank, garbage) are skipped whole and
// counted; illegal move words end only their own game; the special files
// are not read at all.
TEST(TrainRecord, ImpossibleStartsAreSkippedAndCounted) {
  InitBoardForTests();
  TempDir dir;
  std::vector<Expected> expected;
  std::vector<TrainGame> games = RandomGames(2, &expected);
  std::string bytes = Encode(games[0]);
  auto odd = std::make_unique<TrainGame>();
  odd->result = 1;
  odd->termination = kEndResign;
  odd->move_count = 3;
  for (int i = 0; i < 3; i++) odd->moves[i] = TrainMove{Move(0x3F3F), int16_t(32767)};
  for (const char* fen : {"8/8/8/8/8/8/8/8 w - -", "kk6/8/8/8/8/8/8/6KK w - -", "4k3/8/8/8/8/8/8/P3K3 w - -",
                          "not a position at all"}) {
    std::snprintf(odd->fen, sizeof odd->fen, "%s", fen);
    bytes += Encode(*odd);
  }
  // A legal start with move words that are not moves: a broken game.
  std::snprintf(odd->fen, sizeof odd->fen, "%s", kStartFen);
  bytes += Encode(*odd);
  bytes += Encode(games[1]);
  WriteBytes(dir.File("odd.bin"), bytes);
  GameFileTotals totals;
  std::vector<ReadPosition> read = ReadBack(dir.File("odd.bin"), &totals);
  EXPECT_EQ(totals.games, 7u);
  EXPECT_EQ(totals.impossible_games, 4u);
  EXPECT_EQ(totals.broken_games, 1u);
  EXPECT_EQ(read.size(), expected.size());

  // A PGN game whose [FEN] the engine refuses is counted the same way.
  dir.Write("odd.pgn", "[Result \"1-0\"]\n[FEN \"4k3/8/8/8/8/8/8/P3K3 w - - 0 1\"]\n\n1. Kd2 {+0.5/3} 1-0\n\n"
                       "[Result \"0-1\"]\n\n1. e4 {+0.2/5} e5 {-0.1/5} 0-1\n");
  GameFileTotals pgn_totals;
  read = ReadBack(dir.File("odd.pgn"), &pgn_totals);
  EXPECT_EQ(pgn_totals.games, 2u);
  EXPECT_EQ(pgn_totals.impossible_games, 1u);
  EXPECT_EQ(read.size(), 2u);

  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0644), 0);
  GameFileTotals none;
  for (const std::string& special : {dir.File("fifo"), dir.path(), std::string("/dev/zero")})
    EXPECT_FALSE(ForEachGamePosition(special.c_str(), [](const GamePosition&) {}, &none)) << special;
}

TEST(TrainRecord, GameThatDoesNotFitIsRefused) {
  auto game = std::make_unique<TrainGame>();
  std::memset(game->fen, 'x', sizeof game->fen);  // no terminator within the field
  game->move_count = 0;
  std::vector<uint8_t> buffer(kTrainMaxRecordBytes);
  EXPECT_EQ(EncodeTrainGame(*game, buffer.data()), 0);
  std::snprintf(game->fen, sizeof game->fen, "%s", kStartFen);
  game->move_count = kTrainMaxMoves + 1;
  EXPECT_EQ(EncodeTrainGame(*game, buffer.data()), 0);
}

TEST(TrainPgn, ScoreCommentsBookMovesMatesAndVariations) {
  InitBoardForTests();
  TempDir dir;
  dir.Write("games.pgn",
            "[Event \"a\"]\n[Result \"1-0\"]\n\n"
            "1. e4 {+0.25/8 0.012s} e5 {-0.31/9 0.020s} 2. Nf3 {book} Nc6 {a remark}\n"
            "3. Bb5! {+M5/12 0.1s} a6?! {-M4/10 0.1s} 1-0\n\n"
            "[Event \"b\"]\n[FEN \"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1\"]\n"
            "[Result \"1/2-1/2\"]\n\n"
            "1... c5 {-0.10/7} (1... e5 {+0.5/3} 2. Nf3 (2. d4)) 2. Nf3 $1 {eval 20} ; line comment {\n"
            "d6 {+0.07/6 0.01s} 1/2-1/2\n\n"
            "[Event \"unfinished\"]\n[Result \"*\"]\n\n1. d4 {+0.1/5} *\n\n"
            "[Event \"c\"]\n[Result \"0-1\"]\n\n1. d4 {+0.11/5} d5 {-0.12/5} 2. Kxe8 {+9.9/1} c4 0-1\n");
  PgnTrainReader reader;
  ASSERT_TRUE(OpenPgnTrainGames(dir.File("games.pgn").c_str(), &reader));
  auto game = std::make_unique<TrainGame>();

  ASSERT_TRUE(NextPgnTrainGame(&reader, game.get()));
  EXPECT_EQ(game->result, 1);
  EXPECT_EQ(std::string(game->fen), kStartFen);
  ASSERT_EQ(game->move_count, 6);
  std::vector<int> scores;
  for (int i = 0; i < 6; i++) scores.push_back(game->moves[i].score);
  EXPECT_EQ(scores, (std::vector<int>{25, -31, kTrainNoScore, kTrainNoScore, 9000, -9000}));

  // Black moves first; variations and the line comment are passed over;
  // "eval N" is White's view, as is the mover's here.
  ASSERT_TRUE(NextPgnTrainGame(&reader, game.get()));
  EXPECT_EQ(game->result, 0);
  ASSERT_EQ(game->move_count, 3);
  EXPECT_EQ(game->moves[0].score, -10);
  EXPECT_EQ(game->moves[1].score, 20);
  EXPECT_EQ(game->moves[2].score, 7);

  // The unfinished game is skipped; an illegal move ends the next game's
  // moves but keeps those before it and the result.
  ASSERT_TRUE(NextPgnTrainGame(&reader, game.get()));
  EXPECT_EQ(game->result, -1);
  EXPECT_EQ(game->move_count, 2);
  EXPECT_FALSE(NextPgnTrainGame(&reader, game.get()));
  EXPECT_EQ(reader.games, 3u);
  EXPECT_EQ(reader.skipped_games, 1u);
  ClosePgnTrainGames(&reader);

  // Both formats reach the trainer through one reader: results come from the
  // side to move's view.
  GameFileTotals totals;
  std::vector<ReadPosition> read = ReadBack(dir.File("games.pgn"), &totals);
  ASSERT_EQ(read.size(), 11u);
  EXPECT_EQ(read[0].result, 1);
  EXPECT_EQ(read[1].result, -1);
  EXPECT_EQ(read[6].fen, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -");
}

TEST(TrainPgn, SelfPlaySetReadsWithAScoreOnEveryMove) {
  // The first games of the shared self-play set (its README: every move
  // carries a score comment).
  std::string path = TrainingData("selfplay-hce-5k-1.pgn.xz");
  std::string missing = MissingTrainingData(path);
  if (!missing.empty()) GTEST_SKIP() << missing;
  TempDir dir;
  if (!WriteSelfPlayPgnHead(dir, "set.pgn", 2000)) GTEST_SKIP();
  GameFileTotals totals;
  std::vector<ReadPosition> read = ReadBack(dir.File("set.pgn"), &totals);
  ASSERT_GT(totals.games, 10u);
  EXPECT_EQ(totals.broken_games, 0u);
  size_t scored = 0;
  for (const ReadPosition& p : read) scored += p.score != kTrainNoScore;
  EXPECT_EQ(scored, read.size());
}

TEST(TrainingFilter, SkipsChecksCapturesPromotionsOpeningPliesAndHugeScores) {
  // Moves are matched in coordinate notation, as UCI writes them.
  auto check = [](const std::string& fen, const std::string& move_text, int score, int ply) {
    ThreadPtr t = MakeThread(fen);
    Move move = 0;
    for (Move m : LegalMoves(&t->pos)) {
      char text[16];
      MoveToCoordinate(&t->pos, t->pos.side, m, kUciNotation, text);
      if (move_text == text) move = m;
    }
    EXPECT_NE(move, 0) << move_text;
    return IsTrainingPosition(GamePosition{&t->pos, move, score, 0, ply, 0}, TrainingFilter());
  };
  const std::string quiet = "r3k2r/1P6/8/3pP3/8/8/8/R3K2R w KQkq d6";
  EXPECT_TRUE(check(quiet, "a1a2", 30, 10));
  EXPECT_FALSE(check(quiet, "a1a2", 30, 3));        // opening plies of the record
  EXPECT_FALSE(check(quiet, "a1a2", 2500, 10));     // beyond the score bound
  EXPECT_FALSE(check(quiet, "a1a2", kTrainNoScore, 10));
  EXPECT_FALSE(check(quiet, "a1a8", 30, 10));       // capture
  EXPECT_FALSE(check(quiet, "e5d6", 30, 10));       // en passant
  EXPECT_FALSE(check(quiet, "b7b8q", 30, 10));      // promotion
  EXPECT_TRUE(check(quiet, "e1g1", 30, 10));        // castling is quiet
  EXPECT_FALSE(check("4k3/8/8/8/8/8/4r3/R3K3 w - -", "e1f1", 30, 10));  // in check
}

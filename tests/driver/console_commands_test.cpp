// Console command pieces in process: words, depths and times read from
// words, the redo record, the board editor and the set command.
#include <gtest/gtest.h>

#include <cmath>

#include <string>

#include "board/attacks.h"
#include "board/notation.h"
#include "board/zobrist.h"
#include "driver/console.h"
#include "driver/console_edit.h"
#include "driver/console_set.h"
#include "driver/console_words.h"
#include "search/game.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/strength.h"
#include "driver/setting_registry.h"
#include "driver/settings.h"

namespace {

class ConsoleCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    InitAttackTables();
    InitZobristKeys();
    if (g_game == nullptr) g_game = NewGameRecord();
    SetDefaultSettings(&g_active);
    g_pending = g_active;
    g_flags = EngineFlags();
    SetDefaultLimits(&g_control.limits);
    SetupGame(kStartFen);
  }
  void Play(const char* text) {
    Move move;
    ASSERT_TRUE(ParseMoveText(&g_game->pos, text, &move)) << text;
    ASSERT_TRUE(PlayGameMove(move));
  }
  void Set(const std::string& line) {
    ConsoleWords w;
    SplitConsoleWords(line.c_str(), &w);
    HandleSetCommand(w);
  }
  std::string GameFen() {
    char fen[128];
    PositionToFen(&g_game->pos, fen, false);
    return fen;
  }
};

TEST_F(ConsoleCommands, WordsDepthsAndTimes) {
  ConsoleWords w;
  std::string line = "  load\tgames.pgn " + std::string(200, 'a') + " 4 5 6 7 8 9 10 11";
  SplitConsoleWords(line.c_str(), &w);
  EXPECT_STREQ(w.word[0], "load");
  EXPECT_STREQ(w.word[1], "games.pgn");
  // A word is whole, however long (a file name is never cut).
  EXPECT_EQ(std::string(w.word[2]), std::string(200, 'a'));
  EXPECT_STREQ(w.word[9], "10");
  EXPECT_EQ(std::string(w.rest).substr(0, 9), "games.pgn");

  EXPECT_EQ(AnalysisDepth("5"), 5);
  EXPECT_EQ(AnalysisDepth("65"), 65);
  EXPECT_EQ(AnalysisDepth("80"), 66);
  EXPECT_EQ(AnalysisDepth("0"), 66);
  EXPECT_EQ(AnalysisDepth("-3"), 66);
  EXPECT_EQ(AnalysisDepth(""), 66);
  EXPECT_EQ(ConsolePerftDepth("30"), 20);
  EXPECT_EQ(ConsolePerftDepth("99999999999999999999"), 20);
  EXPECT_EQ(ConsolePerftDepth("-4"), 0);
  EXPECT_EQ(ConsolePerftDepth("x"), 0);
  EXPECT_EQ(ConsolePerftDepth("7"), 7);

  EXPECT_FLOAT_EQ(ParseLevelTime("5:00"), 300.0f);
  EXPECT_FLOAT_EQ(ParseLevelTime("1:30"), 90.0f);
  EXPECT_FLOAT_EQ(ParseLevelTime("0:07.5"), 7.5f);
  EXPECT_FLOAT_EQ(ParseLevelTime("45"), 45.0f);
  EXPECT_FLOAT_EQ(ParseLevelTime(""), 0.0f);
}

TEST_F(ConsoleCommands, RedoReplaysOnlyMovesTakenBackFromThisPosition) {
  Play("e4");
  Play("e5");
  EXPECT_EQ(RedoableMove(), kNullMove);
  ASSERT_TRUE(UndoGameMove());
  EXPECT_EQ(RedoableMove(), MakeMoveWord(52, 36));
  ASSERT_TRUE(RedoGameMove());
  EXPECT_EQ(GamePly(), 2);
  // A history forgotten while the position stays (as after ucinewgame):
  // the old records belong to other positions and are not replayed.
  NewGameHistory();
  EXPECT_EQ(RedoableMove(), kNullMove);
  EXPECT_FALSE(RedoGameMove());
  EXPECT_EQ(GameFen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6");
}

TEST_F(ConsoleCommands, EditedBoardsGetConsistentKeysAndRights) {
  Position* pos = &g_game->pos;
  Play("e4");
  // Replacing the king leaves White without a king square.
  ApplyEditLine(pos, "w Qe1");
  EXPECT_EQ(pos->king_square[WHITE], kNoSquare);
  ApplyEditLine(pos, "#");
  ApplyEditLine(pos, "w Ke1 Ra1 Rh1 pe4 Kz0 Nb1");
  ApplyEditLine(pos, "b ke8 Rh8 qd8 ");
  ApplyEditLine(pos, "anything else");
  FinishEdit(pos);
  EXPECT_EQ(GameFen(), "3qk2r/8/8/8/4P3/8/8/R3K2R b KQk -");
  EXPECT_EQ(GamePly(), 0);
  EXPECT_EQ(pos->castle_rook[kCastleWhiteLong], 0);
  EXPECT_EQ(pos->castle_rook[kCastleBlackShort], 63);
  // The same position from its FEN has the same keys.
  Position fresh = *pos;
  SetupPosition(&fresh, "3qk2r/8/8/8/4P3/8/8/R3K2R b KQk -");
  EXPECT_EQ(pos->key, fresh.key);
  EXPECT_EQ(pos->pawn_key, fresh.pawn_key);
  EXPECT_EQ(pos->material[BLACK], fresh.material[BLACK]);
  EXPECT_EQ(pos->signature[WHITE], fresh.signature[WHITE]);

  // An en-passant square survives an edit only while it can still be used.
  SetupGame(kStartFen);
  Play("e4");
  ApplyEditLine(pos, "b pd4");
  FinishEdit(pos);
  EXPECT_EQ(pos->ep_square, 20);
  ApplyEditLine(pos, "w Nh3");
  FinishEdit(pos);
  EXPECT_EQ(pos->ep_square, kNoSquare);
}

TEST_F(ConsoleCommands, SetStoresSettingsLimitsAndFlags) {
  Set("set multipv 0");
  EXPECT_EQ(g_pending.multi_pv, 1);
  Set("set xmultipvx 4");
  EXPECT_EQ(g_pending.multi_pv, 4);
  Set("set NMP_depth 100000");
  EXPECT_EQ(g_pending.nmp_depth, 32767);
  Set("set depth 80");
  EXPECT_EQ(g_control.limits.depth_limit, 66);
  Set("set depth -2");
  EXPECT_EQ(g_control.limits.depth_limit, 0);
  Set("set nodes -5");
  EXPECT_EQ(g_control.limits.node_limit, 0);
  EXPECT_EQ(g_control.limits.depth_limit, 66);
  Set("set level -3 1:30 0.5");
  EXPECT_EQ(g_control.limits.moves_per_control, 0);
  EXPECT_FLOAT_EQ(g_control.limits.base_time, 90.0f);
  EXPECT_FLOAT_EQ(g_control.limits.increment, 0.5f);
  EXPECT_FLOAT_EQ(g_control.limits.clock[BLACK], 90.0f);
  Set("set hash 0");
  Set("set frc 1");
  Set("set debug 7");
  Set("set noise 2.5");
  EXPECT_FALSE(g_flags.hash_clearing);
  EXPECT_TRUE(g_flags.chess960);
  EXPECT_TRUE(g_flags.console_debug);
  EXPECT_FLOAT_EQ(g_flags.noise, 2.5f);

  // The next search start derives its rate from UCI_Elo: target_nps sets
  // the Elo of its rate.
  Set("set target_nps 20000");
  EXPECT_FLOAT_EQ(g_control.target_rate, 20000.0f);
  EXPECT_EQ(g_pending.limit_strength, 1);
  EXPECT_EQ(g_pending.uci_elo, int(std::lround(EloOfRate(20000))));
  // Outside the calibrated range the rate is refused and nothing changes.
  Set("set target_nps 0");
  Set("set target_nps 1e12");
  EXPECT_FLOAT_EQ(g_control.target_rate, 20000.0f);
  EXPECT_EQ(g_pending.uci_elo, int(std::lround(EloOfRate(20000))));

  // ss 1 restores the start-up copy, network noise off included.
  g_pending.network_noise = 1;
  Set("set ss 0");
  EXPECT_EQ(g_pending.lmr_depth, 99);
  EXPECT_EQ(g_pending.sep_depth, 0);
  Set("set ss 1");
  EXPECT_EQ(g_pending.network_noise, 0);
  EXPECT_EQ(g_pending.lmr_depth, 2);
  EXPECT_EQ(g_pending.multi_pv, 1);
  EXPECT_EQ(g_pending.limit_strength, 0);
}

}  // namespace

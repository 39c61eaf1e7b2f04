// Network evaluation speed along the move sequences of random games:
// incremental updates against forced full refreshes, vector against scalar.
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "board/makemove.h"
#include "eval/network.h"
#include "eval/nn_evaluate.h"
#include "settings.h"
#include "support/board_helpers.h"

namespace {

struct Game {
  std::vector<Move> moves;
};

std::vector<Game> RandomGames(int count) {
  std::mt19937 rng(2024);
  std::vector<Game> games;
  for (int g = 0; g < count; g++) {
    ThreadPtr t = MakeThread(kStartFen);
    Game game;
    for (int i = 0; i < 120; i++) {
      auto legal = LegalMoves(&t->pos);
      if (legal.empty()) break;
      Move m = legal[rng() % legal.size()];
      game.moves.push_back(m);
      MakeMove(&t->pos, m);
      t->pos.ply = 1;
    }
    games.push_back(game);
  }
  return games;
}

double Run(const std::vector<Game>& games, bool incremental, long* evaluations) {
  auto start = std::chrono::steady_clock::now();
  long n = 0;
  volatile int sink = 0;
  ThreadPtr t = MakeThread(kStartFen);
  for (int pass = 0; pass < 3; pass++) {
    for (const Game& game : games) {
      SetupPosition(&t->pos, kStartFen);
      for (Move m : game.moves) {
        MakeMove(&t->pos, m);
        t->pos.history_count = 0;
        t->pos.ply = incremental ? 2 : 1;
        t->eval.eval_cache[(t->pos.key & 0x7ffe) + t->pos.side].key = 0;  // no cache hits
        sink = sink + nn_evaluate(&t->pos, &t->eval);
        n++;
      }
    }
  }
  *evaluations = n;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  InitBoardForTests();
  CopyField(g_pending.nn_file, kFileFieldSize, "embedded");
  LoadNetwork();
  auto games = RandomGames(300);
  struct Case {
    const char* name;
    bool vector, incremental;
  } cases[] = {{"vector incremental", true, true},
               {"vector full refresh", true, false},
               {"scalar incremental", false, true},
               {"scalar full refresh", false, false}};
  double rate[4];
  for (int i = 0; i < 4; i++) {
    SetNnVectorPath(cases[i].vector);
    long n = 0;
    double seconds = Run(games, cases[i].incremental, &n);
    rate[i] = n / seconds;
    std::printf("%-22s %8ld evaluations  %7.3f s  %10.0f evals/s\n", cases[i].name, n, seconds, rate[i]);
  }
  std::printf("incremental / full refresh (vector): %.2f\n", rate[0] / rate[1]);
  std::printf("vector / scalar (incremental):       %.2f\n", rate[0] / rate[2]);
  std::printf("vector / scalar (full refresh):      %.2f\n", rate[1] / rate[3]);
  return 0;
}

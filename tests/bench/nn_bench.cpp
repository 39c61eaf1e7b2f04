// Network evaluation speed along the move sequences of random games:
// incremental updates against forced full refreshes, vector against scalar;
// then both network formats on the same pattern as a search: every child
// of every position of the games evaluated after its move and taken back.
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "board/makemove.h"
#include "eval/network.h"
#include "eval/nn_evaluate.h"
#include "eval/nnue_evaluate.h"
#include "eval/nnue_random.h"
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

// How the search pattern below evaluates: not at all (the cost of moving
// and taking back alone), with the active network through nn_evaluate, or
// with the integer network's plain evaluation from scratch.
enum class Evaluation { kNone, kActive, kIntegerFresh };

// Evaluates each game position and each of its children, as a search
// does: move, evaluate, take back. Cache hits are prevented.
double RunChildren(const std::vector<Game>& games, Evaluation how, long* evaluations) {
  long n = 0;
  volatile int sink = 0;
  ThreadPtr t = MakeThread(kStartFen);
  auto evaluate = [&]() {
    n++;
    if (how == Evaluation::kActive) {
      t->pos.ply = 2;
      t->eval.eval_cache[(t->pos.key & 0x7ffe) + t->pos.side].key = 0;
      sink = sink + nn_evaluate(&t->pos, &t->eval);
    } else if (how == Evaluation::kIntegerFresh) {
      sink = sink + NnueEvaluateFresh(g_network.nnue, &t->pos);
    }
  };
  std::vector<std::vector<Move>> children;
  for (const Game& game : games) {
    SetupPosition(&t->pos, kStartFen);
    for (Move m : game.moves) {
      children.push_back(LegalMoves(&t->pos));
      MakeMove(&t->pos, m);
    }
  }
  auto start = std::chrono::steady_clock::now();
  size_t index = 0;
  for (const Game& game : games) {
    SetupPosition(&t->pos, kStartFen);
    for (Move m : game.moves) {
      evaluate();
      for (Move child : children[index]) {
        MakeMove(&t->pos, child);
        evaluate();
        UnmakeMove(&t->pos);
      }
      index++;
      MakeMove(&t->pos, m);
    }
  }
  *evaluations = n;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Both formats on the search's pattern, in turn, several times (the machine
// is shared: compare figures of one run).
void CompareFormats(const std::vector<Game>& games) {
  NnueWeights random;
  if (!MakeRandomNnue(1, kNnueSquaredClipped, kNnueSampleBucketMap, &random)) return;
  std::vector<unsigned char> bytes = NnueFileBytes(random);
  FreeNnueWeights(&random);
  const char* path = "/tmp/zorv_nn_bench.znue";
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) return;
  std::fclose(f);
  std::vector<Game> some(games.begin(), games.begin() + 60);
  std::printf("\ngame positions and their children (move, evaluate, take back), evaluations/s net of the\n"
              "time of moving and taking back alone:\n");
  double float_best = 0, integer_best = 0;
  for (int round = 0; round < 3; round++) {
    long n = 0;
    double base = RunChildren(some, Evaluation::kNone, &n);
    LoadNetwork("embedded");
    SetNnVectorPath(true);
    double float_rate = n / (RunChildren(some, Evaluation::kActive, &n) - base);
    LoadNetwork(path);
    double integer_rate = n / (RunChildren(some, Evaluation::kActive, &n) - base);
    double fresh_rate = n / (RunChildren(some, Evaluation::kIntegerFresh, &n) - base);
    std::printf("float %10.0f   integer %10.0f   integer from scratch %10.0f   integer / float %.2f\n", float_rate,
                integer_rate, fresh_rate, integer_rate / float_rate);
    if (float_rate > float_best) float_best = float_rate;
    if (integer_rate > integer_best) integer_best = integer_rate;
  }
  std::printf("best of 3: float %.0f, integer %.0f evaluations/s (integer / float %.2f)\n", float_best,
              integer_best, integer_best / float_best);
  std::remove(path);
}

}  // namespace

int main() {
  InitBoardForTests();
  LoadNetwork("embedded");
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
  CompareFormats(games);
  return 0;
}

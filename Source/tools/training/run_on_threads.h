// Splitting work over a few threads, for the trainers.
#pragma once

#include <cstddef>
#include <thread>
#include <vector>

// Runs work(thread) on `threads` threads (the calling one among them) and
// waits for them.
template <class Work>
void RunOnThreads(int threads, const Work& work) {
  if (threads <= 1) {
    work(0);
    return;
  }
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; t++) pool.emplace_back(work, t);
  work(0);
  for (auto& thread : pool) thread.join();
}

// Share [begin, end) of n items for one of `parts` workers.
inline void Slice(size_t n, int parts, int part, size_t* begin, size_t* end) {
  *begin = n * size_t(part) / size_t(parts);
  *end = n * size_t(part + 1) / size_t(parts);
}

// Mean of term(i) over i in [0, n), summed in `threads` slices (0 when n
// is 0). Each slice is summed on its own and the slices in order, so the
// result depends only on n and threads.
template <class Term>
double ParallelMean(size_t n, int threads, const Term& term) {
  if (n == 0) return 0;
  std::vector<double> sums(size_t(threads), 0.0);
  RunOnThreads(threads, [&](int t) {
    size_t begin, end;
    Slice(n, threads, t, &begin, &end);
    double sum = 0;
    for (size_t i = begin; i < end; i++) sum += term(i);
    sums[size_t(t)] = sum;
  });
  double total = 0;
  for (double s : sums) total += s;
  return total / double(n);
}

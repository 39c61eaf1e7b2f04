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

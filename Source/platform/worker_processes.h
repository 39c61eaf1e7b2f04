// Work spread over child processes. Each child starts as a copy of the
// program's state at the moment of the fork, so work that relies on
// process-wide records (the search) runs in several copies at once.
#pragma once

#include <cstddef>
#include <functional>

constexpr int kMaxWorkerProcesses = 256;

struct WorkerGroup {
  int count = 0;
  int pids[kMaxWorkerProcesses];
  bool running[kMaxWorkerProcesses];
  int failures = 0;  // children that ended by a signal or with a non-zero status
};

// Starts count children; child i runs work(i) and ends with its result as
// exit status, without returning to the caller. False when a child could
// not be started (those already started keep running).
bool StartWorkers(WorkerGroup* group, int count, const std::function<int(int)>& work);
// Collects the children that have ended, without waiting; returns the
// number still running.
int RunningWorkers(WorkerGroup* group);
// Asks every running child to end (SIGTERM) and waits for them.
void StopWorkers(WorkerGroup* group);

// Zero-filled memory that the children started after the call share with
// the parent; nullptr when the system refuses it.
void* MapSharedMemory(size_t bytes);
void UnmapSharedMemory(void* memory, size_t bytes);

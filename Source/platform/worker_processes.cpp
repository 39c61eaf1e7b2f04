#include "platform/worker_processes.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

bool StartWorkers(WorkerGroup* group, int count, const std::function<int(int)>& work) {
  if (count > kMaxWorkerProcesses) count = kMaxWorkerProcesses;
  group->count = 0;
  group->failures = 0;
  // Buffered output would otherwise be written once by every child.
  std::fflush(nullptr);
  for (int i = 0; i < count; i++) {
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
      int status = work(i);
      std::fflush(nullptr);
      _exit(status);
    }
    group->pids[i] = int(pid);
    group->running[i] = true;
    group->count = i + 1;
  }
  return true;
}

int RunningWorkers(WorkerGroup* group) {
  int running = 0;
  for (int i = 0; i < group->count; i++) {
    if (!group->running[i]) continue;
    int status = 0;
    pid_t done = waitpid(group->pids[i], &status, WNOHANG);
    if (done == group->pids[i] || (done < 0 && errno != EINTR)) {
      group->running[i] = false;
      if (done < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) group->failures++;
    } else {
      running++;
    }
  }
  return running;
}

void StopWorkers(WorkerGroup* group) {
  for (int i = 0; i < group->count; i++)
    if (group->running[i]) kill(group->pids[i], SIGTERM);
  for (int i = 0; i < group->count; i++) {
    if (!group->running[i]) continue;
    int status = 0;
    while (waitpid(group->pids[i], &status, 0) < 0 && errno == EINTR) {
    }
    group->running[i] = false;
  }
}

void* MapSharedMemory(size_t bytes) {
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
}

void UnmapSharedMemory(void* memory, size_t bytes) {
  if (memory != nullptr) munmap(memory, bytes);
}

// One engine process of a match, speaking UCI over pipes.
//
// The process runs `sh -c <command>` in a process group of its own, so that
// a Ctrl-C at the terminal reaches the match runner only, and stopping the
// engine can end everything the command started.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

class MatchEngine {
 public:
  // options are "Name=Value" texts, sent as setoption after the handshake.
  // Reads give up at once when *cancel becomes true.
  MatchEngine(const std::string& command, const std::vector<std::string>& options, const std::atomic<bool>* cancel);
  ~MatchEngine();
  MatchEngine(const MatchEngine&) = delete;
  MatchEngine& operator=(const MatchEngine&) = delete;

  // (Re)starts the process: uci, the options, isready. False when it does
  // not answer readyok in time.
  bool Start();
  // isready / readyok within the timeout.
  bool Ready(double timeout_s);
  void Send(const std::string& line);
  // The next line, or false on timeout, cancellation or when the engine
  // has gone.
  bool ReadLine(std::string* line, double timeout_s);
  // Asks the engine to quit, then kills its process group if it lingers.
  void Stop();

  bool alive() const { return alive_ && from_ >= 0; }
  // The engine's "id name", or its command before it has said one.
  const std::string& name() const { return name_; }

 private:
  std::string command_;
  std::vector<std::string> options_;
  const std::atomic<bool>* cancel_;
  std::string name_;
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  std::string buffer_;
  bool alive_ = true;
};

// Seconds on a monotonic clock.
double MatchNow();

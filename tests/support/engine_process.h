// Runs ./zorv as a child process with piped standard input and output, for
// end-to-end protocol tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A fresh temporary directory, removed with its contents at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& text) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
};

class EngineProcess {
 public:
  // Starts the engine binary (by default ./zorv, or the one the environment
  // variable ZORV_TEST_ENGINE names: the debug build's) with the arguments,
  // in the working directory (a fresh temporary one when empty).
  explicit EngineProcess(const std::vector<std::string>& args = {}, const std::string& workdir = "",
                         const std::string& binary = ZORV_BINARY);
  ~EngineProcess();

  void Send(const std::string& line);
  void SendRaw(const std::string& bytes);
  void CloseInput();
  // Next output line, or false after timeout_ms or at the end of the output.
  bool ReadLine(std::string* line, int timeout_ms = 10000);
  // Reads lines until one contains the text; returns every line read (the
  // matching one last). Fails the test on timeout.
  std::vector<std::string> ReadUntil(const std::string& text, int timeout_ms = 10000);
  // Every line read so far.
  const std::vector<std::string>& lines() const { return all_lines_; }
  // Waits for the process to end and returns its exit status (-1 on timeout,
  // after which the process is killed).
  int WaitExit(int timeout_ms = 10000);
  // Reads all remaining output until the process ends.
  std::vector<std::string> ReadAll(int timeout_ms = 20000);
  const std::string& workdir() const { return workdir_; }

 private:
  bool ReadLineBefore(std::string* line, int64_t deadline_ms);
  int pid_ = -1;
  int in_fd_ = -1;
  int out_fd_ = -1;
  std::string buffer_;
  std::vector<std::string> all_lines_;
  std::string workdir_;
  std::unique_ptr<TempDir> own_dir_;
  int exit_status_ = -2;
};

// Runs the engine with the arguments, writes the input, closes standard
// input and returns everything it printed, line by line.
std::vector<std::string> RunEngineScript(const std::vector<std::string>& args, const std::string& input,
                                         int* exit_status = nullptr, const std::string& workdir = "");

// Timeouts stretched by ZORV_TEST_TIME_SCALE (set for the sanitizer builds,
// which run many times slower).
int ScaledTimeout(int ms);
// False under a sanitizer build: tests then skip checks of exact timing.
bool TimingIsMeaningful();

// True if some line equals the text exactly.
bool HasLine(const std::vector<std::string>& lines, const std::string& text);
// Success when every text equals some line exactly; the failure names the
// texts that no line equals.
::testing::AssertionResult HasLines(const std::vector<std::string>& lines, const std::vector<std::string>& texts);
// Number of lines that contain the text.
int CountContaining(const std::vector<std::string>& lines, const std::string& text);
// Path of a file in the project's test data (tests/data).
std::string TestData(const std::string& relative);
// Path of a file of the training data kept outside the project
// (ZORV_TRAINING_DATA, by default ../shared/data beside the checkout).
std::string TrainingData(const std::string& name);
// Why a test that reads the training file at path cannot run (the file is
// missing, or xz is not installed to unpack it), with where to get what is
// missing; empty when it can run.
std::string MissingTrainingData(const std::string& path);

// One status line on stderr for packs that take more than a moment. It only
// appears on a terminal, after the first half second, and is rewritten at
// most ten times a second; Finish clears it again.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace mksetup {

class ProgressLine {
 public:
  // enabled: stderr is a terminal and the user did not ask for quiet.
  explicit ProgressLine(bool enabled, std::FILE* stream = stderr);
  ~ProgressLine() { Finish(); }
  void Update(const std::string& stage, uint64_t done, uint64_t total);
  void Finish();

  static bool StderrIsTerminal();

 private:
  using Clock = std::chrono::steady_clock;
  bool enabled_;
  std::FILE* stream_;
  Clock::time_point start_, last_;
  size_t shown_ = 0;  // width of what is on the line now
};

}  // namespace mksetup

#include "tools/mksetup/progress.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace mksetup {

ProgressLine::ProgressLine(bool enabled, std::FILE* stream)
    : enabled_(enabled), stream_(stream), start_(Clock::now()), last_(start_) {}

bool ProgressLine::StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

void ProgressLine::Update(const std::string& stage, uint64_t done, uint64_t total) {
  if (!enabled_) return;
  const auto now = Clock::now();
  if (now - start_ < std::chrono::milliseconds(500)) return;
  if (shown_ && now - last_ < std::chrono::milliseconds(100) && done < total) return;
  last_ = now;
  char line[160];
  const int pct = total ? int(done * 100 / total) : 100;
  int n = std::snprintf(line, sizeof line, "%s %3d%% (%.1f of %.1f MB)", stage.c_str(), pct, done / 1048576.0,
                        total / 1048576.0);
  if (n < 0) return;
  size_t width = std::min<size_t>(size_t(n), sizeof line - 1);
  std::fprintf(stream_, "\r%s%*s", line, int(shown_ > width ? shown_ - width : 0), "");
  std::fflush(stream_);
  shown_ = std::max(shown_, width);
}

void ProgressLine::Finish() {
  if (!shown_) return;
  std::fprintf(stream_, "\r%*s\r", int(shown_), "");
  std::fflush(stream_);
  shown_ = 0;
}

}  // namespace mksetup

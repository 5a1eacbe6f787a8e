// Death-test predicate for the runtime's fatal exit code -1.
#pragma once
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace testsupport {
inline bool ExitedMinusOne(int status) {
#ifdef _WIN32
  return status == -1;
#else
  return WIFEXITED(status) && WEXITSTATUS(status) == 255;
#endif
}
// Windows death tests do not reliably capture stderr under Wine.
#ifdef _WIN32
#define DEATH_TEXT(x) ""
#else
#define DEATH_TEXT(x) x
#endif
}  // namespace testsupport

// Any bytes as the setup's command line: parsing never fails unsafely, a bad
// switch is always named, and a result is the same when parsed again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setup/logic/switches.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const setup::SetupSwitches s = setup::ParseSwitches(line);
  const setup::SetupSwitches t = setup::ParseSwitches(line);
  if (s.bad != t.bad || s.dir != t.dir || s.log != t.log || s.silent != t.silent) std::abort();
  if (s.dir.size() > size || s.log.size() > size) std::abort();
  return 0;
}

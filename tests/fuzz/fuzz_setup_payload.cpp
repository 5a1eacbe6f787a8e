// Any bytes as the setup's own payload resource, loaded by the setup's logic
// against the scripted runtime: loading either fills the globals or rejects
// the payload (an exit), never fails unsafely. Unattended (odd sizes) not
// even a runtime error may end it; the wizard keeps the runtime error box for
// a record with too few fields. The same bytes as one name go through the
// setup's name check.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "setup/logic/globals.h"
#include "setup/logic/payload.h"
#include "tests/setup/scripted_runtime.h"
#include "text/names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  scripted::Install();
  setup::g = setup::SetupGlobals();
  scripted::S().resource.assign(reinterpret_cast<const char*>(data), size);
  setup::g.Unattended = (size & 1) != 0;
  try {
    scripted::RunUntilExit(setup::LoadPayload);
  } catch (const scripted::RuntimeError&) {
    if (setup::g.Unattended) std::abort();
  }
  setup::CleanupGlobals(0);
  text::CheckInstallName(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

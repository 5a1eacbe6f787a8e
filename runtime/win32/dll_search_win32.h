// Where DLLs loaded by bare name may come from, for the setup and the
// uninstaller alike: both run as administrator from folders a user may write.
#pragma once
#include <windows.h>

namespace rt::win32 {

// Call before anything else loads: DLLs loaded by bare name come from the
// system directory only, and the current directory is never searched.
void RestrictDllSearch();

}  // namespace rt::win32

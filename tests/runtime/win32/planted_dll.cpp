// A stand-in for a DLL someone dropped beside a program under a system DLL's
// name (msimg32.dll: nothing in the process loads it on its own). It records
// being loaded (an environment variable of the process that loaded it) and
// answers the one export the tests bind with a value the system's copy never
// returns.
#define NOGDI  // its own GradientFill, not the system header's
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) SetEnvironmentVariableW(L"RTT_PLANTED_LOADED", L"1");
  return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI GradientFill(void*, void*, ULONG, void*, ULONG, ULONG) {
  return 0xBAD;
}

// The setup's six declared DLL commands, bound by name on first call, in the
// order of the program's DLL table.
#pragma once
#include <windows.h>

#include "runtime/win32/dll_command.h"

namespace rt::dll {

inline constexpr int32_t kDeclaredCount = 6;
inline constexpr const char* kDeclaredFiles[kDeclaredCount] = {"kernel32.dll", "kernel32.dll", "kernel32.dll",
                                                               "user32.dll",   "GDI32.dll",    "user32"};
inline constexpr const char* kDeclaredNames[kDeclaredCount] = {"FindResourceA", "SizeofResource",
                                                               "LoadResource",  "GetDC",
                                                               "GetTextExtentPoint32A", "ReleaseDC"};

inline constexpr win32::DllCommand<HRSRC(HMODULE, const char*, const char*)> FindResourceA{0};
inline constexpr win32::DllCommand<DWORD(HMODULE, HRSRC)> SizeofResource{1};
inline constexpr win32::DllCommand<HGLOBAL(HMODULE, HRSRC)> LoadResource{2};
inline constexpr win32::DllCommand<HDC(HWND)> GetDC{3};
inline constexpr win32::DllCommand<BOOL(HDC, const char*, int, SIZE*)> GetTextExtentPoint32A{4};
inline constexpr win32::DllCommand<int(HWND, HDC)> ReleaseDC{5};

}  // namespace rt::dll

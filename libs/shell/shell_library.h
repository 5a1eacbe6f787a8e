// The shell services library: its add-on commands called through the command
// call frame, and the library's request entry. The commands need COM on the
// calling thread (the runtime initialises it at start-up) and reach the
// runtime only through the entry given to LibraryNotify with request 1.
#pragma once
#include <cstdint>

#include "runtime/service.h"

namespace shell {

// Request 1 stores the runtime's entry (p1); every other request answers 0.
intptr_t LibraryNotify(int32_t code, intptr_t p1, intptr_t p2);

// kind: integer 1-11 -> text, the folder's path ending in a backslash; null on failure.
void GetSpecialFolder(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args);
// link file, target, [description], [arguments], [working directory] -> logical.
void CreateShortcut(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args);
// group name, [location] -> logical: the group directory was created.
void CreateProgramGroup(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args);
// group name, shortcut name, target, [location] -> logical: the shortcut was saved.
void CreateGroupShortcut(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args);
// title, [include files] -> text: the chosen folder; null when cancelled.
void BrowseForFolder(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args);
// [verb], file, [parameters], [directory], [display mode] -> nothing.
void ExecuteShellOperation(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args);
// file, [directory] -> logical: the file was handed to the desktop's shell
// (or, a program, started with the shell's token), so that it runs with the
// rights of the user whose desktop it is. False when the process does not run
// elevated (its own start has the user's rights already) or there is no
// desktop shell to ask; the caller then starts it itself.
void ExecuteAsDesktopUser(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args);

}  // namespace shell

// Loading the install payload from the program's own resource into the
// globals, and the checks that refuse a damaged payload before any page shows.
#pragma once
#include <string_view>

#include "setup/logic/runtime_facade.h"
#include "setup/payload_format.h"

namespace setup {

// Resource 1000 of type RT_RCDATA of the program itself, found through the
// declared DLL commands and read where the system mapped it; empty when it is
// missing or empty.
payload::ByteView PayloadResource();

// The first read of each page of the mapped program costs more than reading
// it, and before the first page the payload is read whole, from the front. The
// program's entry may set this to have the pages read from the end on a
// second thread meanwhile, which only reads and which nobody waits for: the
// mapping lasts as long as the process. Left null, one thread reads it all.
extern void (*g_readPagesAside)(payload::ByteView bytes);

// Fills the SetupConfig globals and the file lists. Ends the process (exit
// code 0) silently for a missing resource, and with the "file error" message
// for a damaged payload.
void LoadPayload();

// Shows "文件错误！" and ends the process with exit code 0; in an unattended
// install logs why (a GBK text, or null) and ends it with exit code 2.
[[noreturn]] void RejectDamagedPayload(const char* why = nullptr);

}  // namespace setup

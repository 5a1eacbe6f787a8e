// The program logic's entry, exit routine and handler table.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "setup/window_handlers.h"

namespace setup {

// The shape of every event handler the templates bind: the event's arguments,
// and a returned value in *result when the function answers true.
using EventRoutine = bool (*)(const int32_t* args, int32_t argCount, int32_t* result);

// The program's handler table, in the order of the window descriptions'
// handler list: a template's handler offset indexes it.
extern const std::array<EventRoutine, handlers::kCount> kHandlerRoutines;

// The entry routine the runtime calls after its own start-up.
int32_t EntryRoutine();

}  // namespace setup

// The core library's portable commands. Each is a CommandFunction: result
// record, argument count, argument array. Results are new runtime blocks owned
// by the caller; arguments are never changed or freed.
#pragma once
#include "runtime/service.h"

namespace rt::cmd {

#define RT_COMMAND(name) void name(ValueRecord* result, int32_t argc, ValueRecord* args)

// Texts
RT_COMMAND(TextLength);
RT_COMMAND(LeftText);
RT_COMMAND(RightText);
RT_COMMAND(MidText);
RT_COMMAND(FindText);
RT_COMMAND(FindTextReverse);
RT_COMMAND(ToUpperCase);
RT_COMMAND(ReplaceText);
RT_COMMAND(ReplaceSubtext);
RT_COMMAND(SplitText);
RT_COMMAND(SplitBytes);

// Conversions
RT_COMMAND(ToText);
RT_COMMAND(ToInteger);
RT_COMMAND(ToBytes);
RT_COMMAND(BytesFromMemory);

#undef RT_COMMAND

}  // namespace rt::cmd

namespace rt {
// ToText of one value: a new runtime text, or null for the empty text and for
// types that have no text form. Shared with the message-box command.
char* ValueToText(const ValueRecord& v);
// ToInteger of one value.
int32_t ValueToInteger(const ValueRecord& v);
}  // namespace rt

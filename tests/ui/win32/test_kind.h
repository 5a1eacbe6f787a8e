// A small unit kind for the window system tests: a child window whose kind
// data is its caption; kind property 0 is the caption, 1 a font it keeps
// (none until one is written). It raises event 0 when clicked (BM_CLICK), event 5
// when it is created as a replacement, counts the left-button presses it
// receives, and asks to be re-created when a caption starting with "!" is
// written.
#pragma once
#include <cstdint>

#include "ui/win32/unit_kind.h"

namespace test {

constexpr uint32_t kTestKind = 0x00030001;       // raises events, push-button mnemonics
constexpr uint32_t kOtherTestKind = 0x00030002;  // the same, under another tag

struct TestUnit : ui::UnitObject {
  int32_t control_id = 0;
  int32_t left_presses = 0;
  LOGFONTA font{};
  bool has_font = false;
};

void RegisterTestKinds();
// Creations so far (all test units).
int32_t TestUnitsCreated();

}  // namespace test

// Kind data of every unit kind: the first byte picks the kind, the rest is the
// data. What parses serialises and parses back to the same properties.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ui/template/kinddata.h"

namespace {
template <class T>
void Check(ui::ByteSpan data) {
  auto parsed = T::Parse(data);
  if (!parsed) return;
  auto again = T::Parse(parsed->Serialize());
  if (!again || !(*again == *parsed)) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ui::ByteSpan rest(data + 1, size - 1);
  switch (data[0] % 11) {
    case 0: Check<ui::WindowData>(rest); break;
    case 1: Check<ui::ButtonData>(rest); break;
    case 2: Check<ui::CheckBoxData>(rest); break;
    case 3: Check<ui::LabelData>(rest); break;
    case 4: Check<ui::PicBoxData>(rest); break;
    case 5: Check<ui::EditBoxData>(rest); break;
    case 6: Check<ui::ProcessBarData>(rest); break;
    case 7: Check<ui::ShapeBoxData>(rest); break;
    case 8: Check<ui::TimerData>(rest); break;
    case 9: Check<ui::CommonDlgData>(rest); break;
    default: Check<ui::TransLabelData>(rest); break;
  }
  return 0;
}

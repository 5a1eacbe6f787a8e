// Template image reader: any bytes either fail cleanly or give windows whose
// records can be read, resized and written back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ui/template/kinddata.h"
#include "ui/template/template_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ui::TemplateImage image;
  if (ui::LoadTemplateImage(ui::ByteSpan(data, size), 64, image) != ui::TemplateError::Ok) {
    if (!image.windows.empty()) std::abort();
    return 0;
  }
  ui::Bytes written = ui::WriteTemplateImage(image);
  for (ui::WindowTemplate& w : image.windows) {
    for (size_t i = 0; i < w.units.size(); ++i) {
      if (auto unit = w.units.Unit(i)) {
        (void)ui::KindDataParses(unit->Kind(), unit->KindData());
        ui::MousePointer p = ui::DecodeMousePointer(unit->MousePointerData());
        (void)ui::ResolvePointerNumber(p.number);
        if (ui::SerializeUnit(unit->ToSpec()).size() != unit->bytes().size()) std::abort();
        if (!w.units.SetTag(i, "tag") || !w.units.SetMousePointer(i, {})) std::abort();
      } else if (auto item = w.units.MenuItem(i)) {
        if (!w.units.SetMenuCaption(i, "-")) std::abort();
      } else {
        std::abort();  // every record was checked when the image was read
      }
    }
  }
  // What was read writes back to the same bytes, and the edited image reads.
  ui::TemplateImage again;
  if (ui::ReadTemplateImage(written, again) != ui::TemplateError::Ok) std::abort();
  if (ui::WriteTemplateImage(again) != written) std::abort();
  if (ui::ReadTemplateImage(ui::WriteTemplateImage(image), again) != ui::TemplateError::Ok) std::abort();
  return 0;
}

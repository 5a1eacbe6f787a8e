// Template geometry and font heights are pixels of a 96 DPI display. On a
// display of another density they are scaled by its DPI / 96, rounded to the
// nearest pixel with halves away from zero, as the system rounds its own
// dialog units (MulDiv), so that the same template gives the same pixels
// here and there. Portable: the program logic scales its own layout rules
// with it.
#pragma once
#include <cstdint>

namespace ui {

constexpr int32_t kTemplateDpi = 96;

// v * to / from, rounded half away from zero; v unchanged when from is not
// positive.
constexpr int32_t ScaleBetweenDpi(int32_t v, int32_t to, int32_t from) {
  if (from <= 0 || to == from) return v;
  const int64_t num = static_cast<int64_t>(v < 0 ? -static_cast<int64_t>(v) : v) * to;
  const int64_t r = (num + from / 2) / from;
  return static_cast<int32_t>(v < 0 ? -r : r);
}

// A template length in pixels of a display of the given DPI.
constexpr int32_t ScaleForDpi(int32_t v, int32_t dpi) { return ScaleBetweenDpi(v, dpi, kTemplateDpi); }

static_assert(ScaleForDpi(473, 144) == 710 && ScaleForDpi(1, 144) == 2 && ScaleForDpi(-11, 144) == -17 &&
              ScaleForDpi(5, 120) == 6 && ScaleForDpi(480, 96) == 480);

}  // namespace ui

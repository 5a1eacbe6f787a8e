// What the unit kinds share for drawing and for their system windows: owned
// GDI objects, colours with the button-face stand-in, fonts from logical font
// records, the shared border styles, window texts in GBK, pictures decoded
// once, and the caption drawing of labels and transparent labels.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "pictures/picture.h"
#include "ui/template/bytes.h"
#include "ui/template/kinddata.h"

namespace ui::units {

// ---- Owned GDI objects ----

template <typename H>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(H h) : h_(h) {}
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  GdiObject& operator=(GdiObject&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, nullptr));
    return *this;
  }
  ~GdiObject() { reset(); }
  H get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void reset(H h = nullptr) {
    if (h_) DeleteObject(h_);
    h_ = h;
  }

 private:
  H h_ = nullptr;
};
using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;

// Selects an object into a device context for the scope's life.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? SelectObject(dc, obj) : nullptr) {}
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;
  ~Selected() {
    if (old_) SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// BeginPaint / EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() { EndPaint(hwnd_, &ps_); }
  HDC dc() const { return dc_; }
  const RECT& area() const { return ps_.rcPaint; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// Saves the device context's state and restores it at the scope's end.
class SavedDc {
 public:
  explicit SavedDc(HDC dc) : dc_(dc), id_(SaveDC(dc)) {}
  SavedDc(const SavedDc&) = delete;
  SavedDc& operator=(const SavedDc&) = delete;
  ~SavedDc() {
    if (id_) RestoreDC(dc_, id_);
  }

 private:
  HDC dc_;
  int id_;
};

// ---- Colours ----

// 0xFF000000 stands for the system's button-face colour.
COLORREF ResolveColour(uint32_t colour);
// For the colour properties where 0xFF000000 means "no colour".
constexpr bool IsNoColour(uint32_t colour) { return colour == kSystemColour; }
Brush SolidBrush(uint32_t colour);  // resolved
void FillArea(HDC dc, const RECT& r, uint32_t colour);

// ---- Fonts ----

// The font a unit shows its text in: the logical font record when one is set,
// its pixel sizes scaled from 96 DPI to the unit's `dpi`, else null (the
// caller then uses the system's default GUI font).
Font MakeFont(const std::optional<LogFont>& font, int32_t dpi);
// The system's default GUI font at the given density: the stock font at the
// session's own, else a copy scaled to it (kept for the process's life).
HFONT DefaultGuiFont(int32_t dpi);
// The record of a live font, for reading the font property back.
std::optional<LogFont> FontRecord(HFONT font);

// ---- Window texts ----

// Every unit that shows a text keeps it as its system window text, in UTF-16.
void SetWindowTextGbk(HWND hwnd, std::string_view gbk);
std::string WindowTextGbk(HWND hwnd);

// ---- Shared border styles ----

// 0 none, 1 sunken client edge, 2 raised modal frame, 3 thin static edge,
// 4 client edge and modal frame together, 5 single black line.
void ApplyBorder(HWND hwnd, int32_t border);

// ---- Numbers ----

constexpr int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// ---- Window classes ----

// Registers a wide window class once per process; later calls only return
// its name. Style: the given class style, arrow cursor, no background brush.
const wchar_t* EnsureClass(const wchar_t* name, UINT style, WNDPROC proc);

// ---- Pictures ----

// Picture bytes as a unit keeps them, decoded on first use. Bytes that do
// not decode are dropped, so they are not tried again until new bytes come.
class PictureSlot {
 public:
  PictureSlot() = default;
  PictureSlot(const PictureSlot&) = delete;
  PictureSlot& operator=(const PictureSlot&) = delete;
  ~PictureSlot() { Clear(); }

  void Set(ByteSpan bytes);
  void Clear();
  const Bytes& bytes() const { return bytes_; }
  // The decoded picture, or null when there are no bytes or they did not
  // decode.
  const pictures::PictureObject* Get();
  // How many times bytes were handed to the decoder (tests watch this).
  int decode_count() const { return decode_count_; }

 private:
  Bytes bytes_;
  pictures::PictureObject* picture_ = nullptr;
  int decode_count_ = 0;
};

// Where a picture goes in a w x h area: 0 natural size at the top-left,
// 1 stretched, 2 centred and scaled down proportionally when larger.
RECT PlacePicture(int32_t mode, int area_w, int area_h, int pic_w, int pic_h);
// A picture's natural size at a unit's density: its pixels count as
// template pixels, so that it keeps its place among the scaled units.
SIZE PictureSizeAt(const pictures::PictureObject& picture, int32_t dpi);

// Renders and draws a picture into the rectangle (copy mode).
bool DrawPictureAt(HDC dc, const pictures::PictureObject* picture, uint32_t back_colour, const RECT& where);

// The image a button or check box shows instead of its caption: the icon of
// an icon or cursor picture (borrowed from the picture object), or a bitmap
// rendered once against the button-face colour, at its size for the
// density (stretched with the halftone filter).
struct ButtonImage {
  Bitmap bitmap;
  HICON icon = nullptr;
  explicit operator bool() const { return bitmap || icon; }
};
ButtonImage MakeButtonImage(const pictures::PictureObject* picture, int32_t dpi);

// ---- Transparent units over opaque ones ----

// Transparent windows clip neither their parent nor their siblings, so an
// opaque unit that has painted may have covered a transparent one lying over
// it: this makes those (siblings above it and its own children) paint again
// over the part painted, in client coordinates of `hwnd`.
void RepaintTransparentOver(HWND hwnd, const RECT& painted);

// WM_PAINT of an opaque unit: paint(dc, area) for the invalid area, then the
// transparent units over it paint again.
template <typename PaintFn>
LRESULT PaintOpaqueUnit(HWND hwnd, PaintFn paint) {
  RECT painted;
  {
    PaintScope ps(hwnd);
    paint(ps.dc(), ps.area());
    painted = ps.area();
  }
  RepaintTransparentOver(hwnd, painted);
  return 0;
}

// WM_PRINTCLIENT: the whole client area into the given DC.
template <typename PaintFn>
LRESULT PrintUnitClient(HWND hwnd, HDC dc, PaintFn paint) {
  RECT client;
  GetClientRect(hwnd, &client);
  paint(dc, client);
  return 0;
}

// ---- Captions of labels and transparent labels ----

struct CaptionStyle {
  int32_t effect = 0;  // 0..3
  uint32_t text_colour = 0;
  int32_t h_align = 0;  // 0 left, 1 centre, 2 right
  int32_t v_align = 1;  // 0 top, 1 centre, 2 bottom; single line only
  bool word_wrap = false;
};
// Draws the caption into the rectangle in the given font (or the default GUI
// font at `dpi`); nothing for an empty caption.
void DrawCaption(HDC dc, const RECT& area, const std::wstring& text, HFONT font, const CaptionStyle& style,
                 int32_t dpi);

}  // namespace ui::units

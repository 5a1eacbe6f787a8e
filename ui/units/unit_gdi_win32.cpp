#include "ui/units/unit_gdi_win32.h"

#include <cstring>
#include <map>

#include "pictures/render_win32.h"
#include "runtime/win32/dpi_win32.h"
#include "runtime/win32/gbk_win32.h"
#include "ui/template/dpi.h"

namespace ui::units {

COLORREF ResolveColour(uint32_t colour) {
  return colour == kSystemColour ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(colour & 0x00FFFFFF);
}

Brush SolidBrush(uint32_t colour) { return Brush(CreateSolidBrush(ResolveColour(colour))); }

void FillArea(HDC dc, const RECT& r, uint32_t colour) {
  // ExtTextOut with an opaque rectangle fills without a brush object.
  const COLORREF old = SetBkColor(dc, ResolveColour(colour));
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

Font MakeFont(const std::optional<LogFont>& font, int32_t dpi) {
  if (!font) return Font();
  LOGFONTW lf{};
  lf.lfHeight = ScaleForDpi(font->height, dpi);
  lf.lfWidth = ScaleForDpi(font->width, dpi);
  lf.lfEscapement = font->escapement;
  lf.lfOrientation = font->orientation;
  lf.lfWeight = font->weight;
  lf.lfItalic = font->italic;
  lf.lfUnderline = font->underline;
  lf.lfStrikeOut = font->strike_out;
  lf.lfCharSet = font->char_set;
  lf.lfOutPrecision = font->out_precision;
  lf.lfClipPrecision = font->clip_precision;
  lf.lfQuality = font->quality;
  lf.lfPitchAndFamily = font->pitch_and_family;
  const std::wstring face = rt::win32::ToWide(font->Face());
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  return Font(CreateFontIndirectW(&lf));
}

HFONT DefaultGuiFont(int32_t dpi) {
  const auto stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const int32_t system_dpi = rt::win32::SystemDpi();
  if (dpi <= 0 || dpi == system_dpi) return stock;
  // One font per density met (a handful at most): units share it, as they
  // share the stock font, so none of them owns it.
  static std::map<int32_t, HFONT> scaled;
  if (const auto it = scaled.find(dpi); it != scaled.end()) return it->second;
  LOGFONTW lf{};
  if (!GetObjectW(stock, sizeof lf, &lf)) return stock;
  lf.lfHeight = ScaleBetweenDpi(lf.lfHeight, dpi, system_dpi);
  lf.lfWidth = ScaleBetweenDpi(lf.lfWidth, dpi, system_dpi);
  HFONT font = CreateFontIndirectW(&lf);
  if (!font) return stock;
  scaled.emplace(dpi, font);
  return font;
}

std::optional<LogFont> FontRecord(HFONT font) {
  LOGFONTW lf{};
  if (!font || !GetObjectW(font, sizeof lf, &lf)) return std::nullopt;
  LogFont f;
  f.height = lf.lfHeight;
  f.width = lf.lfWidth;
  f.escapement = lf.lfEscapement;
  f.orientation = lf.lfOrientation;
  f.weight = lf.lfWeight;
  f.italic = lf.lfItalic;
  f.underline = lf.lfUnderline;
  f.strike_out = lf.lfStrikeOut;
  f.char_set = lf.lfCharSet;
  f.out_precision = lf.lfOutPrecision;
  f.clip_precision = lf.lfClipPrecision;
  f.quality = lf.lfQuality;
  f.pitch_and_family = lf.lfPitchAndFamily;
  f.SetFace(rt::win32::ToGbk(lf.lfFaceName));
  return f;
}

void SetWindowTextGbk(HWND hwnd, std::string_view gbk) {
  SetWindowTextW(hwnd, rt::win32::ToWide(gbk).c_str());
}

std::string WindowTextGbk(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return std::string();
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, w.data(), n + 1);
  w.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return rt::win32::ToGbk(w);
}

void ApplyBorder(HWND hwnd, int32_t border) {
  constexpr LONG_PTR kExMask = WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME | WS_EX_STATICEDGE;
  struct Styles {
    LONG_PTR ex;
    bool line;
  };
  static constexpr Styles kBorders[] = {
      {0, false},                                    // 0 none
      {WS_EX_CLIENTEDGE, false},                     // 1 sunken client edge
      {WS_EX_DLGMODALFRAME, false},                  // 2 raised modal frame
      {WS_EX_STATICEDGE, false},                     // 3 thin static edge
      {WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME, false},  // 4 both
      {0, true},                                     // 5 single black line
  };
  const Styles& s = kBorders[Clamp(border, 0, 5)];
  LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  SetWindowLongPtrW(hwnd, GWL_EXSTYLE, (ex & ~kExMask) | s.ex);
  SetWindowLongPtrW(hwnd, GWL_STYLE, s.line ? (style | WS_BORDER) : (style & ~static_cast<LONG_PTR>(WS_BORDER)));
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

const wchar_t* EnsureClass(const wchar_t* name, UINT style, WNDPROC proc) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  if (GetClassInfoExW(inst, name, &existing)) return name;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = nullptr;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
  return name;
}

void PictureSlot::Set(ByteSpan bytes) {
  Clear();
  bytes_.assign(bytes.begin(), bytes.end());
}

void PictureSlot::Clear() {
  pictures::FreePicture(picture_);
  picture_ = nullptr;
  bytes_.clear();
}

const pictures::PictureObject* PictureSlot::Get() {
  if (!picture_ && !bytes_.empty()) {
    ++decode_count_;
    picture_ = pictures::LoadPicture(bytes_.data(), static_cast<int64_t>(bytes_.size()));
    // Bytes that do not decode are dropped: the unit shows its background
    // and does not try again until new bytes are written.
    if (!picture_) bytes_.clear();
  }
  return picture_;
}

RECT PlacePicture(int32_t mode, int area_w, int area_h, int pic_w, int pic_h) {
  switch (mode) {
    case 1: return RECT{0, 0, area_w, area_h};
    case 2: {
      int w = pic_w, h = pic_h;
      if (w > area_w || h > area_h) {
        // Scale by the smaller ratio, truncating; integer arithmetic keeps
        // the result exact (946 x 128 in 473 x 256 gives 473 x 64).
        const bool by_width = static_cast<int64_t>(area_w) * pic_h <= static_cast<int64_t>(area_h) * pic_w;
        if (by_width) {
          w = area_w;
          h = static_cast<int>(static_cast<int64_t>(pic_h) * area_w / pic_w);
        } else {
          h = area_h;
          w = static_cast<int>(static_cast<int64_t>(pic_w) * area_h / pic_h);
        }
      }
      const int x = (area_w - w) / 2, y = (area_h - h) / 2;
      return RECT{x, y, x + w, y + h};
    }
    default: return RECT{0, 0, pic_w, pic_h};
  }
}

SIZE PictureSizeAt(const pictures::PictureObject& picture, int32_t dpi) {
  return SIZE{ScaleForDpi(picture.width, dpi), ScaleForDpi(picture.height, dpi)};
}

bool DrawPictureAt(HDC dc, const pictures::PictureObject* picture, uint32_t back_colour, const RECT& where) {
  pictures::RenderedPicture r;
  if (!picture || !pictures::RenderPicture(dc, picture, ResolveColour(back_colour), &r)) return false;
  pictures::DrawRenderedPicture(&r, where.left, where.top, where.right - where.left, where.bottom - where.top,
                                SRCCOPY);
  pictures::ReleaseRenderedPicture(&r);
  return true;
}

ButtonImage MakeButtonImage(const pictures::PictureObject* picture, int32_t dpi) {
  ButtonImage image;
  if (!picture) return image;
  if (picture->format == pictures::kIcon || picture->format == pictures::kCursor) {
    image.icon = static_cast<HICON>(picture->icon);
    return image;
  }
  HDC screen = GetDC(nullptr);
  pictures::RenderedPicture r;
  const SIZE size = PictureSizeAt(*picture, dpi);
  if (pictures::RenderPicture(screen, picture, GetSysColor(COLOR_BTNFACE), &r)) {
    if (size.cx == r.width && size.cy == r.height) {
      image.bitmap.reset(r.bitmap);
      r.bitmap = nullptr;  // now the image's
    } else if (HDC mem = CreateCompatibleDC(screen)) {
      // The button draws its bitmap as it is: scaled here, once.
      image.bitmap.reset(CreateCompatibleBitmap(screen, size.cx, size.cy));
      if (image.bitmap) {
        HGDIOBJ old = SelectObject(mem, image.bitmap.get());
        r.dc = mem;
        pictures::DrawRenderedPicture(&r, 0, 0, size.cx, size.cy, SRCCOPY);
        SelectObject(mem, old);
      }
      DeleteDC(mem);
    }
    pictures::ReleaseRenderedPicture(&r);
  }
  ReleaseDC(nullptr, screen);
  return image;
}

namespace {
bool IsShownTransparent(HWND w) {
  return IsWindowVisible(w) && (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
}
void InvalidateOver(HWND w, const RECT& screen) {
  RECT r;
  GetWindowRect(w, &r);
  if (!IntersectRect(&r, &r, &screen)) return;
  MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
  InvalidateRect(w, &r, FALSE);
}
}  // namespace

void RepaintTransparentOver(HWND hwnd, const RECT& painted) {
  if (IsRectEmpty(&painted)) return;
  RECT screen = painted;
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&screen), 2);
  for (HWND w = GetWindow(hwnd, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
    if (IsShownTransparent(w)) InvalidateOver(w, screen);
  for (HWND w = GetWindow(hwnd, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
    if (IsShownTransparent(w)) InvalidateOver(w, screen);
}

void DrawCaption(HDC dc, const RECT& area, const std::wstring& text, HFONT font, const CaptionStyle& style,
                 int32_t dpi) {
  if (text.empty()) return;
  static constexpr UINT kHAlign[] = {DT_LEFT, DT_CENTER, DT_RIGHT};
  static constexpr UINT kVAlign[] = {DT_TOP, DT_VCENTER, DT_BOTTOM};
  UINT flags = DT_NOCLIP | kHAlign[Clamp(style.h_align, 0, 2)];
  if (style.word_wrap)
    flags |= DT_WORDBREAK | DT_TOP;
  else
    flags |= DT_SINGLELINE | kVAlign[Clamp(style.v_align, 0, 2)];

  Selected selected_font(dc, font ? font : DefaultGuiFont(dpi));
  const int old_mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF old_colour = GetTextColor(dc);
  auto draw = [&](COLORREF colour, int dx, int dy) {
    RECT r = area;
    OffsetRect(&r, dx, dy);
    SetTextColor(dc, colour);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
  };
  const COLORREF colour = ResolveColour(style.text_colour);
  switch (Clamp(style.effect, 0, 3)) {
    case 1:  // raised: white shadow to the lower right
      draw(RGB(255, 255, 255), 1, 1);
      draw(colour, 0, 0);
      break;
    case 2:  // sunken: white at the place, the text below right
      draw(RGB(255, 255, 255), 0, 0);
      draw(colour, 1, 1);
      break;
    case 3:  // shadow: black two pixels to the lower right
      draw(RGB(0, 0, 0), 2, 2);
      draw(colour, 0, 0);
      break;
    default: draw(colour, 0, 0); break;
  }
  SetTextColor(dc, old_colour);
  SetBkMode(dc, old_mode);
}

}  // namespace ui::units

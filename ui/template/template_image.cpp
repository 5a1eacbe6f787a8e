#include "ui/template/template_image.h"

#include <algorithm>
#include <limits>

#include "ui/template/identifiers.h"

namespace ui {

const char* TemplateErrorText(TemplateError e) {
  switch (e) {
    case TemplateError::Ok: return "ok";
    case TemplateError::Truncated: return "truncated";
    case TemplateError::BadWindowTable: return "bad window table";
    case TemplateError::BadIdentifier: return "bad identifier";
    case TemplateError::DuplicateIdentifier: return "duplicate identifier";
    case TemplateError::BadUnitTable: return "bad unit table";
    case TemplateError::BadRecord: return "bad record";
    case TemplateError::BadReference: return "bad parent or child reference";
    case TemplateError::BadHandler: return "handler offset outside the handler table";
  }
  return "unknown";
}

const WindowTemplate* TemplateImage::Find(uint32_t id) const {
  if (!IsValidId(id)) return nullptr;
  for (const WindowTemplate& w : windows)
    if (w.id == id) return &w;
  return nullptr;
}

WindowTemplate* TemplateImage::Find(uint32_t id) {
  return const_cast<WindowTemplate*>(static_cast<const TemplateImage*>(this)->Find(id));
}

size_t TemplateImage::RecordCount() const {
  size_t n = 0;
  for (const WindowTemplate& w : windows) n += w.units.size();
  return n;
}

TemplateError CheckUnitTable(const KeyedRecordList& units) {
  const size_t k = units.size();
  if (k == 0 || !IsOwnRecordId(units.Key(0))) return TemplateError::BadIdentifier;
  for (size_t i = 1; i < k; ++i) {
    uint32_t key = units.Key(i);
    if (!IsValidId(key) || IdClass(key) != id_class::Unit ||
        (IdVariant(key) != id_variant::Unit && IdVariant(key) != id_variant::MenuItem))
      return TemplateError::BadIdentifier;
  }
  // Tables are small (tens of units); a quadratic scan keeps this allocation-free.
  for (size_t i = 0; i < k; ++i)
    for (size_t j = i + 1; j < k; ++j)
      if (units.Key(i) == units.Key(j)) return TemplateError::DuplicateIdentifier;

  auto is_unit = [&](uint32_t id) {
    auto at = units.Find(id);
    return at && *at != 0 && !units.IsMenuItem(*at);
  };
  for (size_t i = 0; i < k; ++i) {
    if (units.IsMenuItem(i)) {
      if (!units.MenuItem(i)) return TemplateError::BadRecord;
      continue;
    }
    auto unit = units.Unit(i);
    if (!unit) return TemplateError::BadRecord;
    uint32_t parent = unit->Parent();
    if (parent != 0 && (i == 0 || parent == units.Key(i) || !is_unit(parent)))
      return TemplateError::BadReference;
    // Page containers separate their pages with 0 entries.
    for (size_t c = 0; c < unit->ChildCount(); ++c) {
      uint32_t child = unit->Child(c);
      if (child != 0 && !is_unit(child)) return TemplateError::BadReference;
    }
  }
  // A parent chain longer than the table has a cycle.
  for (size_t i = 1; i < k; ++i) {
    uint32_t id = units.Key(i);
    for (size_t steps = 0; id != 0; ++steps) {
      if (steps > k) return TemplateError::BadReference;
      auto at = units.Find(id);
      auto unit = at ? units.Unit(*at) : std::nullopt;
      if (!unit) break;
      id = unit->Parent();
    }
  }
  return TemplateError::Ok;
}

namespace {

TemplateError ReadWindow(ByteReader& r, WindowTemplate& w) {
  w.attributes = r.U32();
  w.class_id = r.U32();
  ByteSpan first = r.Counted();
  ByteSpan second = r.Counted();
  uint32_t count = r.U32();
  uint32_t size = r.U32();
  ByteSpan table = r.Take(size);
  if (!r.ok()) return TemplateError::Truncated;
  w.first_text.assign(first.begin(), first.end());
  w.second_text.assign(second.begin(), second.end());
  auto units = KeyedRecordList::Parse(table, count);
  if (!units) return TemplateError::BadUnitTable;
  w.units = std::move(*units);
  return CheckUnitTable(w.units);
}

}  // namespace

TemplateError ReadTemplateImage(ByteSpan image, TemplateImage& out, size_t* error_offset) {
  out.windows.clear();
  ByteReader r(image);
  auto fail = [&](TemplateError e, size_t at) {
    out.windows.clear();
    if (error_offset) *error_offset = at;
    return e;
  };
  uint32_t table_size = r.U32();
  if (!r.ok()) return fail(TemplateError::Truncated, 0);
  if (table_size % 8 != 0) return fail(TemplateError::BadWindowTable, 0);
  const size_t n = table_size / 8;
  if (n > r.remaining() / 8) return fail(TemplateError::Truncated, 0);
  std::vector<WindowTemplate> windows(n);
  for (size_t i = 0; i < n; ++i) {
    windows[i].id = r.U32();
    if (!IsValidId(windows[i].id)) return fail(TemplateError::BadIdentifier, 4 + 4 * i);
    for (size_t j = 0; j < i; ++j)
      if (windows[j].id == windows[i].id) return fail(TemplateError::DuplicateIdentifier, 4 + 4 * i);
  }
  r.Skip(4 * n);  // reserved slots for the window objects
  for (size_t i = 0; i < n; ++i) {
    size_t at = r.pos();
    TemplateError e = ReadWindow(r, windows[i]);
    if (e != TemplateError::Ok) return fail(e, at);
  }
  if (!r.at_end()) return fail(TemplateError::BadWindowTable, r.pos());
  out.windows = std::move(windows);
  return TemplateError::Ok;
}

TemplateError FixUpBindings(TemplateImage& image, size_t handler_count) {
  auto valid = [&](int32_t handler) {
    return handler == kNoHandler || (handler >= 0 && size_t(handler) < handler_count);
  };
  for (WindowTemplate& w : image.windows) {
    for (size_t i = 0; i < w.units.size(); ++i) {
      if (w.units.IsMenuItem(i)) {
        auto item = w.units.MenuItem(i);
        if (!item) return TemplateError::BadRecord;
        if (!valid(item->Handler())) return TemplateError::BadHandler;
        continue;
      }
      auto unit = w.units.Unit(i);
      if (!unit) return TemplateError::BadRecord;
      for (size_t b = 0; b < unit->BindingCount(); ++b)
        if (!valid(unit->GetBinding(b).handler)) return TemplateError::BadHandler;
    }
  }
  return TemplateError::Ok;
}

TemplateError LoadTemplateImage(ByteSpan image, size_t handler_count, TemplateImage& out,
                                size_t* error_offset) {
  TemplateError e = ReadTemplateImage(image, out, error_offset);
  if (e == TemplateError::Ok) e = FixUpBindings(out, handler_count);
  if (e != TemplateError::Ok) out.windows.clear();
  return e;
}

Bytes WriteTemplateImage(const TemplateImage& image) {
  ByteWriter w;
  const size_t n = image.windows.size();
  w.U32(static_cast<uint32_t>(8 * n));
  for (const WindowTemplate& win : image.windows) w.U32(win.id);
  w.Zeros(4 * n);
  for (const WindowTemplate& win : image.windows) {
    w.U32(win.attributes);
    w.U32(win.class_id);
    w.Counted(win.first_text);
    w.Counted(win.second_text);
    w.U32(static_cast<uint32_t>(win.units.size()));
    w.Counted(win.units.bytes());
  }
  return w.Take();
}

}  // namespace ui

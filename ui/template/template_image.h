// TemplateImage: every window of the program with all its units, in one block
// of bytes.
//
//   u32          window-table size in bytes, 8n for n windows
//   4n           window identifiers, in table order (the first is the start window)
//   4n           reserved slots, 0 when written, ignored when read
//   n x WindowTemplate:
//     u32 attribute word, u32 code-class identifier,
//     counted text, counted text,
//     u32 unit count k, u32 unit-table size, the unit table (KeyedRecordList)
//
// Reading checks every length and every record: truncated or inconsistent
// bytes give an error and no window at all.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/template/bytes.h"
#include "ui/template/record_list.h"

namespace ui {

enum class TemplateError {
  Ok = 0,
  Truncated,         // a length or count runs past the end of the image
  BadWindowTable,    // window-table size not a multiple of 8, or trailing bytes
  BadIdentifier,     // an invalid or misplaced window or unit identifier
  DuplicateIdentifier,
  BadUnitTable,      // unit count, offsets and record lengths disagree
  BadRecord,         // a record whose fields run past its end
  BadReference,      // a parent or child that is not a unit of the window
  BadHandler,        // a handler offset outside the program's handler table
};
const char* TemplateErrorText(TemplateError e);

struct WindowTemplate {
  uint32_t id = 0;
  uint32_t attributes = 0;
  uint32_t class_id = 0;
  std::string first_text;
  std::string second_text;
  KeyedRecordList units;
};

struct TemplateImage {
  std::vector<WindowTemplate> windows;

  // Compares the first window first, then the rest in order; an invalid
  // identifier is never found.
  const WindowTemplate* Find(uint32_t id) const;
  WindowTemplate* Find(uint32_t id);
  size_t RecordCount() const;
};

// Reads the image into out (replacing its windows). On failure out holds no
// window and, when error_offset is given, it receives the image offset of the
// window template or field where reading stopped.
TemplateError ReadTemplateImage(ByteSpan image, TemplateImage& out, size_t* error_offset = nullptr);

// Checks the records of one unit table: the window's own record first, unit
// and menu-item identifiers after it, no duplicates, every record well formed,
// parents and children naming units of the same table, no parent cycles.
TemplateError CheckUnitTable(const KeyedRecordList& units);

// The start-up fix-up of event bindings. The program's code base is its table
// of handler routines and a handler offset indexes it, so the fix-up leaves
// offsets as they are after checking each against the table: -1 (no handler)
// or 0 .. handler_count - 1. Any other offset fails the image.
TemplateError FixUpBindings(TemplateImage& image, size_t handler_count);

// Read and fix-up together, as the runtime does at start-up.
TemplateError LoadTemplateImage(ByteSpan image, size_t handler_count, TemplateImage& out,
                                size_t* error_offset = nullptr);

Bytes WriteTemplateImage(const TemplateImage& image);

}  // namespace ui

// The readable description of windows that wintmpl turns into a template
// image. The format is documented in docs/window-templates.md.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/template/template_image.h"

namespace wintmpl {

// Any error in a description; the message starts with "file:line:".
struct DescriptionError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct UnitConstant {
  std::string alias;      // ASCII, from the description
  std::string name_utf8;  // the unit's authored name, for comments
  uint32_t id = 0;
};

struct WindowConstants {
  std::string alias;
  std::string file;
  uint32_t id = 0;
  uint32_t own = 0;
  uint32_t code_class = 0;
  std::vector<UnitConstant> units;
};

// Everything the descriptions produce.
struct Program {
  ui::TemplateImage image;
  std::vector<WindowConstants> windows;
  std::vector<std::string> handlers;  // table order: a handler's offset is its index
};

// Reads the description files, in window-table order, into a program.
// Texts are converted from UTF-8 to GBK. Throws DescriptionError.
Program ReadDescriptions(const std::vector<std::string>& files);

// UTF-8 to GBK; throws std::runtime_error for a character GBK lacks.
std::string ToGbk(const std::string& utf8);

}  // namespace wintmpl

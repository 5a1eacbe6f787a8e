// The program logic's view of the runtime: owned values, command calls through
// the service table's call frame, and unit properties. The logic never calls
// the system; every effect goes through these.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "runtime/service.h"
#include "runtime/value.h"
#include "setup/logic/command_table.h"
#include "ui/template/kind_numbers.h"

namespace setup {

using rt::ValueRecord;

// The program's declared DLL commands, by index.
enum DllCommand : int32_t {
  kFindResourceA = 0,
  kSizeofResource = 1,
  kLoadResource = 2,
};

// An owned runtime text; null stands for the empty text.
class Text {
 public:
  Text() = default;
  static Text Adopt(char* p) { Text t; t.p_ = p; return t; }
  static Text Copy(const char* s);
  Text(const Text& o) : Text(Copy(o.p_)) {}
  Text(Text&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Text& operator=(Text o) noexcept { std::swap(p_, o.p_); return *this; }
  ~Text();
  const char* c_str() const { return p_ ? p_ : rt::kEmptyText; }
  bool empty() const { return !p_ || !*p_; }
  ValueRecord Value() const { return rt::TextValue(c_str()); }
  friend Text operator+(const Text& a, const Text& b);
  friend Text operator+(const Text& a, const char* b);
  friend Text operator+(const char* a, const Text& b);
  bool operator==(const Text& o) const;

 private:
  char* p_ = nullptr;
};

// An owned byte set; null stands for the empty byte set.
class ByteSet {
 public:
  ByteSet() = default;
  static ByteSet Adopt(void* p) { ByteSet b; b.p_ = p; return b; }
  ByteSet(const ByteSet&) = delete;
  ByteSet(ByteSet&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ByteSet& operator=(ByteSet o) noexcept { std::swap(p_, o.p_); return *this; }
  ~ByteSet();
  ByteSet Clone() const;
  int32_t size() const { return rt::ByteSetLength(p_); }
  bool empty() const { return size() <= 0; }
  const void* block() const { return p_ ? p_ : &rt::kEmptyByteSet; }
  ValueRecord Value() const { return rt::BytesValue(block()); }

 private:
  void* p_ = nullptr;
};

// An owned one-dimensional array of texts or byte sets, with the runtime's
// bounds check on element access (1-based).
class BlockArray {
 public:
  BlockArray() = default;
  BlockArray(rt::TypeTag element, void* block) : tag_(element), p_(block) {}
  BlockArray(const BlockArray&) = delete;
  BlockArray(BlockArray&& o) noexcept : tag_(o.tag_), p_(std::exchange(o.p_, nullptr)) {}
  BlockArray& operator=(BlockArray o) noexcept { std::swap(tag_, o.tag_); std::swap(p_, o.p_); return *this; }
  ~BlockArray();
  static BlockArray Empty(rt::TypeTag element);
  // Copies of the pieces, as the runtime's split commands make them: an
  // empty piece is a null element.
  static BlockArray Texts(const std::vector<std::string>& texts);
  static BlockArray ByteSets(const std::vector<std::span<const uint8_t>>& pieces);
  int32_t size() const { return static_cast<int32_t>(rt::ArrayCount(p_)); }
  // Element i (1-based) as it is stored: a borrowed text or byte-set block.
  const void* At(int32_t i) const;
  const char* TextAt(int32_t i) const {
    const void* e = At(i);
    return e ? static_cast<const char*>(e) : rt::kEmptyText;
  }
  ValueRecord BytesValueAt(int32_t i) const {
    const void* e = At(i);
    return rt::BytesValue(e ? e : &rt::kEmptyByteSet);
  }

 private:
  rt::TypeTag tag_ = rt::tag::Text;
  void* p_ = nullptr;
};

// Command calls through the call frame (core and add-on libraries).
ValueRecord Core(rt::CommandFunction f, std::initializer_list<ValueRecord> args);
ValueRecord Library(rt::CommandFunction f, std::initializer_list<ValueRecord> args);
inline Text CoreText(rt::CommandFunction f, std::initializer_list<ValueRecord> args) { return Text::Adopt(Core(f, args).v.text); }
inline int32_t CoreInt(rt::CommandFunction f, std::initializer_list<ValueRecord> args) { return Core(f, args).v.i32; }

inline ValueRecord Int(int32_t i) { return rt::IntValue(i); }
// An address as commands take it: a long integer where pointers are 64 bits.
inline ValueRecord Address(const void* p) {
  if (sizeof(void*) == 8) {
    ValueRecord r = rt::MakeValue(rt::tag::Long);
    r.v.ptr = const_cast<void*>(p);
    return r;
  }
  return rt::IntValue(static_cast<int32_t>(reinterpret_cast<intptr_t>(p)));
}
inline ValueRecord Bool(bool b) { return rt::BoolValue(b); }
inline ValueRecord Omit() { return rt::Omitted(); }
inline ValueRecord Unit(rt::TypeTag kind, uint32_t window, uint32_t unit) { return rt::UnitValue(kind, window, unit); }

// Text helpers used throughout the pages.
Text Lit(const char* gbkLiteral);
Text DecimalText(int32_t n);
int32_t Length(const Text& t);
Text ReplaceAll(const Text& text, const char* sought, const Text& replacement);
// The template with each of its placeholders replaced by the placeholder's
// value, in one pass from the start: what a value brings in is never searched
// again, so a product title holding another placeholder's letter stays whole.
struct Placeholder {
  const char* sought;
  const Text& value;
};
Text Substitute(const Text& templ, std::initializer_list<Placeholder> placeholders);

// Unit properties (member index -1: the whole property).
Text GetTextProperty(uint32_t window, uint32_t unit, int32_t property);
int32_t GetIntProperty(uint32_t window, uint32_t unit, int32_t property);
void SetTextProperty(uint32_t window, uint32_t unit, int32_t property, const Text& value);
void SetIntProperty(uint32_t window, uint32_t unit, int32_t property, int32_t value);
void SetBytesProperty(uint32_t window, uint32_t unit, int32_t property, const ByteSet& value);

// The property numbers the program reads and writes, by the logic's names
// for them; the numbers come from the kinds' lists.
namespace prop {
constexpr int32_t Left = ui::prop::kLeft, Top = ui::prop::kTop, Width = ui::prop::kWidth, Height = ui::prop::kHeight,
                  Tag = ui::prop::kTag, Visible = ui::prop::kVisible, Disabled = ui::prop::kDisabled;
constexpr int32_t WindowCaption = ui::prop::Number(ui::prop::window::kCaption);
constexpr int32_t LabelCaption = ui::prop::Number(ui::prop::label::kCaption);
constexpr int32_t TransLabelCaption = ui::prop::Number(ui::prop::trans_label::kCaption);
constexpr int32_t ButtonCaption = ui::prop::Number(ui::prop::button::kCaption);
constexpr int32_t CheckBoxChecked = ui::prop::Number(ui::prop::check_box::kChecked);
constexpr int32_t EditContent = ui::prop::Number(ui::prop::edit_box::kContent);
constexpr int32_t PicBoxPicture = ui::prop::Number(ui::prop::pic_box::kPicture);
constexpr int32_t ProgressMaximum = ui::prop::Number(ui::prop::process_bar::kMaximum),
                  ProgressValue = ui::prop::Number(ui::prop::process_bar::kValue);
constexpr int32_t TimerPeriod = ui::prop::Number(ui::prop::timer::kPeriod);
}  // namespace prop

[[noreturn]] void Exit(int32_t code);

}  // namespace setup

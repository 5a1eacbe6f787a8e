#include "tools/wintmpl/description.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <sstream>

#include "runtime/value.h"
#include "text/convert.h"
#include "ui/template/identifiers.h"
#include "ui/template/kind_numbers.h"
#include "ui/template/kinddata.h"

namespace wintmpl {
namespace {

using ui::Bytes;

// ---- Lexing ----

struct Token {
  std::string text;
  bool quoted = false;
};

struct Line {
  std::string where;  // "file:line"
  std::vector<Token> tokens;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw DescriptionError(where + ": " + what);
}

std::vector<Token> Tokenize(const std::string& text, const std::string& where) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      Token t{"", true};
      ++i;
      for (;;) {
        if (i >= text.size()) Fail(where, "unterminated text");
        char d = text[i++];
        if (d == '"') break;
        if (d != '\\') {
          t.text += d;
          continue;
        }
        if (i >= text.size()) Fail(where, "unterminated text");
        char e = text[i++];
        switch (e) {
          case 'r': t.text += '\r'; break;
          case 'n': t.text += '\n'; break;
          case 't': t.text += '\t'; break;
          case '\\': t.text += '\\'; break;
          case '"': t.text += '"'; break;
          default: Fail(where, std::string("unknown escape \\") + e);
        }
      }
      out.push_back(std::move(t));
    } else {
      Token t;
      while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != '"' &&
             text[i] != '#')
        t.text += text[i++];
      out.push_back(std::move(t));
    }
  }
  return out;
}

std::vector<Line> ReadLines(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw DescriptionError(file + ": cannot read");
  std::vector<Line> lines;
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    std::string where = file + ":" + std::to_string(number);
    auto tokens = Tokenize(text, where);
    if (!tokens.empty()) lines.push_back({where, std::move(tokens)});
  }
  return lines;
}

// ---- Values ----

bool IsIdentifier(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  return std::all_of(s.begin(), s.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

std::optional<int64_t> ToNumber(const std::string& s) {
  if (s.empty()) return std::nullopt;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    i = 1;
  }
  int base = 10;
  if (s.size() > i + 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    int d;
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else
      return std::nullopt;
    v = v * base + d;
    if (v > 0xFFFFFFFFll) return std::nullopt;
  }
  return negative ? -v : v;
}

// The values after a keyword, consumed left to right.
class Values {
 public:
  Values(const Line& line, size_t first, std::string dir) : line_(line), at_(first), dir_(std::move(dir)) {}

  const std::string& where() const { return line_.where; }
  bool more() const { return at_ < line_.tokens.size(); }
  const Token& Next() {
    if (!more()) Fail(where(), "value missing");
    return line_.tokens[at_++];
  }
  const Token* Peek() const { return more() ? &line_.tokens[at_] : nullptr; }
  void End() const {
    if (more()) Fail(where(), "unexpected \"" + line_.tokens[at_].text + "\"");
  }

  int64_t Number() {
    const Token& t = Next();
    auto v = t.quoted ? std::nullopt : ToNumber(t.text);
    if (!v) Fail(where(), "a number is needed, not \"" + t.text + "\"");
    return *v;
  }
  int32_t Int() {
    int64_t v = Number();
    if (v < INT32_MIN || v > UINT32_MAX) Fail(where(), "number out of range");
    return static_cast<int32_t>(v);
  }
  uint32_t Word() {
    int64_t v = Number();
    if (v < 0 || v > UINT32_MAX) Fail(where(), "number out of range");
    return static_cast<uint32_t>(v);
  }
  bool Flag() {
    const Token& t = Next();
    static const std::map<std::string, bool> names = {{"on", true},  {"off", false}, {"true", true},
                                                      {"false", false}, {"yes", true}, {"no", false},
                                                      {"1", true},   {"0", false}};
    auto it = t.quoted ? names.end() : names.find(t.text);
    if (it == names.end()) Fail(where(), "on or off is needed, not \"" + t.text + "\"");
    return it->second;
  }
  std::string Text() {
    const Token& t = Next();
    if (!t.quoted) Fail(where(), "a quoted text is needed");
    try {
      return ToGbk(t.text);
    } catch (const std::exception& e) {
      Fail(where(), e.what());
    }
  }
  // none | "" | file "path" (relative to the description)
  Bytes Data() {
    const Token& t = Next();
    if ((t.quoted && t.text.empty()) || (!t.quoted && t.text == "none")) return {};
    if (t.quoted || t.text != "file") Fail(where(), "bytes are none or file \"path\"");
    const Token& path = Next();
    std::filesystem::path p = std::filesystem::path(dir_) / path.text;
    std::ifstream in(p, std::ios::binary);
    if (!in) Fail(where(), "cannot read " + p.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // none | "face" height [bold] [italic] [underline] [strikeout] [key=number]...
  std::optional<ui::LogFont> Font() {
    const Token& t = Next();
    if (!t.quoted && t.text == "none") return std::nullopt;
    if (!t.quoted) Fail(where(), "a font starts with its quoted face name");
    ui::LogFont f;
    std::string face;
    try {
      face = ToGbk(t.text);
    } catch (const std::runtime_error& e) {
      Fail(where(), e.what());
    }
    if (face.size() > 31) Fail(where(), "face name longer than 31 bytes");
    f.SetFace(face);
    f.height = Int();
    while (more()) {
      const Token& o = Next();
      if (o.quoted) Fail(where(), "unexpected text in font");
      if (o.text == "bold") { f.weight = 700; continue; }
      if (o.text == "italic") { f.italic = 1; continue; }
      if (o.text == "underline") { f.underline = 1; continue; }
      if (o.text == "strikeout") { f.strike_out = 1; continue; }
      size_t eq = o.text.find('=');
      auto v = eq == std::string::npos ? std::nullopt : ToNumber(o.text.substr(eq + 1));
      if (!v) Fail(where(), "unknown font option \"" + o.text + "\"");
      std::string key = o.text.substr(0, eq);
      auto byte = [&]() -> uint8_t {
        if (*v < 0 || *v > 255) Fail(where(), key + " is a byte");
        return static_cast<uint8_t>(*v);
      };
      if (key == "weight") f.weight = static_cast<int32_t>(*v);
      else if (key == "width") f.width = static_cast<int32_t>(*v);
      else if (key == "escapement") f.escapement = static_cast<int32_t>(*v);
      else if (key == "orientation") f.orientation = static_cast<int32_t>(*v);
      else if (key == "charset") f.char_set = byte();
      else if (key == "out") f.out_precision = byte();
      else if (key == "clip") f.clip_precision = byte();
      else if (key == "quality") f.quality = byte();
      else if (key == "pitch") f.pitch_and_family = byte();
      else Fail(where(), "unknown font option \"" + key + "\"");
    }
    return f;
  }

 private:
  const Line& line_;
  size_t at_;
  std::string dir_;
};

// ---- Kinds: names, events and properties ----

template <class T>
struct Prop {
  int32_t number;  // the kind property (number - 8), from the kind's list
  void (*set)(T&, Values&);
};

// A kind's settable properties: each one of its list at most once, in
// number order.
template <class T, size_t N>
constexpr bool Settable(const Prop<T> (&list)[N], size_t count) {
  int32_t last = -1;
  for (const Prop<T>& p : list) {
    if (p.number <= last || size_t(p.number) >= count) return false;
    last = p.number;
  }
  return true;
}

#define NUM(n, f) {n, [](T& d, Values& v) { d.f = v.Int(); }}
#define COLOUR(n, f) {n, [](T& d, Values& v) { d.f = v.Word(); }}
#define FLAG(n, f) {n, [](T& d, Values& v) { d.f = v.Flag(); }}
#define TEXT(n, f) {n, [](T& d, Values& v) { d.f = v.Text(); }}
#define DATA(n, f) {n, [](T& d, Values& v) { d.f = v.Data(); }}
#define FONT(n, f) {n, [](T& d, Values& v) { d.f = v.Font(); }}

// Property names (from the kinds' lists) and where each value goes; numbered
// properties without a name are written PropertyNN.
using namespace ui::prop;
template <class T> struct Props;

template <> struct Props<ui::WindowData> {
  using T = ui::WindowData;
  static constexpr std::span<const char* const> names = window::kNames;
  static constexpr Prop<T> list[] = {TEXT(window::kCaption, caption),
                                     NUM(window::kBorder, border),
                                     COLOUR(window::kBackColour, back_colour),
                                     DATA(window::kBackPicture, back_picture),
                                     NUM(window::kBackPictureMode, picture_mode),
                                     DATA(window::kBackSound, back_sound),
                                     NUM(window::kSoundMode, sound_mode),
                                     FLAG(window::kControlBox, control_box),
                                     FLAG(window::kMaxButton, max_button),
                                     FLAG(window::kMinButton, min_button),
                                     NUM(window::kPosition, position),
                                     FLAG(window::kMovable, movable),
                                     DATA(window::kIcon, icon),
                                     FLAG(window::kProperty21, flag21),
                                     FLAG(window::kProperty22, flag22),
                                     FLAG(window::kProperty23, flag23),
                                     TEXT(window::kHelpFile, help_file),
                                     NUM(window::kHelpContext, help_context),
                                     FLAG(window::kShowInTaskBar, show_in_task_bar),
                                     FLAG(window::kProperty27, flag27),
                                     NUM(window::kShape, shape),
                                     FLAG(window::kAlwaysOnTop, always_on_top),
                                     FLAG(window::kProperty30, flag30),
                                     TEXT(window::kClassName, class_name)};
};
template <> struct Props<ui::ButtonData> {
  using T = ui::ButtonData;
  static constexpr std::span<const char* const> names = button::kNames;
  static constexpr Prop<T> list[] = {DATA(button::kPicture, picture), NUM(button::kButtonType, button_type),
                                     TEXT(button::kCaption, caption), NUM(button::kHAlign, h_align),
                                     NUM(button::kVAlign, v_align),   FONT(button::kFont, font)};
};
template <> struct Props<ui::CheckBoxData> {
  using T = ui::CheckBoxData;
  static constexpr std::span<const char* const> names = check_box::kNames;
  static constexpr Prop<T> list[] = {DATA(check_box::kPicture, picture),
                                     FLAG(check_box::kPushLike, push_like),
                                     FLAG(check_box::kFlat, flat),
                                     TEXT(check_box::kCaption, caption),
                                     FLAG(check_box::kTextLeft, text_left),
                                     NUM(check_box::kHAlign, h_align),
                                     NUM(check_box::kVAlign, v_align),
                                     COLOUR(check_box::kTextColour, text_colour),
                                     COLOUR(check_box::kBackColour, back_colour),
                                     FONT(check_box::kFont, font),
                                     FLAG(check_box::kChecked, checked),
                                     TEXT(check_box::kDataSource, data_source),
                                     TEXT(check_box::kDataColumn, data_column)};
};
template <> struct Props<ui::LabelData> {
  using T = ui::LabelData;
  static constexpr std::span<const char* const> names = label::kNames;
  static constexpr Prop<T> list[] = {TEXT(label::kCaption, caption),
                                     NUM(label::kEffect, effect),
                                     NUM(label::kBorder, border),
                                     NUM(label::kFrameWidth, frame_width),
                                     COLOUR(label::kFrameColour1, frame_colours[0]),
                                     COLOUR(label::kFrameColour2, frame_colours[1]),
                                     COLOUR(label::kFrameColour3, frame_colours[2]),
                                     FONT(label::kFont, font),
                                     COLOUR(label::kTextColour, text_colour),
                                     COLOUR(label::kBackColour, back_colour),
                                     DATA(label::kBackPicture, back_picture),
                                     NUM(label::kBackPictureMode, back_picture_mode),
                                     NUM(label::kGradientMode, gradient_mode),
                                     COLOUR(label::kGradientColour1, gradient_colours[0]),
                                     COLOUR(label::kGradientColour2, gradient_colours[1]),
                                     COLOUR(label::kGradientColour3, gradient_colours[2]),
                                     NUM(label::kHAlign, h_align),
                                     FLAG(label::kWordWrap, word_wrap),
                                     NUM(label::kVAlign, v_align),
                                     TEXT(label::kDataSource, data_source),
                                     TEXT(label::kDataColumn, data_column)};
};
template <> struct Props<ui::PicBoxData> {
  using T = ui::PicBoxData;
  static constexpr std::span<const char* const> names = pic_box::kNames;
  static constexpr Prop<T> list[] = {NUM(pic_box::kBorder, border),          COLOUR(pic_box::kBackColour, back_colour),
                                     DATA(pic_box::kPicture, picture),       NUM(pic_box::kDisplayMode, display_mode),
                                     FLAG(pic_box::kAnimate, animate),       TEXT(pic_box::kDataSource, data_source),
                                     TEXT(pic_box::kDataColumn, data_column)};
};
template <> struct Props<ui::EditBoxData> {
  using T = ui::EditBoxData;
  static constexpr std::span<const char* const> names = edit_box::kNames;
  static constexpr Prop<T> list[] = {
      TEXT(edit_box::kContent, content),
      NUM(edit_box::kBorder, border),
      COLOUR(edit_box::kTextColour, text_colour),
      COLOUR(edit_box::kBackColour, back_colour),
      FONT(edit_box::kFont, font),
      FLAG(edit_box::kHideSelection, hide_selection),
      NUM(edit_box::kMaxLength, max_length),
      FLAG(edit_box::kMultiLine, multi_line),
      NUM(edit_box::kScrollBars, scroll_bars),
      NUM(edit_box::kAlignment, alignment),
      NUM(edit_box::kInputMode, input_mode),
      {edit_box::kPasswordChar,
       [](T& d, Values& v) {
         std::string s = v.Text();
         if (s.empty() || s.size() > 2) Fail(v.where(), "a password character is one character");
         d.password_char = static_cast<uint16_t>(static_cast<uint8_t>(s[0]) |
                                                 (s.size() > 1 ? static_cast<uint8_t>(s[1]) << 8 : 0));
       }},
      NUM(edit_box::kLetterCase, letter_case),
      NUM(edit_box::kSpinMode, spin_mode),
      NUM(edit_box::kSpinMinimum, spin_minimum),
      NUM(edit_box::kSpinMaximum, spin_maximum),
      NUM(edit_box::kSelectionStart, selection_start),
      NUM(edit_box::kSelectionLength, selection_length),
      TEXT(edit_box::kDataSource, data_source),
      TEXT(edit_box::kDataColumn, data_column)};
};
template <> struct Props<ui::ProcessBarData> {
  using T = ui::ProcessBarData;
  static constexpr std::span<const char* const> names = process_bar::kNames;
  static constexpr Prop<T> list[] = {NUM(process_bar::kBorder, border),   NUM(process_bar::kVertical, vertical),
                                     NUM(process_bar::kSmooth, smooth),   NUM(process_bar::kMinimum, minimum),
                                     NUM(process_bar::kMaximum, maximum), NUM(process_bar::kValue, value)};
};
template <> struct Props<ui::ShapeBoxData> {
  using T = ui::ShapeBoxData;
  static constexpr std::span<const char* const> names = shape_box::kNames;
  static constexpr Prop<T> list[] = {COLOUR(shape_box::kBackColour, back_colour),
                                     NUM(shape_box::kShapeKind, shape_kind),
                                     NUM(shape_box::kRelief, relief),
                                     NUM(shape_box::kLineStyle, line_style),
                                     NUM(shape_box::kLineWidth, line_width),
                                     COLOUR(shape_box::kLineColour, line_colour),
                                     COLOUR(shape_box::kFillColour, fill_colour)};
};
template <> struct Props<ui::TimerData> {
  using T = ui::TimerData;
  static constexpr std::span<const char* const> names = timer::kNames;
  static constexpr Prop<T> list[] = {NUM(timer::kPeriod, period)};
};
template <> struct Props<ui::CommonDlgData> {
  using T = ui::CommonDlgData;
  static constexpr std::span<const char* const> names = common_dlg::kNames;
  static constexpr Prop<T> list[] = {NUM(common_dlg::kDialogType, dialog_type), TEXT(common_dlg::kProperty9, text9),
                                     TEXT(common_dlg::kProperty10, text10),     TEXT(common_dlg::kProperty11, text11),
                                     NUM(common_dlg::kProperty12, number12),    TEXT(common_dlg::kProperty13, text13),
                                     TEXT(common_dlg::kProperty14, text14),     FLAG(common_dlg::kProperty15, flag15),
                                     FLAG(common_dlg::kProperty16, flag16),     FLAG(common_dlg::kProperty17, flag17),
                                     FLAG(common_dlg::kProperty18, flag18),     FLAG(common_dlg::kProperty19, flag19),
                                     COLOUR(common_dlg::kProperty20, colour20), FLAG(common_dlg::kProperty21, flag21),
                                     FLAG(common_dlg::kProperty22, flag22),     FLAG(common_dlg::kProperty23, flag23),
                                     FLAG(common_dlg::kProperty24, flag24),     TEXT(common_dlg::kProperty25, text25),
                                     NUM(common_dlg::kProperty26, number26),    TEXT(common_dlg::kProperty27, text27),
                                     NUM(common_dlg::kProperty28, choice28),    NUM(common_dlg::kProperty29, number29)};
};
template <> struct Props<ui::TransLabelData> {
  using T = ui::TransLabelData;
  static constexpr std::span<const char* const> names = trans_label::kNames;
  static constexpr Prop<T> list[] = {
      TEXT(trans_label::kCaption, caption), NUM(trans_label::kEffect, effect),
      FONT(trans_label::kFont, font),       COLOUR(trans_label::kTextColour, text_colour),
      NUM(trans_label::kHAlign, h_align),   FLAG(trans_label::kWordWrap, word_wrap),
      NUM(trans_label::kVAlign, v_align)};
};

#undef NUM
#undef COLOUR
#undef FLAG
#undef TEXT
#undef DATA
#undef FONT

// A property line, kept until the unit's kind data is built.
struct SetLine {
  const Line* line;
  std::string dir;
};

template <class T>
Bytes BuildKindData(const std::vector<SetLine>& sets) {
  static_assert(Settable(Props<T>::list, Props<T>::names.size()));
  T data;
  for (const SetLine& s : sets) {
    const std::string& name = s.line->tokens[1].text;
    const Prop<T>* prop = nullptr;
    for (const Prop<T>& p : Props<T>::list)
      if (name == Props<T>::names[size_t(p.number)]) prop = &p;
    if (!prop) Fail(s.line->where, "no property " + name + " for this kind");
    Values v(*s.line, 2, s.dir);
    prop->set(data, v);
    v.End();
  }
  return data.Serialize();
}

struct KindInfo {
  const char* name;
  uint32_t tag;
  bool focusable;  // gets the tab stop flag by default
  Bytes (*build)(const std::vector<SetLine>&);
  std::span<const ui::NumberName> events;
};

const std::vector<KindInfo>& Kinds() {
  static const std::vector<KindInfo> kinds = {
      {"Window", rt::tag::Window, false, BuildKindData<ui::WindowData>, ui::event::window::kNames},
      {"EditBox", rt::tag::EditBox, true, BuildKindData<ui::EditBoxData>, ui::event::edit_box::kNames},
      {"PicBox", rt::tag::PicBox, false, BuildKindData<ui::PicBoxData>, {}},
      {"ShapeBox", rt::tag::ShapeBox, false, BuildKindData<ui::ShapeBoxData>, {}},
      {"Label", rt::tag::Label, false, BuildKindData<ui::LabelData>, {}},
      {"Button", rt::tag::Button, true, BuildKindData<ui::ButtonData>, ui::event::button::kNames},
      {"CheckBox", rt::tag::CheckBox, true, BuildKindData<ui::CheckBoxData>, ui::event::check_box::kNames},
      {"ProcessBar", rt::tag::ProcessBar, false, BuildKindData<ui::ProcessBarData>, {}},
      {"CommonDlg", rt::tag::CommonDlg, false, BuildKindData<ui::CommonDlgData>, {}},
      {"Timer", rt::tag::Timer, false, BuildKindData<ui::TimerData>, ui::event::timer::kNames},
      {"TransLabel", rt::tag::TransLabel, false, BuildKindData<ui::TransLabelData>, {}},
  };
  return kinds;
}

const KindInfo* FindKind(const std::string& name) {
  for (const KindInfo& k : Kinds())
    if (name == k.name) return &k;
  return nullptr;
}

// ---- Windows and units ----

struct UnitDraft {
  const KindInfo* kind = nullptr;
  std::string alias;
  std::string name_utf8;
  std::string where;
  std::string parent_alias;
  enum class DataMode { Auto, Full, Empty } data = DataMode::Auto;
  bool has_rect = false;
  std::vector<SetLine> sets;
  std::vector<std::pair<int32_t, std::string>> events;
  ui::UnitSpec spec;
  uint32_t id = 0;
};

// variant -1: any variant.
uint32_t ParseId(Values& v, uint32_t cls, int variant, const char* what) {
  uint32_t id = v.Word();
  if (!ui::IsValidId(id) || ui::IdClass(id) != cls || (variant >= 0 && ui::IdVariant(id) != uint32_t(variant))) {
    std::ostringstream m;
    m << what << " identifier must be of class " << cls;
    if (variant >= 0) m << ", variant " << variant;
    m << ", with a non-zero serial";
    Fail(v.where(), m.str());
  }
  return id;
}

// Lines shared by the window's own record and the units.
bool UnitLine(UnitDraft& u, const Line& line, const std::string& dir) {
  const std::string& key = line.tokens[0].text;
  Values v(line, 1, dir);
  if (key == "rect") {
    u.spec.left = v.Int();
    u.spec.top = v.Int();
    u.spec.width = v.Int();
    u.spec.height = v.Int();
    u.has_rect = true;
  } else if (key == "flags") {
    uint32_t flags = 0;
    while (v.more()) {
      const std::string& f = v.Next().text;
      if (f == "visible") flags |= ui::unit_flag::Visible;
      else if (f == "disabled") flags |= ui::unit_flag::Disabled;
      else if (f == "tabstop") flags |= ui::unit_flag::TabStop;
      else if (f == "menu-option") flags |= ui::unit_flag::MenuOption;
      else if (f == "none") {
      } else Fail(line.where, "unknown flag " + f);
    }
    u.spec.flags = flags;
  } else if (key == "parent") {
    const Token& t = v.Next();
    if (t.quoted || !IsIdentifier(t.text)) Fail(line.where, "parent names a unit alias");
    u.parent_alias = t.text;
  } else if (key == "tag") {
    u.spec.tag = v.Text();
  } else if (key == "second-name") {
    u.spec.second_name = v.Text();
  } else if (key == "tab-order") {
    u.spec.tab_order = v.Int();
  } else if (key == "pointer") {
    u.spec.mouse_pointer = ui::EncodePointerNumber(v.Int());
  } else if (key == "on") {
    const Token& ev = v.Next();
    int32_t number = 0;
    bool found = false;
    if (auto n = ev.quoted ? std::nullopt : ToNumber(ev.text)) {
      number = static_cast<int32_t>(*n);
      found = true;
    }
    for (const auto& [name, num] : u.kind->events)
      if (!found && ev.text == name) number = num, found = true;
    for (const auto& [name, num] : ui::event::kCommonNames)
      if (!found && ev.text == name) number = num, found = true;
    if (!found) Fail(line.where, std::string("no event ") + ev.text + " for " + u.kind->name);
    const Token& handler = v.Next();
    if (handler.quoted || !IsIdentifier(handler.text)) Fail(line.where, "a handler is named by an identifier");
    for (const auto& e : u.events)
      if (e.first == number) Fail(line.where, "event bound twice");
    u.events.emplace_back(number, handler.text);
  } else if (key == "set") {
    if (line.tokens.size() < 3) Fail(line.where, "set <Property> <value>");
    u.sets.push_back({&line, dir});
    return true;
  } else if (key == "data") {
    const std::string& mode = v.Next().text;
    if (mode == "full") u.data = UnitDraft::DataMode::Full;
    else if (mode == "empty") u.data = UnitDraft::DataMode::Empty;
    else Fail(line.where, "data full or data empty");
  } else {
    return false;
  }
  v.End();
  return true;
}

struct WindowDraft {
  std::string alias;
  std::string file;
  uint32_t id = 0;
  uint32_t own = 0;
  uint32_t code_class = 0;
  uint32_t attributes = 0;
  std::string first_text, second_text;
  UnitDraft self;
  std::vector<UnitDraft> units;
  std::vector<Line> lines;  // kept alive for the set lines
};

void ReadWindow(const std::string& file, WindowDraft& w) {
  w.file = file;
  w.lines = ReadLines(file);
  const std::string dir = std::filesystem::path(file).parent_path().string();
  UnitDraft* current = nullptr;
  for (const Line& line : w.lines) {
    const std::string& key = line.tokens[0].text;
    Values v(line, 1, dir);
    if (key == "window") {
      if (current) Fail(line.where, "one window per file");
      const Token& alias = v.Next();
      if (alias.quoted || !IsIdentifier(alias.text)) Fail(line.where, "window <Alias> <identifier>");
      w.alias = alias.text;
      w.id = ParseId(v, ui::id_class::Window, -1, "window");
      v.End();
      w.self.kind = FindKind("Window");
      w.self.alias = "Self";
      w.self.where = line.where;
      current = &w.self;
      continue;
    }
    if (!current) Fail(line.where, "a description starts with its window line");
    if (key == "unit") {
      UnitDraft u;
      u.where = line.where;
      const Token& alias = v.Next();
      if (alias.quoted || !IsIdentifier(alias.text)) Fail(line.where, "unit <Alias> <Kind> <identifier> \"name\"");
      u.alias = alias.text;
      const Token& kind = v.Next();
      u.kind = FindKind(kind.text);
      if (!u.kind || u.kind->tag == rt::tag::Window) Fail(line.where, "unknown unit kind " + kind.text);
      u.id = ParseId(v, ui::id_class::Unit, ui::id_variant::Unit, "unit");
      const Token& name = v.Next();
      if (!name.quoted) Fail(line.where, "the unit's name is a quoted text");
      u.name_utf8 = name.text;
      try {
        u.spec.name = ToGbk(name.text);
      } catch (const std::exception& e) {
        Fail(line.where, e.what());
      }
      v.End();
      u.spec.flags = ui::unit_flag::Visible | (u.kind->focusable ? ui::unit_flag::TabStop : 0);
      w.units.push_back(std::move(u));
      current = &w.units.back();
      continue;
    }
    if (current == &w.self) {
      if (key == "own") { w.own = ParseId(v, ui::id_class::Unit, ui::id_variant::OwnRecord, "own record"); v.End(); continue; }
      if (key == "class") { w.code_class = ParseId(v, ui::id_class::Code, -1, "code class"); v.End(); continue; }
      if (key == "attributes") { w.attributes = v.Word(); v.End(); continue; }
      if (key == "first-text") { w.first_text = v.Text(); v.End(); continue; }
      if (key == "second-text") { w.second_text = v.Text(); v.End(); continue; }
      if (key == "parent") Fail(line.where, "the window has no parent");
    }
    if (!UnitLine(*current, line, dir)) Fail(line.where, "unknown keyword " + key);
  }
  if (!current) Fail(file, "no window line");
  if (!w.own) Fail(w.self.where, "the window needs its own record identifier (own)");
  if (!w.code_class) Fail(w.self.where, "the window needs its code class identifier (class)");
}

// Every unit's kind data, parent and child list, and its handlers in the
// program's table.
ui::WindowTemplate BuildWindow(WindowDraft& w, std::vector<std::string>& handlers) {
  std::map<std::string, uint32_t> by_alias;
  std::map<uint32_t, std::string> by_id;
  by_id[w.own] = "the window's own record";
  for (UnitDraft& u : w.units) {
    if (!by_alias.emplace(u.alias, u.id).second) Fail(u.where, "alias " + u.alias + " used twice");
    if (!by_id.emplace(u.id, u.alias).second) Fail(u.where, "identifier used twice in this window");
  }
  std::vector<UnitDraft*> all = {&w.self};
  for (UnitDraft& u : w.units) all.push_back(&u);
  w.self.id = w.own;

  for (UnitDraft* u : all) {
    if (!u->has_rect) Fail(u->where, "rect <left> <top> <width> <height> is missing");
    if (!u->parent_alias.empty()) {
      auto it = by_alias.find(u->parent_alias);
      if (it == by_alias.end()) Fail(u->where, "no unit " + u->parent_alias + " in this window");
      if (it->second == u->id) Fail(u->where, "a unit cannot contain itself");
      u->spec.parent = it->second;
    }
    if (u->data == UnitDraft::DataMode::Empty && !u->sets.empty()) Fail(u->where, "data empty with set lines");
    if (u->data == UnitDraft::DataMode::Full || !u->sets.empty()) u->spec.kind_data = u->kind->build(u->sets);
    u->spec.kind = u->kind->tag;
    for (const auto& [event, name] : u->events) {
      auto it = std::find(handlers.begin(), handlers.end(), name);
      int32_t index = static_cast<int32_t>(it - handlers.begin());
      if (it == handlers.end()) handlers.push_back(name);
      u->spec.bindings.push_back({event, index});
    }
  }
  for (UnitDraft* u : all)
    if (u->spec.parent)
      for (UnitDraft* p : all)
        if (p->id == u->spec.parent) p->spec.children.push_back(u->id);

  std::vector<ui::KeyedRecordList::Entry> entries;
  for (UnitDraft* u : all) entries.push_back({u->id, ui::SerializeUnit(u->spec)});
  ui::WindowTemplate t;
  t.id = w.id;
  t.attributes = w.attributes;
  t.class_id = w.code_class;
  t.first_text = w.first_text;
  t.second_text = w.second_text;
  t.units = ui::KeyedRecordList::Build(entries);
  ui::TemplateError e = ui::CheckUnitTable(t.units);
  if (e != ui::TemplateError::Ok) Fail(w.file, std::string("unit table rejected: ") + ui::TemplateErrorText(e));
  return t;
}

}  // namespace

Program ReadDescriptions(const std::vector<std::string>& files) {
  Program program;
  std::vector<WindowDraft> drafts(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    ReadWindow(files[i], drafts[i]);
    for (size_t j = 0; j < i; ++j) {
      if (drafts[j].id == drafts[i].id) Fail(files[i], "window identifier already used by " + files[j]);
      if (drafts[j].alias == drafts[i].alias) Fail(files[i], "window alias already used by " + files[j]);
    }
  }
  for (WindowDraft& w : drafts) {
    program.image.windows.push_back(BuildWindow(w, program.handlers));
    WindowConstants c{w.alias, w.file, w.id, w.own, w.code_class, {}};
    for (const UnitDraft& u : w.units) c.units.push_back({u.alias, u.name_utf8, u.id});
    program.windows.push_back(std::move(c));
  }
  return program;
}

std::string ToGbk(const std::string& utf8) {
  std::string gbk;
  if (!text::Utf8ToGbk(utf8, gbk)) throw std::runtime_error("text has no GBK form: \"" + utf8 + "\"");
  return gbk;
}

}  // namespace wintmpl

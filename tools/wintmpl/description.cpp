#include "tools/wintmpl/description.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "runtime/value.h"
#include "text/convert.h"
#include "ui/template/identifiers.h"
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
  const char* name;
  void (*set)(T&, Values&);
};

#define NUM(n, f) {n, [](T& d, Values& v) { d.f = v.Int(); }}
#define COLOUR(n, f) {n, [](T& d, Values& v) { d.f = v.Word(); }}
#define FLAG(n, f) {n, [](T& d, Values& v) { d.f = v.Flag(); }}
#define TEXT(n, f) {n, [](T& d, Values& v) { d.f = v.Text(); }}
#define DATA(n, f) {n, [](T& d, Values& v) { d.f = v.Data(); }}
#define FONT(n, f) {n, [](T& d, Values& v) { d.f = v.Font(); }}

// Property names as the program uses them; numbered properties without a name
// are written PropertyNN.
template <class T> struct Props;

template <> struct Props<ui::WindowData> {
  using T = ui::WindowData;
  static constexpr Prop<T> list[] = {
      TEXT("Caption", caption), NUM("Border", border), COLOUR("BackColour", back_colour),
      DATA("BackPicture", back_picture), NUM("BackPictureMode", picture_mode), DATA("BackSound", back_sound),
      NUM("SoundMode", sound_mode), FLAG("ControlBox", control_box), FLAG("MaxButton", max_button),
      FLAG("MinButton", min_button), NUM("Position", position), FLAG("Movable", movable), DATA("Icon", icon),
      FLAG("Property21", flag21), FLAG("Property22", flag22), FLAG("Property23", flag23),
      TEXT("HelpFile", help_file), NUM("HelpContext", help_context), FLAG("ShowInTaskBar", show_in_task_bar),
      FLAG("Property27", flag27), NUM("Shape", shape), FLAG("AlwaysOnTop", always_on_top),
      FLAG("Property30", flag30), TEXT("ClassName", class_name)};
};
template <> struct Props<ui::ButtonData> {
  using T = ui::ButtonData;
  static constexpr Prop<T> list[] = {DATA("Picture", picture), NUM("ButtonType", button_type),
                                     TEXT("Caption", caption),  NUM("HAlign", h_align),
                                     NUM("VAlign", v_align),    FONT("Font", font)};
};
template <> struct Props<ui::CheckBoxData> {
  using T = ui::CheckBoxData;
  static constexpr Prop<T> list[] = {
      DATA("Picture", picture),       FLAG("PushLike", push_like),    FLAG("Flat", flat),
      TEXT("Caption", caption),       FLAG("TextLeft", text_left),    NUM("HAlign", h_align),
      NUM("VAlign", v_align),         COLOUR("TextColour", text_colour), COLOUR("BackColour", back_colour),
      FONT("Font", font),             FLAG("Checked", checked),       TEXT("DataSource", data_source),
      TEXT("DataColumn", data_column)};
};
template <> struct Props<ui::LabelData> {
  using T = ui::LabelData;
  static constexpr Prop<T> list[] = {
      TEXT("Caption", caption),
      NUM("Effect", effect),
      NUM("Border", border),
      NUM("FrameWidth", frame_width),
      COLOUR("FrameColour1", frame_colours[0]),
      COLOUR("FrameColour2", frame_colours[1]),
      COLOUR("FrameColour3", frame_colours[2]),
      FONT("Font", font),
      COLOUR("TextColour", text_colour),
      COLOUR("BackColour", back_colour),
      DATA("BackPicture", back_picture),
      NUM("BackPictureMode", back_picture_mode),
      NUM("GradientMode", gradient_mode),
      COLOUR("GradientColour1", gradient_colours[0]),
      COLOUR("GradientColour2", gradient_colours[1]),
      COLOUR("GradientColour3", gradient_colours[2]),
      NUM("HAlign", h_align),
      FLAG("WordWrap", word_wrap),
      NUM("VAlign", v_align),
      TEXT("DataSource", data_source),
      TEXT("DataColumn", data_column)};
};
template <> struct Props<ui::PicBoxData> {
  using T = ui::PicBoxData;
  static constexpr Prop<T> list[] = {NUM("Border", border),          COLOUR("BackColour", back_colour),
                                     DATA("Picture", picture),       NUM("DisplayMode", display_mode),
                                     FLAG("Animate", animate),       TEXT("DataSource", data_source),
                                     TEXT("DataColumn", data_column)};
};
template <> struct Props<ui::EditBoxData> {
  using T = ui::EditBoxData;
  static constexpr Prop<T> list[] = {
      TEXT("Content", content),
      NUM("Border", border),
      COLOUR("TextColour", text_colour),
      COLOUR("BackColour", back_colour),
      FONT("Font", font),
      FLAG("HideSelection", hide_selection),
      NUM("MaxLength", max_length),
      FLAG("MultiLine", multi_line),
      NUM("ScrollBars", scroll_bars),
      NUM("Alignment", alignment),
      NUM("InputMode", input_mode),
      {"PasswordChar",
       [](T& d, Values& v) {
         std::string s = v.Text();
         if (s.empty() || s.size() > 2) Fail(v.where(), "a password character is one character");
         d.password_char = static_cast<uint16_t>(static_cast<uint8_t>(s[0]) |
                                                 (s.size() > 1 ? static_cast<uint8_t>(s[1]) << 8 : 0));
       }},
      NUM("LetterCase", letter_case),
      NUM("SpinMode", spin_mode),
      NUM("SpinMinimum", spin_minimum),
      NUM("SpinMaximum", spin_maximum),
      NUM("SelectionStart", selection_start),
      NUM("SelectionLength", selection_length),
      TEXT("DataSource", data_source),
      TEXT("DataColumn", data_column)};
};
template <> struct Props<ui::ProcessBarData> {
  using T = ui::ProcessBarData;
  static constexpr Prop<T> list[] = {NUM("Border", border),   NUM("Vertical", vertical), NUM("Smooth", smooth),
                                     NUM("Minimum", minimum), NUM("Maximum", maximum),   NUM("Value", value)};
};
template <> struct Props<ui::ShapeBoxData> {
  using T = ui::ShapeBoxData;
  static constexpr Prop<T> list[] = {COLOUR("BackColour", back_colour), NUM("ShapeKind", shape_kind),
                                     NUM("Relief", relief),             NUM("LineStyle", line_style),
                                     NUM("LineWidth", line_width),      COLOUR("LineColour", line_colour),
                                     COLOUR("FillColour", fill_colour)};
};
template <> struct Props<ui::TimerData> {
  using T = ui::TimerData;
  static constexpr Prop<T> list[] = {NUM("Period", period)};
};
template <> struct Props<ui::CommonDlgData> {
  using T = ui::CommonDlgData;
  static constexpr Prop<T> list[] = {
      NUM("DialogType", dialog_type), TEXT("Property9", text9),   TEXT("Property10", text10),
      TEXT("Property11", text11),     NUM("Property12", number12), TEXT("Property13", text13),
      TEXT("Property14", text14),     FLAG("Property15", flag15),  FLAG("Property16", flag16),
      FLAG("Property17", flag17),     FLAG("Property18", flag18),  FLAG("Property19", flag19),
      COLOUR("Property20", colour20), FLAG("Property21", flag21),  FLAG("Property22", flag22),
      FLAG("Property23", flag23),     FLAG("Property24", flag24),  TEXT("Property25", text25),
      NUM("Property26", number26),    TEXT("Property27", text27),  NUM("Property28", choice28),
      NUM("Property29", number29)};
};
template <> struct Props<ui::TransLabelData> {
  using T = ui::TransLabelData;
  static constexpr Prop<T> list[] = {TEXT("Caption", caption),         NUM("Effect", effect),
                                     FONT("Font", font),               COLOUR("TextColour", text_colour),
                                     NUM("HAlign", h_align),           FLAG("WordWrap", word_wrap),
                                     NUM("VAlign", v_align)};
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
  T data;
  for (const SetLine& s : sets) {
    const std::string& name = s.line->tokens[1].text;
    const Prop<T>* prop = nullptr;
    for (const Prop<T>& p : Props<T>::list)
      if (name == p.name) prop = &p;
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
  std::vector<std::pair<const char*, int32_t>> events;
};

const std::vector<std::pair<const char*, int32_t>> kCommonEvents = {
    {"left-down", -1}, {"left-up", -2},    {"double-click", -3}, {"right-down", -4},
    {"right-up", -5},  {"mouse-move", -6}, {"got-focus", -7},    {"lost-focus", -8},
    {"key-down", -9},  {"key-up", -10},    {"char", -11},        {"wheel", -12}};

const std::vector<KindInfo>& Kinds() {
  static const std::vector<KindInfo> kinds = {
      {"Window", rt::tag::Window, false, BuildKindData<ui::WindowData>,
       {{"created", 0}, {"close", 1}, {"destroying", 2}, {"moved", 3}, {"resized", 4}, {"activated", 5},
        {"deactivated", 6}, {"idle", 7}, {"first-activated", 8}, {"tray", 9}, {"shown", 10}, {"hidden", 11},
        {"close-request", 12}}},
      {"EditBox", rt::tag::EditBox, true, BuildKindData<ui::EditBoxData>, {{"spin", 1}}},
      {"PicBox", rt::tag::PicBox, false, BuildKindData<ui::PicBoxData>, {}},
      {"ShapeBox", rt::tag::ShapeBox, false, BuildKindData<ui::ShapeBoxData>, {}},
      {"Label", rt::tag::Label, false, BuildKindData<ui::LabelData>, {}},
      {"Button", rt::tag::Button, true, BuildKindData<ui::ButtonData>, {{"clicked", 0}}},
      {"CheckBox", rt::tag::CheckBox, true, BuildKindData<ui::CheckBoxData>, {{"clicked", 0}}},
      {"ProcessBar", rt::tag::ProcessBar, false, BuildKindData<ui::ProcessBarData>, {}},
      {"CommonDlg", rt::tag::CommonDlg, false, BuildKindData<ui::CommonDlgData>, {}},
      {"Timer", rt::tag::Timer, false, BuildKindData<ui::TimerData>, {{"tick", 0}}},
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
    for (const auto& [name, num] : kCommonEvents)
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

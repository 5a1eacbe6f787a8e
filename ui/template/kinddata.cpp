#include "ui/template/kinddata.h"

#include <algorithm>
#include <cstring>

#include "gbk/ui_template_texts.h"
#include "runtime/value.h"

namespace ui {

// ---- Logical font ----

std::optional<LogFont> LogFont::Decode(ByteSpan bytes) {
  if (bytes.size() != kSize) return std::nullopt;
  ByteReader r(bytes);
  LogFont f;
  f.height = r.I32();
  f.width = r.I32();
  f.escapement = r.I32();
  f.orientation = r.I32();
  f.weight = r.I32();
  ByteSpan b = r.Take(8);
  f.italic = b[0];
  f.underline = b[1];
  f.strike_out = b[2];
  f.char_set = b[3];
  f.out_precision = b[4];
  f.clip_precision = b[5];
  f.quality = b[6];
  f.pitch_and_family = b[7];
  ByteSpan face = r.Take(32);
  std::memcpy(f.face_name.data(), face.data(), 32);
  return f;
}

Bytes LogFont::Encode() const {
  ByteWriter w;
  w.I32(height);
  w.I32(width);
  w.I32(escapement);
  w.I32(orientation);
  w.I32(weight);
  const uint8_t b[8] = {italic, underline, strike_out, char_set,
                        out_precision, clip_precision, quality, pitch_and_family};
  w.Raw(ByteSpan(b, 8));
  w.Raw(ByteSpan(reinterpret_cast<const uint8_t*>(face_name.data()), face_name.size()));
  return w.Take();
}

std::string_view LogFont::Face() const {
  size_t n = 0;
  while (n < face_name.size() && face_name[n] != 0) ++n;
  return std::string_view(face_name.data(), n);
}

void LogFont::SetFace(std::string_view face) {
  face_name.fill(0);
  size_t n = std::min(face.size(), face_name.size() - 1);
  std::memcpy(face_name.data(), face.data(), n);
}

// ---- Field visitors: one description of each layout serves both ways ----

namespace {

class KindReader {
 public:
  KindReader(ByteSpan data, uint32_t version) : r_(data), version_(version) {}
  uint32_t version() const { return version_; }
  bool ok() const { return r_.ok() && font_ok_; }
  ByteReader& reader() { return r_; }

  void Num(int32_t& v) { v = r_.I32(); }
  void Num(uint32_t& v) { v = r_.U32(); }
  void Flag(bool& v) { v = r_.U32() != 0; }
  void Short(uint16_t& v) { v = r_.U16(); }
  void Data(Bytes& v) {
    ByteSpan s = r_.Counted();
    v.assign(s.begin(), s.end());
  }
  void Text(std::string& v) {
    ByteSpan s = r_.Counted();
    v.assign(s.begin(), s.end());
  }
  void Font(std::optional<LogFont>& v) {
    ByteSpan s = r_.Counted();
    if (!r_.ok()) return;
    if (s.empty()) {
      v.reset();
      return;
    }
    v = LogFont::Decode(s);
    // A font is empty or one whole logical font record; anything else is
    // damaged data.
    if (!v) font_ok_ = false;
  }

 private:
  ByteReader r_;
  uint32_t version_;
  bool font_ok_ = true;
};

class KindWriter {
 public:
  explicit KindWriter(uint32_t version) : version_(version) { w_.U32(version); }
  uint32_t version() const { return version_; }
  Bytes Take() { return w_.Take(); }

  void Num(const int32_t& v) { w_.I32(v); }
  void Num(const uint32_t& v) { w_.U32(v); }
  void Flag(const bool& v) { w_.U32(v ? 1 : 0); }
  void Short(const uint16_t& v) { w_.U16(v); }
  void Data(const Bytes& v) { w_.Counted(v); }
  void Text(const std::string& v) { w_.Counted(v); }
  void Font(const std::optional<LogFont>& v) {
    if (v)
      w_.Counted(v->Encode());
    else
      w_.U32(0);
  }

 private:
  ByteWriter w_;
  uint32_t version_;
};

template <class T>
std::optional<T> ParseKind(ByteSpan data) {
  T out;
  if (data.empty()) return out;
  ByteReader head(data);
  uint32_t version = head.U32();
  if (!head.ok() || version > T::kMaxVersion) return std::nullopt;
  KindReader r(data.subspan(4), version);
  out.Visit(r);
  if (!r.ok()) return std::nullopt;
  return out;
}

template <class T>
Bytes SerializeKind(const T& data) {
  KindWriter w(T::kMaxVersion);
  const_cast<T&>(data).Visit(w);  // the writer only reads the fields
  return w.Take();
}

}  // namespace

#define KIND_DATA_METHODS(T)                                              \
  std::optional<T> T::Parse(ByteSpan data) { return ParseKind<T>(data); } \
  Bytes T::Serialize() const { return SerializeKind(*this); }

// ---- Layouts ----

template <class IO>
void WindowData::Visit(IO& io) {
  io.Num(border);
  io.Num(picture_mode);
  io.Num(back_colour);
  io.Flag(max_button);
  io.Flag(min_button);
  io.Flag(control_box);
  io.Num(position);
  io.Flag(movable);
  io.Num(sound_mode);
  io.Flag(flag21);
  io.Flag(flag22);
  io.Flag(flag23);
  io.Num(help_context);
  if (io.version() >= 2) io.Flag(show_in_task_bar);
  if (io.version() >= 3) {
    io.Flag(flag27);
    io.Num(shape);
  }
  if (io.version() >= 4) io.Flag(always_on_top);
  if (io.version() >= 5) io.Flag(flag30);
  if (io.version() >= 6) io.Text(class_name);
  io.Data(back_picture);
  io.Data(icon);
  io.Data(back_sound);
  io.Text(caption);
  io.Text(help_file);
}
KIND_DATA_METHODS(WindowData)

ButtonData::ButtonData() : caption(gbk::DefaultButtonCaption) {}
template <class IO>
void ButtonData::Visit(IO& io) {
  io.Num(button_type);
  io.Num(h_align);
  io.Num(v_align);
  io.Data(picture);
  io.Font(font);
  io.Text(caption);
}
KIND_DATA_METHODS(ButtonData)

CheckBoxData::CheckBoxData() : caption(gbk::DefaultCheckBoxCaption) {}
template <class IO>
void CheckBoxData::Visit(IO& io) {
  io.Flag(push_like);
  io.Flag(flat);
  io.Flag(text_left);
  io.Num(h_align);
  io.Num(v_align);
  io.Num(text_colour);
  io.Num(back_colour);
  io.Flag(checked);
  io.Data(picture);
  io.Font(font);
  io.Text(caption);
  if (io.version() >= 2) {
    io.Text(data_source);
    io.Text(data_column);
  }
}
KIND_DATA_METHODS(CheckBoxData)

LabelData::LabelData() : caption(gbk::DefaultLabelCaption) {}
template <class IO>
void LabelData::Visit(IO& io) {
  io.Num(effect);
  io.Num(frame_width);
  io.Num(border);
  for (uint32_t& c : frame_colours) io.Num(c);
  io.Num(text_colour);
  io.Num(back_colour);
  io.Num(back_picture_mode);
  io.Num(gradient_mode);
  for (uint32_t& c : gradient_colours) io.Num(c);
  io.Num(h_align);
  io.Num(v_align);
  io.Flag(word_wrap);
  io.Font(font);
  io.Data(back_picture);
  io.Text(caption);
  if (io.version() >= 2) {
    io.Text(data_source);
    io.Text(data_column);
  }
}
KIND_DATA_METHODS(LabelData)

template <class IO>
void PicBoxData::Visit(IO& io) {
  io.Num(border);
  io.Num(back_colour);
  io.Num(display_mode);
  io.Flag(animate);
  io.Data(picture);
  if (io.version() >= 2) {
    io.Text(data_source);
    io.Text(data_column);
  }
}
KIND_DATA_METHODS(PicBoxData)

template <class IO>
void EditBoxData::Visit(IO& io) {
  io.Num(border);
  io.Num(text_colour);
  io.Num(back_colour);
  io.Flag(hide_selection);
  io.Num(max_length);
  io.Flag(multi_line);
  io.Num(scroll_bars);
  io.Num(alignment);
  io.Num(input_mode);
  io.Short(password_char);
  io.Num(letter_case);
  io.Num(spin_mode);
  io.Num(spin_minimum);
  io.Num(spin_maximum);
  io.Num(selection_start);
  io.Num(selection_length);
  io.Font(font);
  io.Text(content);
  if (io.version() >= 2) {
    io.Text(data_source);
    io.Text(data_column);
  }
}
KIND_DATA_METHODS(EditBoxData)

template <class IO>
void ProcessBarData::Visit(IO& io) {
  io.Num(border);
  io.Num(vertical);
  io.Num(smooth);
  io.Num(minimum);
  io.Num(maximum);
  io.Num(value);
}
KIND_DATA_METHODS(ProcessBarData)

template <class IO>
void ShapeBoxData::Visit(IO& io) {
  io.Num(back_colour);
  io.Num(shape_kind);
  io.Num(relief);
  io.Num(line_style);
  io.Num(line_width);
  io.Num(line_colour);
  io.Num(fill_colour);
}
KIND_DATA_METHODS(ShapeBoxData)

template <class IO>
void TimerData::Visit(IO& io) {
  io.Num(period);
}
KIND_DATA_METHODS(TimerData)

template <class IO>
void CommonDlgData::Visit(IO& io) {
  io.Num(dialog_type);
  io.Num(number12);
  io.Flag(flag15);
  io.Flag(flag16);
  io.Flag(flag17);
  io.Flag(flag18);
  io.Flag(flag19);
  io.Num(colour20);
  io.Flag(flag21);
  io.Flag(flag22);
  io.Flag(flag23);
  io.Flag(flag24);
  io.Num(number26);
  io.Num(choice28);
  io.Num(number29);
  io.Text(text9);
  io.Text(text10);
  io.Text(text11);
  io.Text(text13);
  io.Text(text14);
  io.Text(text25);
  io.Text(text27);
}
KIND_DATA_METHODS(CommonDlgData)

TransLabelData::TransLabelData() : caption(gbk::DefaultTransLabelCaption) {}
template <class IO>
void TransLabelData::Visit(IO& io) {
  // Properties 9, 11, 12, 14, 13 in this order.
  io.Num(effect);
  io.Num(text_colour);
  io.Num(h_align);
  io.Num(v_align);
  io.Flag(word_wrap);
  io.Font(font);
  io.Text(caption);
}
KIND_DATA_METHODS(TransLabelData)

#undef KIND_DATA_METHODS

// ---- By kind tag ----

namespace {
struct KindEntry {
  uint32_t tag;
  uint32_t max_version;
  bool (*parses)(ByteSpan);
};
template <class T>
bool Parses(ByteSpan d) {
  return T::Parse(d).has_value();
}
constexpr KindEntry kKinds[] = {
    {rt::tag::Window, WindowData::kMaxVersion, Parses<WindowData>},
    {rt::tag::EditBox, EditBoxData::kMaxVersion, Parses<EditBoxData>},
    {rt::tag::PicBox, PicBoxData::kMaxVersion, Parses<PicBoxData>},
    {rt::tag::ShapeBox, ShapeBoxData::kMaxVersion, Parses<ShapeBoxData>},
    {rt::tag::Label, LabelData::kMaxVersion, Parses<LabelData>},
    {rt::tag::Button, ButtonData::kMaxVersion, Parses<ButtonData>},
    {rt::tag::CheckBox, CheckBoxData::kMaxVersion, Parses<CheckBoxData>},
    {rt::tag::ProcessBar, ProcessBarData::kMaxVersion, Parses<ProcessBarData>},
    {rt::tag::CommonDlg, CommonDlgData::kMaxVersion, Parses<CommonDlgData>},
    {rt::tag::Timer, TimerData::kMaxVersion, Parses<TimerData>},
    {rt::tag::TransLabel, TransLabelData::kMaxVersion, Parses<TransLabelData>},
};
const KindEntry* FindKind(uint32_t tag) {
  for (const KindEntry& k : kKinds)
    if (k.tag == tag) return &k;
  return nullptr;
}
}  // namespace

bool KindDataParses(uint32_t kind_tag, ByteSpan data) {
  const KindEntry* k = FindKind(kind_tag);
  return !k || k->parses(data);
}

uint32_t KindMaxVersion(uint32_t kind_tag) {
  const KindEntry* k = FindKind(kind_tag);
  return k ? k->max_version : 0;
}

}  // namespace ui

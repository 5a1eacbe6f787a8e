// Kind data: the serialised properties a unit kind keeps in its unit record.
//
// The first u32 is a version; each kind accepts versions up to its maximum and
// rejects a larger one. Numbers are u32/i32 (logical values 0 or 1), "bytes"
// fields are a u32 length and the bytes (a picture, an icon, a sound, a font),
// texts are counted texts (GBK). Empty kind data means every property keeps its
// default, and the defaults are the member initialisers below.
//
// Parse checks the version and every length; kind data that ends early is a
// failure (the unit is then not created). Bytes after the last field are
// ignored. Serialize always writes the kind's maximum version.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ui/template/bytes.h"

namespace ui {

// 0xFF000000 in a colour property: the system's button-face colour, or "no
// colour" where a property says so.
constexpr uint32_t kSystemColour = 0xFF000000;

// A logical font record as kept in kind data: empty (default font) or these
// 60 bytes.
struct LogFont {
  static constexpr size_t kSize = 60;
  int32_t height = 0;
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strike_out = 0;
  uint8_t char_set = 0;
  uint8_t out_precision = 0;
  uint8_t clip_precision = 0;
  uint8_t quality = 0;
  uint8_t pitch_and_family = 0;
  std::array<char, 32> face_name{};

  static std::optional<LogFont> Decode(ByteSpan bytes);  // exactly 60 bytes
  Bytes Encode() const;
  std::string_view Face() const;
  void SetFace(std::string_view face);  // cut to 31 bytes
  bool operator==(const LogFont&) const = default;
};

struct WindowData {
  static constexpr uint32_t kMaxVersion = 6;
  int32_t border = 2;
  int32_t picture_mode = 1;
  uint32_t back_colour = kSystemColour;
  bool max_button = false;
  bool min_button = true;
  bool control_box = true;
  int32_t position = 1;  // centred on the screen
  bool movable = true;
  int32_t sound_mode = 0;
  bool flag21 = false;
  bool flag22 = true;
  bool flag23 = false;
  int32_t help_context = 0;
  bool show_in_task_bar = true;  // from version 2
  bool flag27 = false;           // from version 3
  int32_t shape = 0;             // from version 3
  bool always_on_top = false;    // from version 4
  bool flag30 = false;           // from version 5
  std::string class_name;        // version 6
  Bytes back_picture;
  Bytes icon;
  Bytes back_sound;
  std::string caption;
  std::string help_file;

  static std::optional<WindowData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const WindowData&) const = default;
};

struct ButtonData {
  static constexpr uint32_t kMaxVersion = 1;
  int32_t button_type = 0;
  int32_t h_align = 1;
  int32_t v_align = 1;
  Bytes picture;
  std::optional<LogFont> font;
  std::string caption;  // default "按钮", set by the constructor

  ButtonData();
  static std::optional<ButtonData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const ButtonData&) const = default;
};

struct CheckBoxData {
  static constexpr uint32_t kMaxVersion = 2;
  bool push_like = false;
  bool flat = false;
  bool text_left = false;
  int32_t h_align = 0;
  int32_t v_align = 1;
  uint32_t text_colour = 0;
  uint32_t back_colour = kSystemColour;
  bool checked = false;
  Bytes picture;
  std::optional<LogFont> font;
  std::string caption;  // default "选择框"
  std::string data_source;  // version 2
  std::string data_column;  // version 2

  CheckBoxData();
  static std::optional<CheckBoxData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const CheckBoxData&) const = default;
};

struct LabelData {
  static constexpr uint32_t kMaxVersion = 2;
  int32_t effect = 0;
  int32_t frame_width = 8;
  int32_t border = 0;
  std::array<uint32_t, 3> frame_colours = {0x808080, 0xFFFFFF, 0x808080};
  uint32_t text_colour = 0;
  uint32_t back_colour = kSystemColour;
  int32_t back_picture_mode = 1;
  int32_t gradient_mode = 0;
  std::array<uint32_t, 3> gradient_colours = {0x808080, 0xFFFFFF, 0x808080};
  int32_t h_align = 0;
  int32_t v_align = 1;
  bool word_wrap = false;
  std::optional<LogFont> font;
  Bytes back_picture;
  std::string caption;  // default "标签"
  std::string data_source;  // version 2
  std::string data_column;  // version 2

  LabelData();
  static std::optional<LabelData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const LabelData&) const = default;
};

struct PicBoxData {
  static constexpr uint32_t kMaxVersion = 2;
  int32_t border = 0;
  uint32_t back_colour = kSystemColour;
  int32_t display_mode = 0;
  bool animate = true;
  Bytes picture;
  std::string data_source;  // version 2
  std::string data_column;  // version 2

  static std::optional<PicBoxData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const PicBoxData&) const = default;
};

struct EditBoxData {
  static constexpr uint32_t kMaxVersion = 2;
  int32_t border = 1;
  uint32_t text_colour = 0;
  uint32_t back_colour = 0xFFFFFF;
  bool hide_selection = true;
  int32_t max_length = 0;
  bool multi_line = false;
  int32_t scroll_bars = 0;
  int32_t alignment = 0;
  int32_t input_mode = 0;
  uint16_t password_char = '*';  // stored as u16
  int32_t letter_case = 0;
  int32_t spin_mode = 0;
  int32_t spin_minimum = 0;
  int32_t spin_maximum = 100;
  int32_t selection_start = 0;
  int32_t selection_length = 0;
  std::optional<LogFont> font;
  std::string content;
  std::string data_source;  // version 2
  std::string data_column;  // version 2

  static std::optional<EditBoxData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const EditBoxData&) const = default;
};

struct ProcessBarData {
  static constexpr uint32_t kMaxVersion = 1;
  int32_t border = 3;
  int32_t vertical = 0;
  int32_t smooth = 0;
  int32_t minimum = 0;
  int32_t maximum = 100;
  int32_t value = 0;

  static std::optional<ProcessBarData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const ProcessBarData&) const = default;
};

struct ShapeBoxData {
  static constexpr uint32_t kMaxVersion = 1;
  uint32_t back_colour = kSystemColour;
  int32_t shape_kind = 0;
  int32_t relief = 0;
  int32_t line_style = 1;
  int32_t line_width = 1;
  uint32_t line_colour = 0;
  uint32_t fill_colour = kSystemColour;  // not filled

  static std::optional<ShapeBoxData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const ShapeBoxData&) const = default;
};

struct TimerData {
  static constexpr uint32_t kMaxVersion = 1;
  int32_t period = 0;

  static std::optional<TimerData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const TimerData&) const = default;
};

// Settings of the file, colour and font dialogs, named by property number.
// The fifteen numbers come first in property order, then the seven texts.
struct CommonDlgData {
  static constexpr uint32_t kMaxVersion = 1;
  int32_t dialog_type = 0;  // 8
  int32_t number12 = 0;
  bool flag15 = false;
  bool flag16 = true;
  bool flag17 = true;
  bool flag18 = true;
  bool flag19 = false;
  uint32_t colour20 = 0;
  bool flag21 = false;
  bool flag22 = false;
  bool flag23 = false;
  bool flag24 = false;
  int32_t number26 = 0;
  int32_t choice28 = 0;
  int32_t number29 = 0;
  std::string text9, text10, text11, text13, text14, text25, text27;

  static std::optional<CommonDlgData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const CommonDlgData&) const = default;
};

struct TransLabelData {
  static constexpr uint32_t kMaxVersion = 1;
  int32_t effect = 0;
  uint32_t text_colour = 0;
  int32_t h_align = 0;
  int32_t v_align = 1;
  bool word_wrap = false;
  std::optional<LogFont> font;
  std::string caption;  // default "透明标签"

  TransLabelData();
  static std::optional<TransLabelData> Parse(ByteSpan data);
  Bytes Serialize() const;
  template <class IO> void Visit(IO& io);
  bool operator==(const TransLabelData&) const = default;
};

// Whether kind data parses for the kind with this type tag. Kinds without a
// layout here accept anything.
bool KindDataParses(uint32_t kind_tag, ByteSpan data);
// The highest kind-data version of a kind, 0 for kinds without a layout here.
uint32_t KindMaxVersion(uint32_t kind_tag);

}  // namespace ui

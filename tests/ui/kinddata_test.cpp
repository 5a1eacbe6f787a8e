// Kind data of the unit kinds: defaults, round trips, versions, damage.
#include <gtest/gtest.h>

#include "gbk/ui_test_texts.h"
#include "runtime/value.h"
#include "ui/template/kinddata.h"

namespace ui {
namespace {

LogFont BoldSong() {
  LogFont f;
  f.height = -16;
  f.weight = 700;
  f.char_set = 134;
  f.SetFace(gbk::FaceSong);
  return f;
}

TEST(KindData, EmptyDataKeepsEveryDefault) {
  auto w = WindowData::Parse({});
  ASSERT_TRUE(w);
  EXPECT_EQ(w->border, 2);
  EXPECT_EQ(w->picture_mode, 1);
  EXPECT_EQ(w->back_colour, 0xFF000000u);
  EXPECT_FALSE(w->max_button);
  EXPECT_TRUE(w->min_button);
  EXPECT_TRUE(w->control_box);
  EXPECT_EQ(w->position, 1);
  EXPECT_TRUE(w->movable);
  EXPECT_TRUE(w->flag22);
  EXPECT_FALSE(w->flag21 || w->flag23 || w->flag27 || w->flag30 || w->always_on_top);
  EXPECT_TRUE(w->show_in_task_bar);
  EXPECT_TRUE(w->caption.empty() && w->class_name.empty() && w->icon.empty());

  EXPECT_EQ(ButtonData::Parse({})->caption, gbk::CaptionButton);
  EXPECT_EQ(ButtonData::Parse({})->h_align, 1);
  EXPECT_EQ(LabelData::Parse({})->caption, gbk::CaptionLabel);
  EXPECT_EQ(LabelData::Parse({})->frame_width, 8);
  EXPECT_EQ(TransLabelData::Parse({})->caption, gbk::CaptionTransLabel);
  EXPECT_EQ(TransLabelData::Parse({})->v_align, 1);
  EXPECT_FALSE(CheckBoxData::Parse({})->checked);
  EXPECT_TRUE(PicBoxData::Parse({})->animate);
  EXPECT_EQ(EditBoxData::Parse({})->back_colour, 0xFFFFFFu);
  EXPECT_EQ(EditBoxData::Parse({})->password_char, '*');
  EXPECT_EQ(EditBoxData::Parse({})->spin_maximum, 100);
  EXPECT_EQ(ProcessBarData::Parse({})->border, 3);
  EXPECT_EQ(ProcessBarData::Parse({})->maximum, 100);
  EXPECT_EQ(ShapeBoxData::Parse({})->line_style, 1);
  EXPECT_EQ(ShapeBoxData::Parse({})->fill_colour, kSystemColour);
  EXPECT_EQ(TimerData::Parse({})->period, 0);
  auto dlg = CommonDlgData::Parse({});
  EXPECT_TRUE(dlg->flag16 && dlg->flag17 && dlg->flag18 && !dlg->flag15 && !dlg->flag19);
}

// Changes every field so that a field written in the wrong place, or one
// missing on either side, shows.
template <class T>
void ExpectRoundTrip(const T& value) {
  Bytes bytes = value.Serialize();
  auto back = T::Parse(bytes);
  ASSERT_TRUE(back);
  EXPECT_TRUE(*back == value);
  EXPECT_EQ(back->Serialize(), bytes);
  // Every field is needed: each shorter prefix fails.
  for (size_t n = 1; n < bytes.size(); ++n)
    EXPECT_FALSE(T::Parse(ByteSpan(bytes.data(), n))) << typeid(T).name() << " cut at " << n;
  // A version above the maximum is refused.
  Bytes newer = bytes;
  StoreU32(newer.data(), T::kMaxVersion + 1);
  EXPECT_FALSE(T::Parse(newer));
}

TEST(KindData, EveryKindRoundTrips) {
  WindowData w;
  w.border = 5, w.picture_mode = 3, w.back_colour = 0x123456, w.max_button = true, w.min_button = false;
  w.control_box = false, w.position = 3, w.movable = false, w.sound_mode = 2, w.flag21 = true;
  w.flag22 = false, w.flag23 = true, w.help_context = 77, w.show_in_task_bar = false, w.flag27 = true;
  w.shape = 4, w.always_on_top = true, w.flag30 = true, w.class_name = "Cls", w.back_picture = {1, 2};
  w.icon = {3}, w.back_sound = {4, 5, 6}, w.caption = "cap", w.help_file = "h.hlp";
  ExpectRoundTrip(w);

  ButtonData b;
  b.button_type = 1, b.h_align = 2, b.v_align = 0, b.picture = {9}, b.font = BoldSong(), b.caption = "ok";
  ExpectRoundTrip(b);

  CheckBoxData c;
  c.push_like = c.flat = c.text_left = true, c.h_align = 2, c.v_align = 0, c.text_colour = 0xFF;
  c.back_colour = 0xFFFFFF, c.checked = true, c.picture = {1}, c.font = BoldSong(), c.caption = "c";
  c.data_source = "src", c.data_column = "col";
  ExpectRoundTrip(c);

  LabelData l;
  l.effect = 3, l.frame_width = 9, l.border = 6, l.frame_colours = {1, 2, 3}, l.text_colour = 4;
  l.back_colour = 5, l.back_picture_mode = 2, l.gradient_mode = 8, l.gradient_colours = {6, 7, 8};
  l.h_align = 2, l.v_align = 0, l.word_wrap = true, l.font = BoldSong(), l.back_picture = {1, 1};
  l.caption = "text", l.data_source = "s", l.data_column = "c";
  ExpectRoundTrip(l);

  PicBoxData p;
  p.border = 4, p.back_colour = 0xFFFFFF, p.display_mode = 2, p.animate = false, p.picture = {0xFF, 0xD8};
  p.data_source = "s", p.data_column = "c";
  ExpectRoundTrip(p);

  EditBoxData e;
  e.border = 0, e.text_colour = 1, e.back_colour = 2, e.hide_selection = false, e.max_length = 260;
  e.multi_line = true, e.scroll_bars = 3, e.alignment = 2, e.input_mode = 2, e.password_char = '#';
  e.letter_case = 2, e.spin_mode = 1, e.spin_minimum = -5, e.spin_maximum = 5, e.selection_start = -1;
  e.selection_length = -1, e.font = BoldSong(), e.content = "C:\\x\\", e.data_source = "s", e.data_column = "c";
  ExpectRoundTrip(e);

  ProcessBarData pb;
  pb.border = 0, pb.vertical = 1, pb.smooth = 1, pb.minimum = 50, pb.maximum = 10, pb.value = 150;
  ExpectRoundTrip(pb);

  ShapeBoxData s;
  s.back_colour = 1, s.shape_kind = 7, s.relief = 2, s.line_style = 5, s.line_width = 3, s.line_colour = 4;
  s.fill_colour = 5;
  ExpectRoundTrip(s);

  TimerData t;
  t.period = 1;
  ExpectRoundTrip(t);

  CommonDlgData d;
  d.dialog_type = 3, d.number12 = 1, d.flag15 = true, d.flag16 = false, d.colour20 = 0xFF00;
  d.flag24 = true, d.number26 = 2, d.choice28 = 5, d.number29 = -1, d.text9 = "a", d.text27 = "z";
  ExpectRoundTrip(d);

  TransLabelData tl;
  tl.effect = 2, tl.text_colour = 0xFF, tl.h_align = 1, tl.v_align = 2, tl.word_wrap = true;
  tl.font = BoldSong(), tl.caption = "title";
  ExpectRoundTrip(tl);
}

TEST(KindData, FieldOrderOnDisk) {
  // Transparent label: properties 9, 11, 12, 14, 13, then font and caption.
  TransLabelData tl;
  tl.effect = 1, tl.text_colour = 2, tl.h_align = 3, tl.v_align = 4, tl.word_wrap = true;
  tl.font.reset();
  tl.caption = "ab";
  const Bytes want = {1, 0, 0, 0,  1, 0, 0, 0,  2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0,
                      1, 0, 0, 0,  0, 0, 0, 0,  2, 0, 0, 0, 'a', 'b'};
  EXPECT_EQ(tl.Serialize(), want);

  // The logical font: five i32, eight bytes, 32-byte face.
  Bytes f = BoldSong().Encode();
  ASSERT_EQ(f.size(), 60u);
  EXPECT_EQ(int32_t(LoadU32(f.data())), -16);
  EXPECT_EQ(LoadU32(f.data() + 16), 700u);
  EXPECT_EQ(f[23], 134);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.data() + 28)), gbk::FaceSong);

  // The password character is a u16 between input mode and property 20.
  EditBoxData e;
  Bytes eb = e.Serialize();
  EXPECT_EQ(eb[4 + 9 * 4], '*');
  EXPECT_EQ(eb[4 + 9 * 4 + 1], 0);
  EXPECT_EQ(LoadU32(eb.data() + 4 + 9 * 4 + 2 + 3 * 4), 100u);  // spin maximum
}

TEST(KindData, OlderVersionsStopEarlier) {
  // A version-1 label has no data-source texts: reading stops after the caption.
  LabelData l;
  l.caption = "old";
  l.data_source = "s";
  l.data_column = "c";
  Bytes v2 = l.Serialize();
  Bytes v1(v2.begin(), v2.end() - 4 - 1 - 4 - 1);
  StoreU32(v1.data(), 1);
  auto old = LabelData::Parse(v1);
  ASSERT_TRUE(old);
  EXPECT_EQ(old->caption, "old");
  EXPECT_TRUE(old->data_source.empty());
  // The same bytes claiming version 2 end early.
  StoreU32(v1.data(), 2);
  EXPECT_FALSE(LabelData::Parse(v1));

  // A version-1 window: the fields of later versions keep their defaults.
  WindowData w;
  w.border = 0;
  w.caption = "t";
  ByteWriter v;
  v.U32(1);
  for (int32_t n : {0, 1, int32_t(kSystemColour), 0, 1, 1, 1, 1, 0, 0, 1, 0, 0}) v.I32(n);
  for (int i = 0; i < 3; ++i) v.U32(0);
  v.Counted(std::string_view("t"));
  v.Counted(std::string_view(""));
  auto w1 = WindowData::Parse(v.bytes());
  ASSERT_TRUE(w1);
  EXPECT_EQ(*w1, w);
}

TEST(KindData, AFontIsEmptyOrOneWholeRecord) {
  ButtonData b;
  b.caption = "x";
  Bytes bytes = b.Serialize();  // font length word at 4 + 3*4 + 4 (empty picture)
  const size_t font_at = 4 + 12 + 4;
  ASSERT_EQ(LoadU32(bytes.data() + font_at), 0u);
  Bytes odd = bytes;
  StoreU32(odd.data() + font_at, 2);
  odd.insert(odd.begin() + font_at + 4, {1, 2});
  EXPECT_FALSE(ButtonData::Parse(odd));
  EXPECT_TRUE(KindDataParses(rt::tag::Button, bytes));
  EXPECT_FALSE(KindDataParses(rt::tag::Button, odd));
  EXPECT_TRUE(KindDataParses(0x00010002, odd));  // a kind without a layout here
  EXPECT_EQ(KindMaxVersion(rt::tag::Window), 6u);
}

}  // namespace
}  // namespace ui

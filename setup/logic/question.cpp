// The question box. Created: caption, message and button captions, then the
// window grows to fit the measured message. Resized (raised once right after
// creation and again when created grows the window): the buttons are laid out
// in one row, centred, 10 pixels apart. Lengths of the rules are pixels of a
// 96 DPI display, scaled for the dialog's: the box keeps its proportions to
// its text, which the system draws at the display's scale.
#include "setup/logic/question.h"

#include <cmath>

#include "gbk/setup_texts.h"
#include "setup/logic/globals.h"
#include "setup/logic/window_ids.h"
#include "ui/template/dpi.h"

namespace setup {
namespace {

using namespace ids::question;

ValueRecord Dialog() { return Unit(rt::tag::Window, ids::kQuestion, kSelf); }
ValueRecord ButtonRef(uint32_t id) { return Unit(rt::tag::Button, ids::kQuestion, id); }
int32_t Trunc(double v) { return static_cast<int32_t>(std::trunc(v)); }
int32_t Get(uint32_t unit, int32_t property) { return GetIntProperty(ids::kQuestion, unit, property); }
int32_t DialogDpi() { return CoreInt(g_cmd.UnitDpi, {Dialog()}); }

int32_t LineCount(const Text& text) {
  if (CoreInt(g_cmd.FindText, {text.Value(), rt::TextValue(gbk::CrLf)}) == -1) return 1;
  return BlockArray(rt::tag::Text, Core(g_cmd.SplitText, {text.Value(), rt::TextValue(gbk::CrLf)}).v.ptr).size();
}

// The measured height (h, for w wide text) once the longest line wraps in a
// label labelWidth wide: one more line of the same height per width it spans.
int32_t WrappedHeight(const Text& text, int32_t w, int32_t h, int32_t labelWidth) {
  const int32_t lines = LineCount(text);
  const int32_t spans = labelWidth > 0 ? (w + labelWidth - 1) / labelWidth : 1;
  return h / lines * (lines - 1 + spans);
}
void Set(uint32_t unit, int32_t property, int32_t value) { SetIntProperty(ids::kQuestion, unit, property, value); }

}  // namespace

int16_t AskQuestion(const Text& text, const Text& caption, int16_t buttonCount, const Text& button1,
                    const Text& button2, const Text& button3) {
  g.QuestionCaption = caption;
  g.QuestionText = text;
  g.ButtonText[0] = button1;
  g.ButtonText[1] = button2;
  g.ButtonText[2] = button3;
  g.QuestionButtonCount = buttonCount == 0 ? 1 : buttonCount;
  Core(g_cmd.LoadWindow, {Dialog(), Omit(), Bool(true)});
  return g.QuestionResult;
}

void MeasureText(ValueRecord unit, const Text& text, int32_t& width, int32_t& height) {
  Text longest = text;
  int32_t lines = 1;
  if (CoreInt(g_cmd.FindText, {text.Value(), rt::TextValue(gbk::CrLf)}) != -1) {
    BlockArray pieces(rt::tag::Text, Core(g_cmd.SplitText, {text.Value(), rt::TextValue(gbk::CrLf)}).v.ptr);
    lines = pieces.size();
    int32_t best = -1;
    for (int32_t i = 1; i <= pieces.size(); ++i) {
      const Text piece = Text::Copy(pieces.TextAt(i));
      if (Length(piece) > best) {
        best = Length(piece);
        longest = piece;
      }
    }
  }
  // The characters the label shows: its UTF-16 text (the GBK bytes measured
  // as they stand are other characters under any other code page).
  const ValueRecord extent = Core(g_cmd.MeasureUnitText, {unit, longest.Value()});
  width = static_cast<int32_t>(extent.v.words[0]);
  height = Trunc(static_cast<double>(static_cast<int32_t>(extent.v.words[1])) * lines + lines);
}

QuestionSize QuestionLayoutForText(int32_t w, int32_t h, int32_t dpi) {
  const auto px = [dpi](int32_t v) { return static_cast<double>(ui::ScaleForDpi(v, dpi)); };
  QuestionSize s{0, 0, w, h, false, false};
  if (w > px(256)) {
    const int32_t label = Trunc(w - w / 6.0);
    s = QuestionSize{Trunc(label + px(8)), 0, label, s.labelHeight, true, false};
  }
  if (h > px(40)) {
    const int32_t label = Trunc(h + h / 2.0);
    s.labelHeight = label;
    s.windowHeight = Trunc(label + px(40));
    s.heightChanged = true;
  }
  return s;
}

ButtonRow QuestionButtonRow(int32_t count, int32_t W, int32_t H, int32_t b1Width, int32_t b1Height, int32_t b2Width,
                            int32_t dpi) {
  const double gap = ui::ScaleForDpi(10, dpi);
  ButtonRow row{Trunc(H - b1Height - gap), {0, 0, 0}, false, false};
  if (count == 1) {
    row.left[0] = Trunc(W / 2.0 - b1Width / 2.0);
  } else if (count == 2) {
    const int32_t m = Trunc(W / 2.0);
    row.left[0] = Trunc(m - b1Width - gap);
    row.left[1] = Trunc(m + gap);
    row.show2 = true;
  } else if (count == 3) {
    const int32_t m = Trunc(W / 2.0);
    row.left[2] = Trunc(m - b1Width / 2.0);
    row.left[0] = Trunc(row.left[2] - b1Width - gap);
    row.left[1] = Trunc(row.left[2] + b2Width + gap);
    row.show2 = row.show3 = true;
  }
  return row;
}

void OnQuestionCreated() {
  if (g.QuestionCaption.empty()) g.QuestionCaption = Lit(gbk::QuestionDefaultCaption);
  SetTextProperty(ids::kQuestion, kSelf, prop::WindowCaption, g.QuestionCaption);
  SetTextProperty(ids::kQuestion, kLabel, prop::LabelCaption, g.QuestionText);
  g.QuestionResult = 0;
  const uint32_t buttons[3] = {kButton1, kButton2, kButton3};
  for (int i = 0; i < 3; ++i) {
    if (g.ButtonText[i].empty()) continue;
    SetTextProperty(ids::kQuestion, buttons[i], prop::ButtonCaption, g.ButtonText[i]);
    g.ButtonText[i] = Text();
  }
  int32_t w = 0, h = 0;
  MeasureText(Unit(rt::tag::Label, ids::kQuestion, kLabel), g.QuestionText, w, h);
  const int32_t dpi = DialogDpi();
  QuestionSize size = QuestionLayoutForText(w, h, dpi);
  if (size.widthChanged) {
    Set(kSelf, prop::Width, size.windowWidth);
    // The system caps a window's width at about the screen's. A label wider
    // than the box it lies in would cut the end of the message off: it keeps
    // the rules' distance to the box's width as shown, and its height is
    // ruled by the message's height once wrapped there.
    const int32_t shown = Get(kSelf, prop::Width);
    if (shown < size.windowWidth) {
      const int32_t labelWidth = shown - (size.windowWidth - size.labelWidth);
      size = QuestionLayoutForText(w, WrappedHeight(g.QuestionText, w, h, labelWidth), dpi);
      size.labelWidth = labelWidth;
    }
    Set(kLabel, prop::Width, size.labelWidth);
  }
  if (size.heightChanged) {
    Set(kSelf, prop::Height, size.windowHeight);
    Set(kLabel, prop::Height, size.labelHeight);
  }
  Core(g_cmd.RedirectUnitEvents, {ButtonRef(kButton2), ButtonRef(kButton1)});
  Core(g_cmd.RedirectUnitEvents, {ButtonRef(kButton3), ButtonRef(kButton1)});
  g.QuestionText = Text();
}

void OnQuestionButton() {
  const ValueRecord unit = Core(g_cmd.GetEventUnit, {});
  if (unit.tag != rt::tag::Button) rt::g_services.RaiseRuntimeError(5);
  const Text tag = GetTextProperty(unit.v.words[0], unit.v.words[1], prop::Tag);
  g.QuestionResult = static_cast<int16_t>(CoreInt(g_cmd.ToInteger, {tag.Value()}));
  Core(g_cmd.UnloadWindow, {Dialog()});
}

void OnQuestionResized() {
  const int32_t W = CoreInt(g_cmd.GetClientWidth, {Dialog()});
  const int32_t H = CoreInt(g_cmd.GetClientHeight, {Dialog()});
  const ButtonRow row = QuestionButtonRow(g.QuestionButtonCount, W, H, Get(kButton1, prop::Width),
                                          Get(kButton1, prop::Height), Get(kButton2, prop::Width), DialogDpi());
  Set(kButton1, prop::Top, row.top);
  Set(kButton2, prop::Top, row.top);
  Set(kButton3, prop::Top, row.top);
  if (g.QuestionButtonCount < 1 || g.QuestionButtonCount > 3) return;
  Set(kButton1, prop::Left, row.left[0]);
  if (row.show2) {
    Set(kButton2, prop::Left, row.left[1]);
    Set(kButton2, prop::Visible, 1);
  }
  if (row.show3) {
    Set(kButton3, prop::Left, row.left[2]);
    Set(kButton3, prop::Visible, 1);
  }
}

void OnQuestionDestroyed() {
  g.QuestionCaption = Text();
  g.QuestionText = Text();
}

}  // namespace setup

// The setup's own question box: a small modal window that sizes itself to its
// message and returns the number of the pressed button (0 when closed).
#pragma once
#include <cstdint>

#include "setup/logic/runtime_facade.h"

namespace setup {

int16_t AskQuestion(const Text& text, const Text& caption, int16_t buttonCount, const Text& button1,
                    const Text& button2, const Text& button3);

// Width and height in pixels of a possibly multi-line text as a unit shows it.
void MeasureText(ValueRecord unit, const Text& text, int32_t& width, int32_t& height);

// The dialog's layout rules, separated from the window so they can be checked
// on their own: the size the window and label take for a measured text, and
// the button positions for a client size. Sizes are pixels of the dialog's
// display; the rules' own lengths (the template's label size, margins and
// gaps) are template pixels, scaled for its dpi.
struct QuestionSize {
  int32_t windowWidth, windowHeight, labelWidth, labelHeight;
  bool widthChanged, heightChanged;
};
QuestionSize QuestionLayoutForText(int32_t measuredWidth, int32_t measuredHeight, int32_t dpi);
struct ButtonRow {
  int32_t top;
  int32_t left[3];
  bool show2, show3;
};
ButtonRow QuestionButtonRow(int32_t count, int32_t clientWidth, int32_t clientHeight, int32_t buttonWidth,
                            int32_t buttonHeight, int32_t button2Width, int32_t dpi);

void OnQuestionCreated();
void OnQuestionButton();
void OnQuestionResized();
void OnQuestionDestroyed();

}  // namespace setup

#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ui/wizard_controller.h"

namespace terminal {

// The wizard's window as lines of styled text, built from what the page logic
// decides; the renderers only lay these lines out for their kind of output.

constexpr int64_t kDefaultColour = -1;

struct Style {
  int64_t fg = kDefaultColour;  // COLORREF, or the terminal's own colour
  int64_t bg = kDefaultColour;
  bool bold = false;
  bool underline = false;
  bool reverse = false;
};

struct Segment {
  std::wstring text;
  Style style;
};

struct Line {
  std::vector<Segment> segments;
  bool wrap = false;                // a long text that may be broken at the screen width
  int64_t fillBg = kDefaultColour;  // background painted to the end of the line
};

// Whether a line may be broken at the screen width; titles and frames are not.
enum class Wrap { kNo, kYes };
Line TextLine(const std::wstring& text, Style style = Style(), Wrap wrap = Wrap::kYes);

// The controls that can hold the keyboard focus.
enum class Control {
  None,
  NoticesList,
  Confirm,
  FrameMinimize,
  FrameClose,
  DownloadLink,
  ProcedureLink,
  HelpLink,
  Continue,
  Finish,
  PageMinimize,
  PageClose,
};

// A message box as the wizard shows it in front of its screen.
struct BoxText {
  std::wstring caption;
  std::wstring text;
  uint32_t type = 0;  // platform::kMb* flags
};

bool IsQuestion(uint32_t type);
// The box's buttons, in their order, without brackets.
std::vector<std::wstring> BoxButtons(uint32_t type);
// The name of the answer a box ended with.
std::wstring BoxAnswerName(int result);

// What the wizard's window shows: the screen the page logic applied, the
// keyboard focus, the notices list's selection and a passing note. It marks
// itself changed whenever what it would draw changes.
class WizardScreen {
 public:
  // The controller holds the notices rows, the status line and whether the
  // installation runs.
  explicit WizardScreen(const WizardController& controller) : controller_(controller) {}

  // A new screen: the focus goes where the page puts it, selection and note are cleared.
  void Show(const ScreenState& screen);
  bool HasScreen() const { return hasScreen_; }
  bool NoticesShown() const;
  bool StatusShown() const;
  bool CompletionShown() const;
  bool Installing() const { return controller_.InstallInProgress(); }

  Control Focus() const { return focus_; }
  int Selected() const { return selected_; }
  void SetFocus(Control control);
  void MoveFocus(int direction);
  // Moves the notices list's selection, first giving the list the focus.
  void MoveSelection(int direction);
  // The controls in Tab order.
  std::vector<Control> FocusOrder() const;
  // The control whose mnemonic is the letter (upper case); None when there is none.
  Control ControlWithMnemonic(wchar_t letter) const;
  // The control's caption with its mnemonic marker.
  std::wstring Caption(Control control) const;
  // What holds the focus, as the plain-text screen names it.
  std::wstring FocusName() const;

  const std::wstring& Note() const { return note_; }
  void SetNote(const std::wstring& note) { note_ = note; }
  // A key clears a note that is shown.
  void ClearNote();

  bool Changed() const { return changed_; }
  void MarkChanged() { changed_ = true; }
  void MarkDrawn() { changed_ = false; }

  // The page: headline, step column and the page's own texts; then the row of buttons.
  std::vector<Line> PageLines() const;
  Line ButtonLine() const;

 private:
  Control InitialFocus() const;
  std::wstring Title() const;
  Segment ControlSegment(Control control, const std::wstring& text, Style style) const;

  const WizardController& controller_;
  ScreenState screen_;
  bool hasScreen_ = false;
  bool changed_ = false;
  Control focus_ = Control::None;
  int selected_ = -1;
  std::wstring note_;
};

}  // namespace terminal

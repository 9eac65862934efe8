#include "ui/terminal/terminal_screen.h"

#include "platform/message_box.h"
#include "ui/frame_texts.h"
#include "ui/resource_ids.h"
#include "ui/terminal/terminal_text.h"
#include "ui/ui_messages.h"

namespace terminal {

namespace {

// The list has no caption on Windows; the terminal names it.
const wchar_t kNoticesListName[] = L"お知らせ一覧";

bool IsLink(Control control) {
  return control == Control::HelpLink || control == Control::DownloadLink || control == Control::ProcedureLink;
}

}  // namespace

Line TextLine(const std::wstring& text, Style style, Wrap wrap) {
  Line line;
  line.segments.push_back({text, style});
  line.wrap = wrap == Wrap::kYes;
  return line;
}

bool IsQuestion(uint32_t type) { return (type & 0xF) == platform::kMbYesNo; }

std::vector<std::wstring> BoxButtons(uint32_t type) {
  if (IsQuestion(type)) return {L"はい(Y)", L"いいえ(N)"};
  return {L"OK"};
}

std::wstring BoxAnswerName(int result) {
  switch (result) {
    case platform::kIdYes: return L"はい(Y)";
    case platform::kIdNo: return L"いいえ(N)";
    case platform::kIdOk: return L"OK";
    default: return L"閉じました";
  }
}

void WizardScreen::Show(const ScreenState& screen) {
  screen_ = screen;
  hasScreen_ = true;
  selected_ = -1;
  note_.clear();
  focus_ = Control::None;
  SetFocus(InitialFocus());
}

bool WizardScreen::NoticesShown() const {
  return hasScreen_ && screen_.mainMode == kModeFrame && screen_.shownStep == kStepNotices;
}

bool WizardScreen::StatusShown() const {
  return hasScreen_ && screen_.mainMode == kModeFrame && screen_.shownStep == kStepInstall;
}

bool WizardScreen::CompletionShown() const {
  return hasScreen_ && (screen_.mainMode == kModeError || screen_.shownStep == kStepCompletion);
}

void WizardScreen::ClearNote() {
  if (note_.empty()) return;
  note_.clear();
  changed_ = true;
}

void WizardScreen::SetFocus(Control control) {
  if (control == focus_) return;
  // The list selects its first row when it gains the focus and clears the
  // selection when it loses it.
  if (focus_ == Control::NoticesList) selected_ = -1;
  focus_ = control;
  if (focus_ == Control::NoticesList && selected_ < 0 && !controller_.NoticeRows().empty()) selected_ = 0;
  changed_ = true;
}

void WizardScreen::MoveFocus(int direction) {
  const std::vector<Control> order = FocusOrder();
  if (order.empty()) return;
  size_t index = 0;
  bool found = false;
  for (size_t i = 0; i < order.size(); ++i) {
    if (order[i] == focus_) {
      index = i;
      found = true;
    }
  }
  if (!found) {
    SetFocus(order[direction > 0 ? 0 : order.size() - 1]);
    return;
  }
  const size_t next = direction > 0 ? (index + 1) % order.size() : (index + order.size() - 1) % order.size();
  SetFocus(order[next]);
}

void WizardScreen::MoveSelection(int direction) {
  if (!NoticesShown()) return;
  const int rows = static_cast<int>(controller_.NoticeRows().size());
  if (rows == 0) return;
  const bool hadFocus = focus_ == Control::NoticesList;
  SetFocus(Control::NoticesList);
  if (!hadFocus) return;  // gaining the focus selected the first row
  int next = selected_ + direction;
  if (next < 0) next = 0;
  if (next >= rows) next = rows - 1;
  if (next != selected_) {
    selected_ = next;
    changed_ = true;
  }
}

std::vector<Control> WizardScreen::FocusOrder() const {
  std::vector<Control> order;
  if (!hasScreen_) return order;
  const CompletionLayout& c = screen_.completion;
  const bool completion = screen_.mainMode == kModeError || screen_.shownStep == kStepCompletion;
  if (completion) {
    if (c.downloadLinksShown) {
      order.push_back(Control::DownloadLink);
      order.push_back(Control::ProcedureLink);
    }
    if (c.helpLinkShown) order.push_back(Control::HelpLink);
    if (c.resume.shown) order.push_back(Control::Continue);
    if (c.finish.shown) order.push_back(Control::Finish);
  }
  if (screen_.mainMode == kModeError) {
    // The error screen has no frame: the page's own buttons stand in for it.
    if (c.minimize.shown) order.push_back(Control::PageMinimize);
    if (c.close.shown) order.push_back(Control::PageClose);
    return order;
  }
  if (screen_.shownStep == kStepNotices) {
    order.push_back(Control::NoticesList);
    order.push_back(Control::Confirm);
  }
  order.push_back(Control::FrameMinimize);
  order.push_back(Control::FrameClose);
  return order;
}

Control WizardScreen::InitialFocus() const {
  if (CompletionShown()) {
    const CompletionLayout& c = screen_.completion;
    if (c.focusOnContinue && c.resume.shown) return Control::Continue;
    if (c.finish.shown) return Control::Finish;
    return Control::None;
  }
  if (NoticesShown()) return Control::Confirm;
  // The status page hands the focus to the frame's minimize button.
  return Control::FrameMinimize;
}

Control WizardScreen::ControlWithMnemonic(wchar_t letter) const {
  for (Control control : FocusOrder()) {
    wchar_t mnemonic = 0;
    StripMnemonic(Caption(control), &mnemonic);
    if (mnemonic != 0 && mnemonic == letter) return control;
  }
  return Control::None;
}

std::wstring WizardScreen::Caption(Control control) const {
  const FrameTexts& frame = FramePageTexts();
  const CompletionLayout& c = screen_.completion;
  switch (control) {
    case Control::NoticesList: return kNoticesListName;
    case Control::Confirm: return frame.confirmCaption;
    case Control::FrameMinimize: return frame.minimizeCaption;
    case Control::FrameClose: return frame.closeCaption;
    case Control::PageMinimize: return c.minimize.caption.empty() ? frame.minimizeCaption : c.minimize.caption;
    case Control::PageClose: return c.close.caption.empty() ? frame.closeCaption : c.close.caption;
    case Control::Finish: return c.finish.caption;
    case Control::Continue: return c.resume.caption;
    case Control::HelpLink: return c.helpLinkCaption;
    case Control::DownloadLink: return kDownloadLinkCaption;
    case Control::ProcedureLink: return kProcedureLinkCaption;
    case Control::None: break;
  }
  return std::wstring();
}

std::wstring WizardScreen::FocusName() const {
  return focus_ == Control::None ? std::wstring(L"なし") : StripMnemonic(Caption(focus_));
}

std::wstring WizardScreen::Title() const {
  if (CompletionShown()) return screen_.completion.headline;
  if (NoticesShown()) return FramePageTexts().noticesTitle;
  if (StatusShown()) return FramePageTexts().statusTitle;
  return std::wstring();
}

Segment WizardScreen::ControlSegment(Control control, const std::wstring& text, Style style) const {
  if (control == focus_) style.reverse = true;
  return {text, style};
}

Line WizardScreen::ButtonLine() const {
  Line line;
  line.segments.push_back({L"ボタン:", Style()});
  for (Control control : FocusOrder()) {
    if (control == Control::NoticesList || IsLink(control)) continue;
    line.segments.push_back({L" ", Style()});
    Style style;
    style.bold = true;
    line.segments.push_back(ControlSegment(control, L"[" + StripMnemonic(Caption(control)) + L"]", style));
  }
  return line;
}

std::vector<Line> WizardScreen::PageLines() const {
  std::vector<Line> lines;
  if (!hasScreen_) return lines;
  const FrameTexts& frame = FramePageTexts();
  Style titleStyle;
  titleStyle.bold = true;
  titleStyle.fg = LABEL_COLOUR;
  titleStyle.bg = TITLE_BACKGROUND_COLOUR;
  Line title = TextLine(L"=== " + Title() + L" ===", titleStyle, Wrap::kNo);
  title.fillBg = TITLE_BACKGROUND_COLOUR;
  lines.push_back(title);

  if (screen_.mainMode == kModeFrame) {
    // The step column, lit as the frame lights it; a hidden indicator is left out.
    const StepColumn& column = screen_.column;
    const PicturePlacement* indicators[3] = {&column.notices, &column.install, &column.completion};
    const int32_t litImages[3] = {IDB_STEP_NOTICES_ON, IDB_STEP_INSTALL_ON, IDB_STEP_DONE_ON};
    Line steps;
    steps.segments.push_back({L"ステップ: ", Style()});
    bool first = true;
    for (int i = 0; i < 3; ++i) {
      if (!indicators[i]->shown) continue;
      if (!first) steps.segments.push_back({L" → ", Style()});
      first = false;
      const bool lit = indicators[i]->image == litImages[i];
      Style style;
      style.bold = lit;
      steps.segments.push_back({std::wstring(lit ? L"■" : L"□") + frame.stepNames[i], style});
    }
    lines.push_back(steps);
  }
  lines.push_back(TextLine(L""));

  if (NoticesShown()) {
    for (const auto& text : SplitLines(frame.noticesDescription)) lines.push_back(TextLine(text));
    Style warning;
    warning.fg = WARNING_COLOUR;
    lines.push_back(TextLine(frame.noticesWarning, warning));
    for (const auto& text : SplitLines(frame.noticesInstruction)) lines.push_back(TextLine(text));
    lines.push_back(TextLine(L""));
    Style listTitle;
    listTitle.reverse = focus_ == Control::NoticesList;
    lines.push_back(TextLine(std::wstring(kNoticesListName) + L":", listTitle, Wrap::kNo));
    const auto& rows = controller_.NoticeRows();
    if (rows.empty()) lines.push_back(TextLine(L"   （なし）"));
    for (size_t i = 0; i < rows.size(); ++i) {
      const bool selected = static_cast<int>(i) == selected_;
      // A selected row is drawn inverted, as the list draws it.
      Style style;
      style.fg = selected ? rows[i].backgroundColour : rows[i].textColour;
      style.bg = selected ? rows[i].textColour : rows[i].backgroundColour;
      const std::vector<std::wstring> rowLines = SplitLines(rows[i].text);
      for (size_t k = 0; k < rowLines.size(); ++k) {
        Line line;
        line.segments.push_back({k == 0 && selected ? L" > " : L"   ", Style()});
        line.segments.push_back({L" " + rowLines[k], style});
        line.fillBg = style.bg;
        lines.push_back(line);
      }
    }
  } else if (StatusShown()) {
    lines.push_back(TextLine(L"状態: " + controller_.StatusLine()));
  } else if (CompletionShown()) {
    const CompletionLayout& c = screen_.completion;
    if (!c.body.empty()) {
      for (const auto& text : SplitLines(c.body)) lines.push_back(TextLine(text));
    }
    Style link;
    link.fg = LINK_COLOUR;
    link.underline = true;
    if (c.downloadLinksShown || c.helpLinkShown) {
      lines.push_back(TextLine(L""));
      Line links;
      links.segments.push_back({L"リンク:", Style()});
      for (Control control : {Control::DownloadLink, Control::ProcedureLink, Control::HelpLink}) {
        if (control == Control::HelpLink ? !c.helpLinkShown : !c.downloadLinksShown) continue;
        links.segments.push_back({L" ", Style()});
        links.segments.push_back(ControlSegment(control, L"<" + Caption(control) + L">", link));
      }
      lines.push_back(links);
    }
  }
  return lines;
}

}  // namespace terminal

// The wizard as plain text, for pipes and dumb terminals: each screen whole
// after a separator line, with the focus named; status lines, notes and the
// answers to boxes as lines of their own. Scripts read it line by line.
#include <string>
#include <vector>

#include "platform/utf.h"
#include "ui/terminal/terminal_renderer.h"
#include "ui/terminal/terminal_text.h"

namespace terminal {

const char kScreenSeparator[] = "------------------------------------------------------------";

namespace {

class PlainRenderer : public Renderer {
 public:
  explicit PlainRenderer(TerminalOutput& output) : output_(output) {}

  void WindowOpened() override {}
  void WindowClosed() override {}

  // A closed window is still written: the script sees the last state.
  void Draw(const WizardScreen& screen, const BoxText* box, bool windowOpen) override {
    if (!screen.HasScreen()) return;
    std::vector<Line> lines = screen.PageLines();
    lines.push_back(TextLine(L""));
    lines.push_back(screen.ButtonLine());
    lines.push_back(TextLine(L"フォーカス: " + screen.FocusName(), Style(), Wrap::kNo));
    WriteScreen(lines);
    // A box still open stays in front of a screen that changed beneath it.
    if (box != nullptr) WriteBox(*box);
  }

  bool BoxOpened(const BoxText& box) override {
    WriteBox(box);
    return false;
  }

  void BoxAnswered(const BoxText& box, int result) override {
    output_.WriteLine(L"応答: [" + box.caption + L"] " + BoxAnswerName(result));
  }

  bool StatusLineChanged(const std::wstring& line) override {
    output_.WriteLine(L"状態: " + line);
    return false;
  }

  bool NoteShown(const std::wstring& note) override {
    output_.WriteLine(note);
    return false;
  }

  bool DrawsEveryKey() const override { return true; }
  bool TickPassed(const WizardScreen& screen) override { return false; }

 private:
  void WriteBox(const BoxText& box) {
    std::vector<Line> lines;
    lines.push_back(TextLine(L"=== [" + box.caption + L"] ==="));
    for (const auto& text : SplitLines(box.text)) lines.push_back(TextLine(text));
    std::wstring buttons = L"ボタン:";
    for (const auto& button : BoxButtons(box.type)) buttons += L" [" + button + L"]";
    lines.push_back(TextLine(buttons));
    WriteScreen(lines);
  }

  void WriteScreen(const std::vector<Line>& lines) {
    std::string out = std::string(kScreenSeparator) + "\n";
    for (const Line& line : lines) {
      std::wstring text;
      for (const Segment& s : line.segments) text += s.text;
      out += platform::WideToUtf8(text) + "\n";
    }
    output_.Write(out);
  }

  TerminalOutput& output_;
};

}  // namespace

std::unique_ptr<Renderer> MakePlainRenderer(TerminalOutput& output) { return std::make_unique<PlainRenderer>(output); }

}  // namespace terminal

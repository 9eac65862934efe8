// The wizard on a terminal that shows it whole: the window drawn over the
// screen with colours, the focused control inverted, a moving progress bar,
// a box in front of the page, and a line of help on the keys.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/utf.h"
#include "ui/terminal/terminal_renderer.h"
#include "ui/terminal/terminal_text.h"

namespace terminal {

namespace {

class FullScreenRenderer : public Renderer {
 public:
  explicit FullScreenRenderer(TerminalOutput& output) : output_(output) {
    const char* colourTerm = std::getenv("COLORTERM");
    depth_ = colourTerm != nullptr && (std::strcmp(colourTerm, "truecolor") == 0 || std::strcmp(colourTerm, "24bit") == 0)
                 ? ColourDepth::TrueColour
                 : ColourDepth::Colour256;
  }

  void WindowOpened() override { output_.Write("\x1b[?25l\x1b[2J"); }
  void WindowClosed() override { output_.Write("\x1b[0m\x1b[?25h\n"); }

  void Draw(const WizardScreen& screen, const BoxText* box, bool windowOpen) override {
    if (!windowOpen) return;
    std::vector<Line> lines;
    if (screen.HasScreen()) AddScreen(screen, &lines);
    if (box != nullptr) {
      lines.push_back(TextLine(L""));
      AddBox(*box, &lines);
    }
    if (!lines.empty()) WriteScreen(lines);
  }

  bool BoxOpened(const BoxText& box) override { return true; }
  void BoxAnswered(const BoxText& box, int result) override {}
  bool StatusLineChanged(const std::wstring& line) override { return true; }
  bool NoteShown(const std::wstring& note) override { return true; }
  bool DrawsEveryKey() const override { return false; }

  bool TickPassed(const WizardScreen& screen) override {
    ++tick_;
    return ProgressShown(screen);
  }

 private:
  static bool ProgressShown(const WizardScreen& screen) { return screen.StatusShown() && screen.Installing(); }

  void AddScreen(const WizardScreen& screen, std::vector<Line>* lines) const {
    *lines = screen.PageLines();
    if (ProgressShown(screen)) {
      // The marquee bar: a block that runs across and starts again.
      const int width = 30, block = 6;
      const int position = static_cast<int>(tick_ % static_cast<unsigned>(width + block)) - block;
      std::wstring bar = L"[";
      for (int i = 0; i < width; ++i) bar += (i >= position && i < position + block) ? L'#' : L' ';
      bar += L"]";
      lines->push_back(TextLine(bar, Style(), Wrap::kNo));
    }
    lines->push_back(TextLine(L""));
    lines->push_back(screen.ButtonLine());
    if (!screen.Note().empty()) lines->push_back(TextLine(screen.Note()));
    Style help;
    help.fg = 0x808080;
    lines->push_back(TextLine(L""));
    lines->push_back(
        TextLine(L"Tab/Shift+Tab: 移動  Enter: 実行  N/C/M/X: ボタン  ↑↓/j/k: お知らせの選択  Ctrl+C: 閉じる", help));
  }

  static void AddBox(const BoxText& box, std::vector<Line>* lines) {
    Style frame;
    frame.bold = true;
    lines->push_back(TextLine(L"┌─ " + box.caption + L" ─────────────", frame, Wrap::kNo));
    for (const auto& text : SplitLines(box.text)) lines->push_back(TextLine(L"│ " + text));
    Style button;
    button.bold = true;
    button.reverse = true;
    Line buttons;
    buttons.segments.push_back({L"│ ", Style()});
    bool first = true;
    for (const auto& caption : BoxButtons(box.type)) {
      if (!first) buttons.segments.push_back({L" ", Style()});
      first = false;
      buttons.segments.push_back({L"[" + caption + L"]", button});
    }
    lines->push_back(buttons);
    lines->push_back(TextLine(L"└───────────────", frame, Wrap::kNo));
  }

  void WriteScreen(const std::vector<Line>& lines) {
    const int columns = output_.Columns();
    const int rows = output_.Rows();
    std::string out = "\x1b[H";
    int written = 0;
    for (const Line& line : lines) {
      std::vector<Line> pieces;
      if (line.wrap && line.segments.size() == 1) {
        for (const auto& piece : WrapLine(line.segments[0].text, columns - 1)) {
          Line wrapped = line;
          wrapped.segments[0].text = piece;
          pieces.push_back(wrapped);
        }
      } else {
        pieces.push_back(line);
      }
      for (const Line& piece : pieces) {
        if (written >= rows - 1) break;  // more than fits would scroll the screen away
        out += Encode(piece, columns) + "\x1b[0m\x1b[K\n";
        ++written;
      }
    }
    out += "\x1b[J";
    output_.Write(out);
  }

  std::string StyleSequence(const Style& style) const {
    std::string out = "\x1b[0m";
    if (style.bold) out += "\x1b[1m";
    if (style.underline) out += "\x1b[4m";
    if (style.reverse) out += "\x1b[7m";
    if (style.fg != kDefaultColour) {
      out += ColourSequence(static_cast<uint32_t>(style.fg), ColourLayer::kForeground, depth_);
    }
    if (style.bg != kDefaultColour) {
      out += ColourSequence(static_cast<uint32_t>(style.bg), ColourLayer::kBackground, depth_);
    }
    return out;
  }

  std::string Encode(const Line& line, int columns) const {
    std::string out;
    int width = 0;
    for (const Segment& segment : line.segments) {
      out += StyleSequence(segment.style) + platform::WideToUtf8(segment.text);
      width += TextWidth(segment.text);
    }
    if (line.fillBg != kDefaultColour) {
      // Rows of the list and the headline are painted across their width, as their controls are.
      const int fill = std::min(columns - 1, 72) - width;
      if (fill > 0) {
        Style style;
        style.bg = line.fillBg;
        out += StyleSequence(style) + std::string(static_cast<size_t>(fill), ' ');
      }
    }
    return out;
  }

  TerminalOutput& output_;
  ColourDepth depth_ = ColourDepth::Colour256;
  unsigned tick_ = 0;
};

}  // namespace

std::unique_ptr<Renderer> MakeFullScreenRenderer(TerminalOutput& output) {
  return std::make_unique<FullScreenRenderer>(output);
}

}  // namespace terminal

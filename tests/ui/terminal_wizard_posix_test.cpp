// The terminal wizard's parts: the screen model's focus and keys on each screen,
// the full-screen renderer on a terminal smaller than the window, and the key
// input's wait with a worker's wake-up.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "platform/message_box.h"
#include "tests/support/fake_wizard_view.h"
#include "ui/terminal/terminal_input.h"
#include "ui/terminal/terminal_renderer.h"
#include "ui/terminal/terminal_screen.h"

namespace {

using terminal::Control;
using terminal::Key;
using terminal::KeyEvent;

// A screen of the wizard for a result, with its controller.
struct Shown {
  explicit Shown(int32_t mode, int32_t step, int32_t result) {
    ctx.ResultCode = result;
    view.answer = platform::kIdNo;
    ScreenState s;
    s.mainMode = mode;
    s.shownStep = step;
    s.column = BuildStepColumn(step, false);
    if (mode == kModeError || step == kStepCompletion) s.completion = BuildCompletionLayout(ctx, 5, mode == kModeFrame);
    screen.Show(s);
  }
  LauncherContext ctx;
  tavo_test::FakeView view;
  WizardController controller{WizardRun{ctx.Settings, ctx, ctx}, view, nullptr};
  terminal::WizardScreen screen{controller};
};

// Tab order, first focus and button letters of every screen.
TEST(TerminalScreen, FocusAndLettersFollowTheScreen) {
  const struct {
    const char* name;
    int32_t mode, step, result;
    std::vector<Control> order;
    Control first;
    const char* letters;  // N C M X in that order; "-" where the letter presses nothing
  } cases[] = {
      {"notices", kModeFrame, kStepNotices, 1,
       {Control::NoticesList, Control::Confirm, Control::FrameMinimize, Control::FrameClose}, Control::Confirm, "N-MX"},
      {"installing", kModeFrame, kStepInstall, 1, {Control::FrameMinimize, Control::FrameClose},
       Control::FrameMinimize, "--MX"},
      {"done in the frame", kModeFrame, kStepCompletion, 1,
       {Control::Finish, Control::FrameMinimize, Control::FrameClose}, Control::Finish, "N-MX"},
      {"left-over conflict", kModeError, kStepNone, 13,
       {Control::Continue, Control::Finish, Control::PageMinimize, Control::PageClose}, Control::Continue, "NCMX"},
      {"hash mismatch", kModeError, kStepNone, 9,
       {Control::DownloadLink, Control::ProcedureLink, Control::HelpLink, Control::Finish, Control::PageMinimize,
        Control::PageClose},
       Control::Finish, "N-MX"},
  };
  for (const auto& c : cases) {
    Shown shown(c.mode, c.step, c.result);
    terminal::WizardScreen& screen = shown.screen;
    EXPECT_EQ(c.order, screen.FocusOrder()) << c.name;
    EXPECT_EQ(c.first, screen.Focus()) << c.name;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(c.letters[i] != '-', screen.ControlWithMnemonic(L"NCMX"[i]) != Control::None) << c.name << " " << i;
    }
    // Tab runs round; Shift+Tab comes back.
    for (size_t i = 0; i < c.order.size(); ++i) screen.MoveFocus(1);
    EXPECT_EQ(c.first, screen.Focus()) << c.name;
    screen.MoveFocus(-1);
    screen.MoveFocus(1);
    EXPECT_EQ(c.first, screen.Focus()) << c.name;
  }
}

// The completion page's buttons swallow Space; Enter and their letter press them.
TEST(TerminalScreen, SpaceDoesNotPressTheCompletionButtons) {
  Shown shown(kModeError, kStepNone, 3);
  terminal::WizardScreen& screen = shown.screen;
  WizardController& controller = shown.controller;
  tavo_test::FakeView& view = shown.view;
  ASSERT_EQ(Control::Finish, screen.Focus());
  EXPECT_FALSE(terminal::HandleWizardKey({Key::Space, 0}, screen, controller));
  EXPECT_EQ(0, view.mainClosed);
  terminal::HandleWizardKey({Key::Enter, 0}, screen, controller);
  EXPECT_EQ(1, view.mainClosed);
  terminal::HandleWizardKey({Key::Char, 'n'}, screen, controller);
  EXPECT_EQ(2, view.mainClosed);
  terminal::HandleWizardKey({Key::Char, 'm'}, screen, controller);
  EXPECT_EQ(1, view.minimized);
  // Ctrl+C asks first; answered no, the window stays.
  EXPECT_FALSE(terminal::HandleWizardKey({Key::Interrupt, 0}, screen, controller));
}

// On a terminal lower than the window the drawing stops short of the last row, so nothing scrolls away.
TEST(TerminalRenderer, FullScreenFitsASmallTerminal) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(0, ::grantpt(master));
  ASSERT_EQ(0, ::unlockpt(master));
  const int tty = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(tty, 0);
  struct winsize size {};
  size.ws_row = 8;
  size.ws_col = 24;
  ASSERT_EQ(0, ::ioctl(tty, TIOCSWINSZ, &size));

  Shown shown(kModeError, kStepNone, 9);  // a long body wrapped at 24 columns, two links and a box in front
  terminal::TerminalOutput output(tty, 0);
  auto renderer = terminal::MakeFullScreenRenderer(output);
  terminal::BoxText box{L"確認", L"よろしいですか？", platform::kMbYesNo};
  renderer->Draw(shown.screen, &box, /*windowOpen=*/true);

  std::string bytes;
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<size_t>(n));
  ::close(tty);
  ::close(master);
  int lines = 0;
  for (char c : bytes) lines += c == '\n';
  EXPECT_EQ(7, lines) << "one row stays free so that the screen does not scroll";
}

// A worker's wake-up is handed over before the keys that came with it are read;
// a lone ESC is the Escape key once a wait passes without more; the end of the input is seen.
TEST(TerminalInput, WakeUpComesBeforeTheKeysAndEscapeWaitsForAPause) {
  int keys[2];
  ASSERT_EQ(0, ::pipe(keys));
  terminal::KeyInput input(keys[0]);
  ASSERT_TRUE(input.Open());
  ASSERT_EQ(1, ::write(keys[1], "y", 1));
  ASSERT_EQ(1, ::write(input.WakeFd(), "w", 1));
  KeyEvent key;
  bool handedOver = false, keyBeforeHandOver = true;
  EXPECT_FALSE(input.Wait(1000, [&](bool woken) {
    handedOver = woken;
    keyBeforeHandOver = input.Next(&key);
  }));
  EXPECT_TRUE(handedOver);
  EXPECT_FALSE(keyBeforeHandOver);
  ASSERT_TRUE(input.Next(&key));
  EXPECT_EQ('y', key.ch);

  ASSERT_EQ(1, ::write(keys[1], "\x1b", 1));
  input.Wait(1000, [](bool) {});
  EXPECT_FALSE(input.Next(&key)) << "an ESC may begin a sequence";
  EXPECT_TRUE(input.Wait(20, [](bool woken) { EXPECT_FALSE(woken); }));
  ASSERT_TRUE(input.Next(&key));
  EXPECT_EQ(Key::Escape, key.key);

  ::close(keys[1]);
  EXPECT_FALSE(input.Exhausted());
  input.Wait(1000, [](bool) {});
  EXPECT_TRUE(input.Exhausted());
  input.Close();
  ::close(keys[0]);
}

}  // namespace

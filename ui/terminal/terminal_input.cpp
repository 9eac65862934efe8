#include "ui/terminal/terminal_input.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/message_box.h"
#include "ui/wizard_controller.h"

namespace terminal {

bool KeyInput::Open() {
  int wake[2];
  if (::pipe(wake) != 0) return false;
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  for (int fd : wake) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  if (::isatty(fd_) && ::tcgetattr(fd_, &saved_) == 0) {
    struct termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    raw_ = ::tcsetattr(fd_, TCSANOW, &raw) == 0;
  }
  return true;
}

void KeyInput::Close() {
  if (raw_) ::tcsetattr(fd_, TCSANOW, &saved_);
  raw_ = false;
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
  wakeRead_ = wakeWrite_ = -1;
}

bool KeyInput::Wait(int timeoutMs, const std::function<void(bool woken)>& handOver) {
  struct pollfd fds[2];
  int count = 0;
  fds[count++] = {wakeRead_, POLLIN, 0};
  int inputIndex = -1;
  if (!eof_) {
    inputIndex = count;
    fds[count++] = {fd_, POLLIN, 0};
  }
  const int ready = ::poll(fds, static_cast<nfds_t>(count), timeoutMs);
  bool woken = false;
  if (ready > 0 && (fds[0].revents & POLLIN)) {
    char drain[64];
    while (::read(wakeRead_, drain, sizeof drain) > 0) {
    }
    woken = true;
  }
  handOver(woken);
  if (inputIndex >= 0 && ready > 0 && (fds[inputIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
    char buffer[256];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got > 0) {
      decoder_.Feed(buffer, static_cast<size_t>(got));
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
      eof_ = true;
      decoder_.Flush();
    }
    return false;
  }
  if (ready != 0) return false;
  // Nothing more came within the wait: a lone ESC was the Escape key.
  decoder_.Flush();
  return true;
}

namespace {

void Click(Control control, int selected, WizardController& controller) {
  switch (control) {
    case Control::NoticesList: controller.OpenSelectedNotice(selected); break;
    case Control::Confirm: controller.ConfirmNotices(); break;
    case Control::FrameMinimize:
    case Control::PageMinimize: controller.OnMinimizeButton(); break;
    case Control::FrameClose: controller.OnFrameCloseButton(); break;
    case Control::PageClose: controller.OnCompletionCloseButton(); break;
    case Control::Finish: controller.OnFinishButton(); break;
    case Control::Continue: controller.OnContinueButton(); break;
    case Control::HelpLink: controller.OnHelpLink(); break;
    case Control::DownloadLink: controller.OnDownloadLink(); break;
    case Control::ProcedureLink: controller.OnProcedureLink(); break;
    case Control::None: break;
  }
}

enum class ActivatingKey { kEnter, kSpace };

// Enter or Space on the focused control.
void Activate(Control control, ActivatingKey key, int selected, WizardController& controller) {
  switch (control) {
    case Control::NoticesList:
      controller.OpenSelectedNotice(selected);
      break;
    case Control::Confirm:        // Space confirms as Enter does
    case Control::FrameMinimize:  // the frame's buttons take Space as push buttons do
    case Control::FrameClose:
    case Control::HelpLink:       // Space opens the focused link
    case Control::DownloadLink:
    case Control::ProcedureLink:
      Click(control, selected, controller);
      break;
    case Control::Continue:
    case Control::Finish:
    case Control::PageMinimize:
    case Control::PageClose:
      // The completion page swallows Space on its buttons.
      if (key == ActivatingKey::kEnter) Click(control, selected, controller);
      break;
    case Control::None:
      break;
  }
}

}  // namespace

bool HandleWizardKey(const KeyEvent& key, WizardScreen& screen, WizardController& controller) {
  if (!screen.HasScreen()) return false;
  screen.ClearNote();
  bool close = false;
  switch (key.key) {
    case Key::Tab: screen.MoveFocus(1); break;
    case Key::ShiftTab: screen.MoveFocus(-1); break;
    case Key::Up: screen.MoveSelection(-1); break;
    case Key::Down: screen.MoveSelection(1); break;
    case Key::Enter: Activate(screen.Focus(), ActivatingKey::kEnter, screen.Selected(), controller); break;
    case Key::Space: Activate(screen.Focus(), ActivatingKey::kSpace, screen.Selected(), controller); break;
    case Key::Escape: break;  // never closes anything
    case Key::Interrupt: close = controller.OnSystemClose(); break;
    case Key::Char: {
      if (key.ch == 'j') {
        screen.MoveSelection(1);
      } else if (key.ch == 'k') {
        screen.MoveSelection(-1);
      } else {
        wchar_t letter = static_cast<wchar_t>(key.ch);
        if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - L'a' + L'A');
        const Control control = screen.ControlWithMnemonic(letter);
        if (control != Control::None) Click(control, screen.Selected(), controller);
      }
      break;
    }
  }
  // No mouse button is ever held down here, so the next key may open a notice again.
  controller.ReleaseOpenLatch();
  return close;
}

int BoxAnswer(const KeyEvent& key, uint32_t type) {
  if (IsQuestion(type)) {
    if (key.key == Key::Char && (key.ch == 'y' || key.ch == 'Y')) return platform::kIdYes;
    if (key.key == Key::Char && (key.ch == 'n' || key.ch == 'N')) return platform::kIdNo;
    return 0;
  }
  return key.key == Key::Enter || key.key == Key::Space ? platform::kIdOk : 0;
}

}  // namespace terminal

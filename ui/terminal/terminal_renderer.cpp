#include "ui/terminal/terminal_renderer.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/utf.h"

namespace terminal {

void TerminalOutput::Hold() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  held_ = ::sigaction(SIGPIPE, &ignore, &saved_) == 0;
}

void TerminalOutput::Release() {
  if (held_) ::sigaction(SIGPIPE, &saved_, nullptr);
  held_ = false;
}

void TerminalOutput::Write(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      struct pollfd p = {fd_, POLLOUT, 0};
      ::poll(&p, 1, kTickMs);
    } else {
      return;  // nobody reads the screen any more; the wizard goes on regardless
    }
  }
}

void TerminalOutput::WriteLine(const std::wstring& text) { Write(platform::WideToUtf8(text) + "\n"); }


int TerminalOutput::Columns() const {
  if (columns_ > 0) return columns_;
  struct winsize size {};
  if (::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

int TerminalOutput::Rows() const {
  struct winsize size {};
  if (::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_row > 0) return size.ws_row;
  return 40;
}

bool UsesPlainText(const TerminalOptions& options) {
  switch (options.style) {
    case OutputStyle::Plain: return true;
    case OutputStyle::Screen: return false;
    case OutputStyle::Auto: break;
  }
  const char* term = std::getenv("TERM");
  return !::isatty(options.outputFd) || term == nullptr || std::strcmp(term, "dumb") == 0;
}

std::unique_ptr<Renderer> MakeRenderer(const TerminalOptions& options, TerminalOutput& output) {
  return UsesPlainText(options) ? MakePlainRenderer(output) : MakeFullScreenRenderer(output);
}

}  // namespace terminal

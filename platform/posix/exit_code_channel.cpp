#include "platform/posix/exit_code_channel.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace platform {

namespace posix {

void ReportFullExitCode(uint32_t code) {
  const char* fdText = std::getenv(kExitCodeFdVariable);
  if (!fdText || std::strtol(fdText, nullptr, 10) != kExitCodeFd) return;
  struct stat st {};
  if (::fstat(kExitCodeFd, &st) != 0 || !S_ISFIFO(st.st_mode)) return;
  const std::string text = std::to_string(code) + "\n";
  ssize_t ignored = ::write(kExitCodeFd, text.data(), text.size());
  (void)ignored;
}

}  // namespace posix

}  // namespace platform

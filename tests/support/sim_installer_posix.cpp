#include "tests/support/sim_installer_posix.h"

#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/posix/machine.h"

namespace tavo_test {

namespace fs = std::filesystem;

bool InstallSimulatedInstaller() {
  std::string program;
  if (const char* named = std::getenv("TAVO_MSIEXEC")) {
    program = named;
  } else {
    char buffer[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return false;
    buffer[n] = '\0';
    program = (fs::path(buffer).parent_path() / "msiexec.exe").string();  // built beside the test programs
  }
  if (::access(program.c_str(), X_OK) != 0 || platform::posix::MachineFolder().empty()) return false;
  const fs::path folder = platform::posix::SystemFolderPath();
  std::error_code error;
  fs::create_directories(folder, error);
  return fs::copy_file(program, folder / "msiexec.exe", fs::copy_options::overwrite_existing, error);
}

}  // namespace tavo_test

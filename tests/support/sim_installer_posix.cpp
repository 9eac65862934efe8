#include "tests/support/sim_installer_posix.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/machine.h"
#include "platform/utf.h"
#include "tests/support/child_process_posix.h"
#include "tests/support/temp_dir.h"

namespace tavo_test {

namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool MakeFolders(const std::string& folder) {
  std::string partial;
  for (size_t i = 0; i < folder.size(); ++i) {
    partial.push_back(folder[i]);
    if (folder[i] == '/' && i > 0) ::mkdir(partial.c_str(), 0777);
  }
  return ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace

std::string SimulatedInstallerPath() {
  if (const char* named = std::getenv("TAVO_MSIEXEC")) return named;
  char buffer[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return std::string();
  buffer[n] = '\0';
  // The tools are built into the same output folder as the test programs.
  std::string path = FolderOf(buffer) + "msiexec.exe";
  return ::access(path.c_str(), X_OK) == 0 ? path : std::string();
}

bool InstallSimulatedInstaller() {
  const std::string program = SimulatedInstallerPath();
  if (program.empty() || platform::posix::MachineFolder().empty()) return false;
  const std::string folder = platform::posix::SystemFolderPath();
  return MakeFolders(folder) && CopyFileTo(program, folder + "msiexec.exe", true);
}

bool InstallInstallerStandIn(const std::wstring& exePath, const std::string& packageText) {
  const std::string program = SimulatedInstallerPath();
  const std::string target = platform::WideToUtf8(exePath);
  if (program.empty() || !MakeFolders(FolderOf(target))) return false;
  if (!CopyFileTo(program, target, true)) return false;
  size_t slash = target.find_last_of('/');
  size_t dot = target.find_last_of('.');
  std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? target.substr(0, dot)
                                                                                              : target;
  return WriteBytes(platform::Utf8ToWide(stem + ".pkg"), packageText);
}

}  // namespace tavo_test

#include "platform/posix/machine.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "platform/error.h"

namespace platform {
namespace posix {

namespace {

std::string WithSlash(std::string s) {
  if (!s.empty() && s.back() != '/') s.push_back('/');
  return s;
}

// A folder from machine.ini: absolute, or relative to the machine folder.
std::string FolderSetting(const char* key, const std::string& fallback) {
  std::string value = MachineIni().Get("Folders", key, std::string());
  if (value.empty()) return WithSlash(fallback);
  if (value[0] == '/') return WithSlash(value);
  return WithSlash(MachineFolder() + value);
}

// As on Windows, TMP and then TEMP of the environment name the temporary
// folder before the machine's own setting does.
const char* SetTemp() {
  for (const char* name : {"TMP", "TEMP"}) {
    const char* value = std::getenv(name);
    if (value && *value == '/') return value;
  }
  return nullptr;
}

std::string DefaultMachineRoot() {
  const char* tmp = std::getenv("TMPDIR");
  return WithSlash(tmp && *tmp ? tmp : "/tmp") + "tavo-default-machine/";
}

}  // namespace

std::string MachineFolder() {
  const char* folder = std::getenv("SETUP_MACHINE");
  if (!folder || !*folder) return std::string();
  return WithSlash(folder);
}

std::string MachineFile(const std::string& name) {
  std::string folder = MachineFolder();
  return folder.empty() ? std::string() : folder + name;
}

IniFile MachineIni() {
  IniFile ini;
  std::string path = MachineFile("machine.ini");
  if (!path.empty()) ini.Load(path);
  return ini;
}

std::shared_ptr<const RegistryFile> CurrentRegistry(bool* ok) {
  static std::mutex lock;
  static std::string cachedPath;
  static struct timespec cachedTime {};
  static off_t cachedSize = -1;
  static std::shared_ptr<const RegistryFile> cached;

  *ok = true;
  std::string path = MachineFile("registry.reg");
  if (path.empty()) return std::make_shared<RegistryFile>();
  struct stat st {};
  bool exists = ::stat(path.c_str(), &st) == 0;
  std::lock_guard<std::mutex> hold(lock);
  if (cached && cachedPath == path && exists && st.st_size == cachedSize &&
      st.st_mtim.tv_sec == cachedTime.tv_sec && st.st_mtim.tv_nsec == cachedTime.tv_nsec) {
    return cached;
  }
  auto registry = std::make_shared<RegistryFile>();
  if (exists && !registry->Load(path)) {
    *ok = false;
    platform::SetLastError(kErrorBadFormat);
    return registry;
  }
  cached = registry;
  cachedPath = path;
  cachedSize = exists ? st.st_size : -1;
  cachedTime = exists ? st.st_mtim : timespec{};
  return registry;
}

std::string TempFolderPath() {
  std::string folder;
  if (MachineFolder().empty()) {
    const char* tmp = std::getenv("TMPDIR");
    folder = WithSlash(tmp && *tmp ? tmp : "/tmp");
  } else if (const char* variable = SetTemp()) {
    folder = WithSlash(variable);
  } else {
    folder = FolderSetting("Temp", MachineFolder() + "Temp");
  }
  // Windows always has its temporary folder; the simulated one is made on first use.
  ::mkdir(folder.c_str(), 0777);
  return folder;
}

std::string WindowsFolderPath() {
  std::string root = MachineFolder().empty() ? DefaultMachineRoot() : MachineFolder();
  return FolderSetting("Windows", root + "Windows");
}

std::string SystemFolderPath() {
  std::string value = MachineIni().Get("Folders", "System", std::string());
  if (value.empty()) return WindowsFolderPath() + "System32/";
  return FolderSetting("System", std::string());
}

std::string DesktopFolderPath() {
  std::string root = MachineFolder().empty() ? DefaultMachineRoot() : MachineFolder();
  return FolderSetting("Desktop", root + "Desktop");
}

std::string ObjectsFolderPath() {
  std::string root = MachineFolder().empty() ? DefaultMachineRoot() : MachineFolder();
  ::mkdir(root.c_str(), 0755);
  const std::string folder = root + "Objects/";
  ::mkdir(folder.c_str(), 0755);
  return folder;
}

}  // namespace posix
}  // namespace platform

#include "platform/process.h"

#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/error.h"
#include "platform/posix/process_posix.h"
#include "platform/utf.h"

namespace platform {

namespace {
std::mutex g_argsLock;
std::vector<std::wstring> g_args;
bool g_argsSet = false;

// The status line of /proc/<pid>/stat: "pid (comm) state ppid ...", where
// comm may hold blanks and parentheses. *name is comm, *rest what follows it.
bool ReadStatus(uint32_t pid, std::string* name, std::istringstream* rest) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string content;
  if (!std::getline(stat, content)) return false;
  size_t close = content.rfind(')');
  size_t open = content.find('(');
  if (close == std::string::npos || open == std::string::npos || close < open) return false;
  *name = content.substr(open + 1, close - open - 1);
  rest->str(content.substr(close + 1));
  return true;
}

// The executable's file name: from /proc/<pid>/exe, else the kernel's short name.
bool ReadProcess(uint32_t pid, ProcessEntry* entry) {
  std::string base = "/proc/" + std::to_string(pid);
  std::string comm;
  std::istringstream rest;
  if (!ReadStatus(pid, &comm, &rest)) return false;
  std::string state;
  unsigned long ppid = 0;
  rest >> state >> ppid;
  entry->pid = pid;
  entry->parentPid = static_cast<uint32_t>(ppid);
  char target[PATH_MAX + 1];
  ssize_t n = ::readlink((base + "/exe").c_str(), target, PATH_MAX);
  std::string name;
  if (n > 0) {
    target[n] = '\0';
    name = target;
    const std::string deleted = " (deleted)";
    if (name.size() > deleted.size() && name.compare(name.size() - deleted.size(), deleted.size(), deleted) == 0)
      name.resize(name.size() - deleted.size());
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
  } else {
    name = comm;
  }
  entry->exeName = Utf8ToWide(name);
  return true;
}
}  // namespace

namespace posix {
void SetProcessArguments(int argc, char** argv) {
  std::lock_guard<std::mutex> hold(g_argsLock);
  g_args.clear();
  for (int i = 0; i < argc; ++i) g_args.push_back(Utf8ToWide(argv[i] ? argv[i] : ""));
  g_argsSet = true;
}
}  // namespace posix

bool GetProcessArguments(std::vector<std::wstring>* args) {
  std::lock_guard<std::mutex> hold(g_argsLock);
  if (!g_argsSet) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  *args = g_args;
  return true;
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

bool SnapshotProcesses(std::vector<ProcessEntry>* processes) {
  DIR* dir = ::opendir("/proc");
  if (!dir) {
    SetLastError(ErrnoToWindows(errno));
    return false;
  }
  processes->clear();
  while (struct dirent* entry = ::readdir(dir)) {
    char* end = nullptr;
    unsigned long pid = std::strtoul(entry->d_name, &end, 10);
    if (!end || *end != '\0' || pid == 0) continue;
    ProcessEntry process;
    if (ReadProcess(static_cast<uint32_t>(pid), &process)) processes->push_back(process);
  }
  ::closedir(dir);
  return true;
}

bool ProcessCreationTime(uint32_t pid, uint64_t* time) {
  // The 22nd field of the status: the start, in clock ticks since boot.
  std::string comm, field;
  std::istringstream rest;
  unsigned long long start = 0;
  bool read = ReadStatus(pid, &comm, &rest);
  for (int i = 3; read && i < 22; ++i) read = static_cast<bool>(rest >> field);
  if (!read || !(rest >> start)) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  *time = start;
  return true;
}

bool TerminateProcessCreatedBy(uint32_t pid, uint64_t latest, uint32_t exitCode) {
  (void)exitCode;  // a killed process has no exit code of its own choosing here
  // The descriptor holds on to the process: a signal through it never reaches
  // another one that took over the id after the time was read.
  const int process = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
  if (process < 0) {
    SetLastError(ErrnoToWindows(errno));
    return false;
  }
  uint64_t created = 0;
  bool ok = ProcessCreationTime(pid, &created);
  if (ok && created > latest) {
    SetLastError(kErrorInvalidParameter);
    ok = false;
  }
  if (ok && ::syscall(SYS_pidfd_send_signal, process, SIGKILL, nullptr, 0) != 0) {
    SetLastError(ErrnoToWindows(errno));
    ok = false;
  }
  ::close(process);
  return ok;
}

}  // namespace platform

#include "platform/run_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/cmdline_split.h"
#include "platform/error.h"
#include "platform/posix/exit_code_channel.h"
#include "platform/posix/machine.h"
#include "platform/utf.h"

extern char** environ;

namespace platform {

namespace {

constexpr uint32_t kErrorBadExeFormat = 193;

uint32_t SpawnErrorToWindows(int err) {
  // A file that is not a program is the system's "not a valid application".
  if (err == ENOEXEC) return kErrorBadExeFormat;
  return ErrnoToWindows(err);
}

// Windows has no execute permission of its own: a downloaded installer is a
// program as soon as it is on the disk. A readable regular file without the
// permission gets it, so that it runs as it would there (a file that is no
// program then fails as on Windows, as a bad executable format).
bool MarkExecutable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & S_IXUSR)) return false;
  mode_t mode = st.st_mode & 07777;
  mode |= S_IXUSR;
  if (mode & S_IRGRP) mode |= S_IXGRP;
  if (mode & S_IROTH) mode |= S_IXOTH;
  return ::chmod(path.c_str(), mode) == 0;
}

std::mutex programTempLock;
std::string programTemp;

// Where the machine keeps its own variables, as Windows does.
const wchar_t kMachineEnvironmentKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// The simulated machine's environment: the values of its registry's
// environment key (string values only; the host's PATH when the key has
// none), the machine itself (SETUP_MACHINE) and the console the launcher
// runs in (TERM), which Windows gives every program whatever its
// environment. Nothing else of the launcher's own environment passes on.
std::vector<std::string> MachineEnvironment() {
  std::vector<std::string> env;
  bool ok = false;
  const std::shared_ptr<const posix::RegistryFile> registry = posix::CurrentRegistry(&ok);
  bool hasPath = false;
  if (const posix::RegistryKeyData* key = ok ? registry->FindKey(kMachineEnvironmentKey) : nullptr) {
    for (const posix::RegistryValue& value : key->values) {
      if (value.type != "sz" || value.name.empty()) continue;
      const std::string name = WideToUtf8(value.name);
      hasPath = hasPath || strcasecmp(name.c_str(), "PATH") == 0;
      env.push_back(name + "=" + WideToUtf8(value.text));
    }
  }
  if (!hasPath) env.push_back("PATH=/usr/local/bin:/usr/bin:/bin");
  for (const char* name : {"SETUP_MACHINE", "TERM"}) {
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
  }
  return env;
}

// The machine's environment with the exit-code channel named, and TEMP and
// TMP naming the programs' folder when one is set; the launcher's own
// environment while none is. A newer launcher gets the user's TEMP and TMP
// instead, as this one has them: it keeps the debug log where people look
// for it, and treats that folder as the user's, as this one does.
std::vector<std::string> ChildEnvironment(const std::string& temp, bool userTemp) {
  std::vector<std::string> env;
  const std::string prefix = std::string(posix::kExitCodeFdVariable) + "=";
  if (temp.empty()) {
    for (char** e = environ; e && *e; ++e) {
      if (std::strncmp(*e, prefix.c_str(), prefix.size()) != 0) env.emplace_back(*e);
    }
  } else {
    for (std::string& e : MachineEnvironment()) {
      if (e.compare(0, 5, "TEMP=") != 0 && e.compare(0, 4, "TMP=") != 0) env.push_back(std::move(e));
    }
    for (const char* name : {"TEMP", "TMP"}) {
      const char* own = std::getenv(name);
      if (!userTemp) env.push_back(std::string(name) + "=" + temp);
      if (userTemp && own) env.push_back(std::string(name) + "=" + own);
    }
  }
  env.push_back(prefix + std::to_string(posix::kExitCodeFd));
  return env;
}

// Reaps a child nobody waits for, so that it leaves no zombie behind.
void ReapInBackground(pid_t pid) {
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

// Waits for the child up to timeoutMs; true with *status when it ended.
bool WaitForChild(pid_t pid, uint32_t timeoutMs, int* status) {
  if (timeoutMs == kInfiniteWait) {
    for (;;) {
      if (::waitpid(pid, status, 0) == pid) return true;
      if (errno != EINTR) return false;
    }
  }
  const uint64_t deadline = TickCountMs() + timeoutMs;
  for (;;) {
    pid_t done = ::waitpid(pid, status, WNOHANG);
    if (done == pid) return true;
    if (done < 0 && errno != EINTR) return false;
    if (TickCountMs() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// The full code the child reported on its channel, when it agrees with the
// 8-bit exit status.
int32_t FullExitCode(int readFd, int32_t status8) {
  ::fcntl(readFd, F_SETFL, ::fcntl(readFd, F_GETFL) | O_NONBLOCK);
  char buffer[64];
  std::string text;
  for (;;) {
    ssize_t n = ::read(readFd, buffer, sizeof(buffer));
    if (n > 0) {
      text.append(buffer, static_cast<size_t>(n));
      if (text.size() > 256) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  // The last report counts ("<decimal>\n" each).
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  size_t lineStart = text.find_last_of('\n');
  if (lineStart != std::string::npos) text.erase(0, lineStart + 1);
  if (text.empty()) return status8;
  char* end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || !end || *end != '\0' || value > 0xFFFFFFFFull) return status8;
  const uint32_t full = static_cast<uint32_t>(value);
  if ((full & 0xFFu) != static_cast<uint32_t>(status8)) return status8;
  return static_cast<int32_t>(full);
}

}  // namespace

namespace {

// Starts the program of a Windows command line; *readFd receives the read end
// of its exit-code channel.
bool Spawn(uint32_t* lastError, const std::wstring& line, bool userTemp, pid_t* pid, int* readFd) {
  std::vector<std::wstring> wideArgs = SplitWindowsCommandLine(line);
  auto fail = [&](uint32_t code) {
    SetLastError(code);
    if (lastError) *lastError = code;
    return false;
  };
  if (wideArgs.empty() || wideArgs[0].empty()) return fail(kErrorFileNotFound);

  std::vector<std::string> args;
  for (const std::wstring& a : wideArgs) args.push_back(WideToUtf8(a));
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::string folder;
  {
    std::lock_guard<std::mutex> hold(programTempLock);
    folder = programTemp;
  }
  // The program starts in the private folder, not in the launcher's (which
  // the user writes), and with the machine's environment, not the user's.
  std::vector<std::string> env = ChildEnvironment(folder, userTemp);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(&e[0]);
  envp.push_back(nullptr);

  // The exit-code channel: both ends close on exec; the child gets a copy of
  // the write end at its fixed number.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return fail(ErrnoToWindows(errno));
  int writeFd = ::fcntl(fds[1], F_DUPFD_CLOEXEC, 10);
  ::close(fds[1]);
  if (writeFd < 0) {
    ::close(fds[0]);
    return fail(ErrnoToWindows(errno));
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, writeFd, posix::kExitCodeFd);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

  const bool searchPath = args[0].find('/') == std::string::npos;
  int err = searchPath ? ::posix_spawnp(pid, argv[0], &actions, nullptr, argv.data(), envp.data())
                       : ::posix_spawn(pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  if (err == EACCES && !searchPath && MarkExecutable(args[0])) {
    err = ::posix_spawn(pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(writeFd);
  if (err != 0) {
    ::close(fds[0]);
    return fail(SpawnErrorToWindows(err));
  }
  *readFd = fds[0];
  SetLastError(kErrorSuccess);
  if (lastError) *lastError = kErrorSuccess;
  return true;
}

// The exit code of an ended child: all 32 bits when it reported them.
int32_t EndedChildCode(int status, int readFd) {
  return WIFEXITED(status) ? FullExitCode(readFd, WEXITSTATUS(status)) : -1;
}

}  // namespace

void SetProgramTempFolder(const std::wstring& folder) {
  std::lock_guard<std::mutex> hold(programTempLock);
  programTemp = WideToUtf8(folder);
}

bool RunProcess(uint32_t* lastError, const std::wstring& commandLine, const std::wstring& arguments, bool wait,
                bool showWindow, uint32_t timeoutMs, int32_t* exitCode) {
  (void)showWindow;  // no windows on the simulated machine
  const std::wstring line = arguments.empty() ? commandLine : commandLine + L" " + arguments;
  pid_t pid = 0;
  int readFd = -1;
  if (!Spawn(lastError, line, false, &pid, &readFd)) return false;

  if (!wait) {
    ::close(readFd);
    ReapInBackground(pid);
    return true;
  }
  int status = 0;
  if (!WaitForChild(pid, timeoutMs, &status)) {
    ::close(readFd);
    ReapInBackground(pid);
    if (exitCode) *exitCode = kStillActive;
    return true;
  }
  const int32_t code = EndedChildCode(status, readFd);
  ::close(readFd);
  if (exitCode) *exitCode = code;
  return true;
}

struct StartedProcess::State {
  pid_t pid = 0;
  int readFd = -1;
  bool ended = false;
  int32_t code = -1;
};

StartedProcess::StartedProcess() : state_(std::make_unique<State>()) {}

StartedProcess::~StartedProcess() {
  if (state_->readFd >= 0) ::close(state_->readFd);
  if (state_->pid > 0 && !state_->ended) ReapInBackground(state_->pid);
}

bool StartedProcess::Start(const std::wstring& commandLine, bool showWindow, uint32_t* lastError) {
  (void)showWindow;
  if (state_->pid > 0) return false;
  if (Spawn(lastError, commandLine, true, &state_->pid, &state_->readFd)) return true;
  state_->pid = 0;
  return false;
}

bool StartedProcess::Wait(uint32_t timeoutMs, int32_t* exitCode) {
  if (state_->pid <= 0) return false;
  if (!state_->ended) {
    int status = 0;
    if (!WaitForChild(state_->pid, timeoutMs, &status)) return false;
    state_->ended = true;
    state_->code = EndedChildCode(status, state_->readFd);
  }
  if (exitCode) *exitCode = state_->code;
  return true;
}

}  // namespace platform

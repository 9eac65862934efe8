#include "platform/run_process.h"

#include <windows.h>

#include <vector>

#include "platform/error.h"

namespace platform {

namespace {

// Starts the command line's program; *error is the system's last error after
// the attempt, which a started process keeps too.
bool CreateProcessOf(const std::wstring& line, bool showWindow, PROCESS_INFORMATION* info, DWORD* error) {
  // CreateProcessW may write into the command line buffer.
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showWindow ? SW_SHOWNORMAL : SW_HIDE);
  const BOOL created =
      ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, info);
  *error = ::GetLastError();
  return created != FALSE;
}

}  // namespace

bool RunProcess(uint32_t* lastError, const std::wstring& commandLine, const std::wstring& arguments, bool wait,
                bool showWindow, uint32_t timeoutMs, int32_t* exitCode) {
  std::wstring line = arguments.empty() ? commandLine : commandLine + L" " + arguments;
  // An empty line names no program; the system would not say which one it tried.
  if (line.empty()) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    if (lastError) *lastError = ERROR_FILE_NOT_FOUND;
    return false;
  }
  PROCESS_INFORMATION info = {};
  DWORD error = 0;
  const bool created = CreateProcessOf(line, showWindow, &info, &error);
  if (lastError) *lastError = error;
  if (!created) return false;

  if (wait) {
    ::WaitForSingleObject(info.hProcess, timeoutMs);
    DWORD code = 0;
    if (!::GetExitCodeProcess(info.hProcess, &code)) code = 0xFFFFFFFF;
    if (exitCode) *exitCode = static_cast<int32_t>(code);
  }
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  ::SetLastError(error);
  return true;
}

struct StartedProcess::State {
  HANDLE process = nullptr;
};

StartedProcess::StartedProcess() : state_(new State) {}

StartedProcess::~StartedProcess() {
  if (state_->process) ::CloseHandle(state_->process);
  delete state_;
}

bool StartedProcess::Start(const std::wstring& commandLine, bool showWindow, uint32_t* lastError) {
  if (state_->process) return false;
  PROCESS_INFORMATION info = {};
  DWORD error = 0;
  const bool created = CreateProcessOf(commandLine, showWindow, &info, &error);
  if (lastError) *lastError = error;
  if (!created) return false;
  ::CloseHandle(info.hThread);
  state_->process = info.hProcess;
  ::SetLastError(error);
  return true;
}

bool StartedProcess::Wait(uint32_t timeoutMs, int32_t* exitCode) {
  if (!state_->process) return false;
  const DWORD waited = ::WaitForSingleObject(state_->process, timeoutMs);
  if (waited == WAIT_TIMEOUT) return false;
  DWORD code = 0;
  if (waited != WAIT_OBJECT_0 || !::GetExitCodeProcess(state_->process, &code)) code = 0xFFFFFFFF;
  if (exitCode) *exitCode = static_cast<int32_t>(code);
  return true;
}

}  // namespace platform

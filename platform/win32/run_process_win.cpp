#include "platform/run_process.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "platform/error.h"
#include "platform/win32/owned_win.h"
#include "platform/win32/system_library_win.h"

namespace platform {

namespace {

using win32::UniqueHandle;

std::mutex programTempLock;
std::wstring programTemp;

bool NamesVariable(const wchar_t* entry, const wchar_t* name) {
  const size_t n = wcslen(name);
  return _wcsnicmp(entry, name, n) == 0 && entry[n] == L'=';
}

using CreateEnvironmentBlockFn = BOOL(WINAPI*)(void**, HANDLE, BOOL);
using DestroyEnvironmentBlockFn = BOOL(WINAPI*)(void*);

// The machine's own variables, as a service gets them: no user's token, so
// nothing of HKCU\Environment, and nothing inherited from the launcher,
// whose environment the user who started it chose. Without userenv, the
// few variables every program expects, from the system's folders.
std::vector<wchar_t> MachineEnvironment() {
  std::vector<wchar_t> block;
  const auto create = reinterpret_cast<CreateEnvironmentBlockFn>(
      reinterpret_cast<void (*)()>(SystemLibraryFunction(L"userenv.dll", "CreateEnvironmentBlock")));
  const auto destroy = reinterpret_cast<DestroyEnvironmentBlockFn>(
      reinterpret_cast<void (*)()>(SystemLibraryFunction(L"userenv.dll", "DestroyEnvironmentBlock")));
  void* machine = nullptr;
  if (create && destroy && create(&machine, nullptr, FALSE) && machine) {
    const wchar_t* e = static_cast<const wchar_t*>(machine);
    for (; *e; e += wcslen(e) + 1) block.insert(block.end(), e, e + wcslen(e) + 1);
    destroy(machine);
    return block;
  }
  wchar_t windows[MAX_PATH] = {};
  const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return block;
  const std::wstring root = windows;
  const std::wstring system = root + L"\\System32";
  for (const std::wstring& entry :
       {L"SystemRoot=" + root, L"windir=" + root, L"ComSpec=" + system + L"\\cmd.exe",
        L"Path=" + system + L";" + root + L";" + system + L"\\Wbem"}) {
    block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
  }
  return block;
}

// The launcher's own value of a variable, when it has one.
bool OwnVariable(const wchar_t* name, std::wstring* value) {
  wchar_t buffer[32768];
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 32768);
  if (length == 0 || length >= 32768) return false;
  value->assign(buffer, length);
  return true;
}

// The machine's environment block with TEMP and TMP naming the programs'
// folder; empty when none is set. A newer launcher gets the user's TEMP and
// TMP instead, as this one has them: it keeps the debug log where people
// look for it, and treats that folder as the user's, as this one does.
std::vector<wchar_t> ProgramEnvironment(const std::wstring& temp, bool userTemp) {
  std::vector<wchar_t> block;
  if (temp.empty()) return block;
  const std::vector<wchar_t> machine = MachineEnvironment();
  for (const wchar_t* e = machine.data(); e < machine.data() + machine.size() && *e; e += wcslen(e) + 1) {
    if (NamesVariable(e, L"TEMP") || NamesVariable(e, L"TMP")) continue;
    block.insert(block.end(), e, e + wcslen(e) + 1);
  }
  for (const wchar_t* name : {L"TEMP", L"TMP"}) {
    std::wstring value = temp;
    if (userTemp && !OwnVariable(name, &value)) continue;
    const std::wstring entry = std::wstring(name) + L"=" + value;
    block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
  }
  block.push_back(L'\0');
  return block;
}

// Starts the command line's program and gives its process handle (the
// thread's is closed); *error is the system's last error after the attempt,
// which a started process keeps too.
bool CreateProcessOf(const std::wstring& line, bool showWindow, UniqueHandle* process, DWORD* error, bool userTemp) {
  std::wstring folder;
  {
    std::lock_guard<std::mutex> hold(programTempLock);
    folder = programTemp;
  }
  // The program starts in the private folder, not in the launcher's (which
  // the user writes), and with the machine's environment, not the user's.
  std::vector<wchar_t> environment = ProgramEnvironment(folder, userTemp);
  // CreateProcessW may write into the command line buffer.
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showWindow ? SW_SHOWNORMAL : SW_HIDE);
  PROCESS_INFORMATION info = {};
  const BOOL created =
      ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                       environment.empty() ? nullptr : environment.data(), folder.empty() ? nullptr : folder.c_str(),
                       &startup, &info);
  *error = ::GetLastError();
  if (!created) return false;
  UniqueHandle thread(info.hThread);
  process->Reset(info.hProcess);
  return true;
}

}  // namespace

void SetProgramTempFolder(const std::wstring& folder) {
  std::lock_guard<std::mutex> hold(programTempLock);
  // Programs take the folder without its trailing separator, as Windows sets it.
  programTemp = folder;
  while (programTemp.size() > 3 && programTemp.back() == L'\\') programTemp.pop_back();
}

bool RunProcess(uint32_t* lastError, const std::wstring& commandLine, const std::wstring& arguments, bool wait,
                bool showWindow, uint32_t timeoutMs, int32_t* exitCode) {
  std::wstring line = arguments.empty() ? commandLine : commandLine + L" " + arguments;
  // An empty line names no program; the system would not say which one it tried.
  if (line.empty()) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    if (lastError) *lastError = ERROR_FILE_NOT_FOUND;
    return false;
  }
  UniqueHandle process;
  DWORD error = 0;
  const bool created = CreateProcessOf(line, showWindow, &process, &error, false);
  if (lastError) *lastError = error;
  if (!created) return false;

  if (wait) {
    ::WaitForSingleObject(process.get(), timeoutMs);
    DWORD code = 0;
    if (!::GetExitCodeProcess(process.get(), &code)) code = 0xFFFFFFFF;
    if (exitCode) *exitCode = static_cast<int32_t>(code);
  }
  process.Reset();
  ::SetLastError(error);
  return true;
}

struct StartedProcess::State {
  UniqueHandle process;
};

StartedProcess::StartedProcess() : state_(std::make_unique<State>()) {}

StartedProcess::~StartedProcess() = default;

bool StartedProcess::Start(const std::wstring& commandLine, bool showWindow, uint32_t* lastError) {
  if (state_->process) return false;
  DWORD error = 0;
  const bool created = CreateProcessOf(commandLine, showWindow, &state_->process, &error, true);
  if (lastError) *lastError = error;
  if (!created) return false;
  ::SetLastError(error);
  return true;
}

bool StartedProcess::Wait(uint32_t timeoutMs, int32_t* exitCode) {
  if (!state_->process) return false;
  const DWORD waited = ::WaitForSingleObject(state_->process.get(), timeoutMs);
  if (waited == WAIT_TIMEOUT) return false;
  DWORD code = 0;
  if (waited != WAIT_OBJECT_0 || !::GetExitCodeProcess(state_->process.get(), &code)) code = 0xFFFFFFFF;
  if (exitCode) *exitCode = static_cast<int32_t>(code);
  return true;
}

}  // namespace platform

#include "platform/process.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

namespace platform {

uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

bool SnapshotProcesses(std::vector<ProcessEntry>* processes) {
  processes->clear();
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  bool ok = ::Process32FirstW(snapshot, &entry) != FALSE;
  while (ok) {
    ProcessEntry p;
    p.pid = entry.th32ProcessID;
    p.parentPid = entry.th32ParentProcessID;
    p.exeName = entry.szExeFile;
    processes->push_back(std::move(p));
    entry.dwSize = sizeof(entry);
    ok = ::Process32NextW(snapshot, &entry) != FALSE;
  }
  const DWORD error = ::GetLastError();
  ::CloseHandle(snapshot);
  // The walk ends with "no more files"; anything else is a failed snapshot.
  if (error != ERROR_NO_MORE_FILES) {
    ::SetLastError(error);
    return false;
  }
  return true;
}

namespace {

bool CreationTimeOf(HANDLE process, uint64_t* time) {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
  *time = (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  return true;
}

}  // namespace

bool ProcessCreationTime(uint32_t pid, uint64_t* time) {
  if (pid == ::GetCurrentProcessId()) return CreationTimeOf(::GetCurrentProcess(), time);
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return false;
  const bool ok = CreationTimeOf(process, time);
  const DWORD error = ::GetLastError();
  ::CloseHandle(process);
  ::SetLastError(error);
  return ok;
}

bool TerminateProcessCreatedBy(uint32_t pid, uint64_t latest, uint32_t exitCode) {
  // The handle holds on to the process: the time checked is the time of the process ended.
  HANDLE process = ::OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  if (!process) return false;
  uint64_t created = 0;
  BOOL ok = FALSE;
  if (CreationTimeOf(process, &created)) {
    if (created <= latest) {
      ok = ::TerminateProcess(process, exitCode);
    } else {
      ::SetLastError(ERROR_INVALID_PARAMETER);
    }
  }
  const DWORD error = ::GetLastError();
  ::CloseHandle(process);
  if (!ok) ::SetLastError(error);
  return ok != FALSE;
}

bool GetProcessArguments(std::vector<std::wstring>* args) {
  args->clear();
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!argv) return false;
  for (int i = 0; i < count; ++i) args->emplace_back(argv[i]);
  ::LocalFree(argv);
  return true;
}

}  // namespace platform

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

bool TerminateProcessById(uint32_t pid, uint32_t exitCode) {
  HANDLE process = ::OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  if (!process) return false;
  const BOOL ok = ::TerminateProcess(process, exitCode);
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

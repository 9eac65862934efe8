#include "platform/process.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include "platform/win32/owned_win.h"

namespace platform {

using win32::LocalMemory;
using win32::UniqueHandle;

uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

bool SnapshotProcesses(std::vector<ProcessEntry>* processes) {
  processes->clear();
  const UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  bool ok = ::Process32FirstW(snapshot.get(), &entry) != FALSE;
  while (ok) {
    ProcessEntry p;
    p.pid = entry.th32ProcessID;
    p.parentPid = entry.th32ParentProcessID;
    p.exeName = entry.szExeFile;
    processes->push_back(std::move(p));
    entry.dwSize = sizeof(entry);
    ok = ::Process32NextW(snapshot.get(), &entry) != FALSE;
  }
  // The walk ends with "no more files"; anything else is a failed snapshot.
  return ::GetLastError() == ERROR_NO_MORE_FILES;
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
  const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  return process && CreationTimeOf(process.get(), time);
}

bool TerminateProcessCreatedBy(uint32_t pid, uint64_t latest, uint32_t exitCode) {
  // The handle holds on to the process: the time checked is the time of the process ended.
  const UniqueHandle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
  if (!process) return false;
  uint64_t created = 0;
  if (!CreationTimeOf(process.get(), &created)) return false;
  if (created > latest) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return ::TerminateProcess(process.get(), exitCode) != FALSE;
}

bool GetProcessArguments(std::vector<std::wstring>* args) {
  args->clear();
  int count = 0;
  const LocalMemory<LPWSTR*> argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!argv) return false;
  for (int i = 0; i < count; ++i) args->emplace_back(argv.get()[i]);
  return true;
}

}  // namespace platform

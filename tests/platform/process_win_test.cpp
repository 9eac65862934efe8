// The Toolhelp snapshot the launcher uses to find the launcher that started it, and terminating that one
// only while its id names a process created before the launcher.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/folders.h"
#include "platform/process.h"

namespace {

const platform::ProcessEntry* FindPid(const std::vector<platform::ProcessEntry>& list, uint32_t pid) {
  for (const auto& p : list) {
    if (p.pid == pid) return &p;
  }
  return nullptr;
}

TEST(ProcessWin, TheSnapshotNamesAChildAndItsParentAndTerminateEndsIt) {
  const std::wstring exe = platform::GetModulePath(), name = exe.substr(exe.find_last_of(L"\\/") + 1);
  std::wstring commandLine = L"\"" + exe + L"\" --gtest_list_tests";
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION child = {};
  // Started suspended: it can only end by being terminated.
  ASSERT_TRUE(::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                               nullptr, &si, &child));
  std::vector<platform::ProcessEntry> processes;
  ASSERT_TRUE(platform::SnapshotProcesses(&processes));
  const platform::ProcessEntry* self = FindPid(processes, platform::CurrentProcessId());
  const platform::ProcessEntry* entry = FindPid(processes, child.dwProcessId);
  ASSERT_NE(nullptr, self);
  ASSERT_NE(nullptr, entry);
  EXPECT_EQ(0, _wcsicmp(name.c_str(), self->exeName.c_str()));
  EXPECT_EQ(0, _wcsicmp(name.c_str(), entry->exeName.c_str()));
  EXPECT_EQ(platform::CurrentProcessId(), entry->parentPid);
  uint64_t self_created = 0, child_created = 0;
  ASSERT_TRUE(platform::ProcessCreationTime(platform::CurrentProcessId(), &self_created));
  ASSERT_TRUE(platform::ProcessCreationTime(child.dwProcessId, &child_created));
  EXPECT_LE(self_created, child_created);
  // As if its id had been given anew to a process created later: not ended.
  EXPECT_FALSE(platform::TerminateProcessCreatedBy(child.dwProcessId, child_created - 1, 77));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(child.hProcess, 0));
  EXPECT_TRUE(platform::TerminateProcessCreatedBy(child.dwProcessId, child_created, 77));
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(child.hProcess, 30000));
  DWORD code = 0;
  EXPECT_TRUE(::GetExitCodeProcess(child.hProcess, &code));
  EXPECT_EQ(77u, code);
  ::TerminateProcess(child.hProcess, 1);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
  EXPECT_FALSE(platform::TerminateProcessCreatedBy(0xFFFFFFF3u, UINT64_MAX, 1));  // ids are multiples of four
}

}  // namespace

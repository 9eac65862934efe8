// The process backend: the Toolhelp snapshot the launcher uses to find the
// launcher that started it, terminating a process, and its own arguments.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/folders.h"
#include "platform/process.h"

namespace {

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

const platform::ProcessEntry* FindPid(const std::vector<platform::ProcessEntry>& list, uint32_t pid) {
  for (const auto& p : list) {
    if (p.pid == pid) return &p;
  }
  return nullptr;
}

TEST(ProcessWin, SnapshotHoldsThisProcessWithItsExeName) {
  EXPECT_EQ(::GetCurrentProcessId(), platform::CurrentProcessId());
  std::vector<platform::ProcessEntry> processes;
  ASSERT_TRUE(platform::SnapshotProcesses(&processes));
  EXPECT_GT(processes.size(), 1u);
  const platform::ProcessEntry* self = FindPid(processes, platform::CurrentProcessId());
  ASSERT_NE(nullptr, self);
  EXPECT_EQ(0, _wcsicmp(FileNameOf(platform::GetModulePath()).c_str(), self->exeName.c_str()))
      << self->exeName;
  EXPECT_EQ(std::wstring::npos, self->exeName.find(L'\\'));
}

// A child that never runs: started suspended, so it can only end by being terminated.
class SuspendedChild {
 public:
  SuspendedChild() {
    const std::wstring exe = platform::GetModulePath();
    std::wstring commandLine = L"\"" + exe + L"\" --gtest_list_tests";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    started_ = ::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                CREATE_SUSPENDED, nullptr, nullptr, &si, &info_) != FALSE;
  }
  ~SuspendedChild() {
    if (!started_) return;
    ::TerminateProcess(info_.hProcess, 1);
    ::CloseHandle(info_.hThread);
    ::CloseHandle(info_.hProcess);
  }
  bool started() const { return started_; }
  uint32_t pid() const { return info_.dwProcessId; }
  HANDLE handle() const { return info_.hProcess; }

 private:
  PROCESS_INFORMATION info_ = {};
  bool started_ = false;
};

TEST(ProcessWin, TerminateEndsTheProcessWithTheGivenCode) {
  SuspendedChild child;
  ASSERT_TRUE(child.started());

  std::vector<platform::ProcessEntry> processes;
  ASSERT_TRUE(platform::SnapshotProcesses(&processes));
  const platform::ProcessEntry* entry = FindPid(processes, child.pid());
  ASSERT_NE(nullptr, entry);
  EXPECT_EQ(platform::CurrentProcessId(), entry->parentPid);
  EXPECT_EQ(0, _wcsicmp(FileNameOf(platform::GetModulePath()).c_str(), entry->exeName.c_str()));

  ASSERT_TRUE(platform::TerminateProcessById(child.pid(), 77));
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(child.handle(), 30000));
  DWORD code = 0;
  ASSERT_TRUE(::GetExitCodeProcess(child.handle(), &code));
  EXPECT_EQ(77u, code);
}

TEST(ProcessWin, TerminatingAMissingProcessFails) {
  platform::SetLastError(0);
  // Process ids are multiples of four; this one is never handed out.
  EXPECT_FALSE(platform::TerminateProcessById(0xFFFFFFF3u, 1));
  EXPECT_NE(0u, platform::LastError());
}

TEST(ProcessWin, ArgumentsAreSplitBySystemRules) {
  std::vector<std::wstring> args;
  ASSERT_TRUE(platform::GetProcessArguments(&args));
  ASSERT_GE(args.size(), 1u);
  // The first is the program as started; ctest starts it by its path.
  EXPECT_NE(std::wstring::npos, args[0].find(L"tests_platform")) << args[0];
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  ASSERT_NE(nullptr, argv);
  ASSERT_EQ(static_cast<size_t>(count), args.size());
  for (int i = 0; i < count; ++i) EXPECT_EQ(std::wstring(argv[i]), args[i]);
  ::LocalFree(argv);
}

}  // namespace

// The launcher processes as Windows sees them, for the whole-run script
// under Wine (scripts/wine-e2e.sh): the self-update round trip is judged by
// the same Toolhelp snapshot the launcher uses to find the launcher that
// started it. The script names the check in TAVO_E2E_PROCESS_CHECK; without
// it both cases skip.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/utf.h"

namespace {

const wchar_t kLauncherName[] = L"Setup.exe";

std::wstring Variable(const wchar_t* name) {
  wchar_t value[256] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, 256);
  return n > 0 && n < 256 ? std::wstring(value, n) : std::wstring();
}

bool CheckRequested(const wchar_t* check) { return Variable(L"TAVO_E2E_PROCESS_CHECK") == check; }

std::vector<platform::ProcessEntry> Launchers(const std::vector<platform::ProcessEntry>& all) {
  std::vector<platform::ProcessEntry> found;
  for (const auto& p : all) {
    if (p.exeName == kLauncherName) found.push_back(p);
  }
  return found;
}

const platform::ProcessEntry* FindPid(const std::vector<platform::ProcessEntry>& all, uint32_t pid) {
  for (const auto& p : all) {
    if (p.pid == pid) return &p;
  }
  return nullptr;
}

std::wstring ImagePath(uint32_t pid) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return std::wstring();
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  const BOOL ok = ::QueryFullProcessImageNameW(process, 0, path, &size);
  ::CloseHandle(process);
  return ok ? std::wstring(path, size) : std::wstring();
}

std::wstring TempFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, path);
  return std::wstring(path, n);
}

// Lines the script reads from standard output.
void Report(const char* key, const std::string& value) {
  std::printf("TAVO_E2E %s=%s\n", key, value.c_str());
  std::fflush(stdout);
}

// While the first launcher shows its start-up dialog: it is the only one, and
// its parent is no launcher (so it rightly ends nobody).
TEST(LauncherProcesses, FirstLauncherAlone) {
  if (!CheckRequested(L"first")) GTEST_SKIP() << "only for scripts/wine-e2e.sh";
  std::vector<platform::ProcessEntry> all;
  ASSERT_TRUE(platform::SnapshotProcesses(&all));
  const auto launchers = Launchers(all);
  ASSERT_EQ(1u, launchers.size()) << "launchers running";
  const platform::ProcessEntry& first = launchers[0];
  const platform::ProcessEntry* parent = first.parentPid ? FindPid(all, first.parentPid) : nullptr;
  Report("first-pid", std::to_string(first.pid));
  Report("first-parent-pid", std::to_string(first.parentPid));
  Report("first-parent-name", parent ? platform::WideToUtf8(parent->exeName) : std::string("(none)"));
  Report("first-image", platform::WideToUtf8(ImagePath(first.pid)));
  if (parent) {
    EXPECT_NE(std::wstring(kLauncherName), parent->exeName);
  }
}

// After the round trip: one launcher, started by the first one from the
// temporary folder, and the first one is gone.
TEST(LauncherProcesses, NewLauncherReplacedTheFirst) {
  if (!CheckRequested(L"replaced")) GTEST_SKIP() << "only for scripts/wine-e2e.sh";
  const uint32_t firstPid = static_cast<uint32_t>(std::wcstoul(Variable(L"TAVO_E2E_FIRST_PID").c_str(), nullptr, 10));
  ASSERT_NE(0u, firstPid) << "TAVO_E2E_FIRST_PID is missing";
  std::vector<platform::ProcessEntry> all;
  ASSERT_TRUE(platform::SnapshotProcesses(&all));
  EXPECT_EQ(nullptr, FindPid(all, firstPid)) << "the first launcher still runs";
  const auto launchers = Launchers(all);
  ASSERT_EQ(1u, launchers.size()) << "launchers running";
  const platform::ProcessEntry& second = launchers[0];
  const std::wstring image = ImagePath(second.pid);
  Report("second-pid", std::to_string(second.pid));
  Report("second-parent-pid", std::to_string(second.parentPid));
  Report("second-image", platform::WideToUtf8(image));
  EXPECT_NE(firstPid, second.pid);
  EXPECT_EQ(firstPid, second.parentPid) << "the new launcher was not started by the first";
  const std::wstring expected = TempFolder() + kLauncherName;
  EXPECT_EQ(0, _wcsicmp(expected.c_str(), image.c_str()))
      << platform::WideToUtf8(image) << " is not " << platform::WideToUtf8(expected);
}

}  // namespace

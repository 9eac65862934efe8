// A DLL planted beside the launcher in Downloads, or in its current folder. Each case starts a copy of this program as
// a child with the DLL planted there: without the restriction the child loads the DLL by its bare name, with it only
// libraries of the system folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/folders.h"
#include "platform/process_hardening.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

// Set for the child only: "plain" or "hardened", a blank, and where it writes its report.
const wchar_t kProbeVariable[] = L"TAVO_DLL_PROBE";
const wchar_t kPlantedName[] = L"planted.dll";

// The child's part: restrict the search or not, then load by bare names. The report: the
// hardening, the planted DLL's marker found, the error, a system library (not imported here)
// loaded, the planted DLL's path.
TEST(DllSearchProbe, LoadPlanted) {
  wchar_t value[1024] = {};
  const std::wstring probe(value, ::GetEnvironmentVariableW(kProbeVariable, value, 1024) % 1024);
  const size_t blank = probe.find(L' ');
  if (blank == std::wstring::npos) GTEST_SKIP() << "runs only as the child of the DllSearchWin cases";
  const std::wstring mode = probe.substr(0, blank), report = probe.substr(blank + 1);
  int hardening = -1;
  if (mode == L"hardened") hardening = static_cast<int>(platform::RestrictDllSearchToSystemFolder());
  ::SetLastError(0);
  HMODULE planted = ::LoadLibraryW(kPlantedName);
  const DWORD error = planted ? 0 : ::GetLastError();
  wchar_t path[MAX_PATH * 2] = {};
  if (planted) ::GetModuleFileNameW(planted, path, MAX_PATH * 2);
  const bool marker = planted && ::GetProcAddress(planted, "TavoPlantedDllMarker");
  const bool system = ::LoadLibraryW(L"msi.dll") != nullptr;
  const std::wstring text = std::to_wstring(hardening) + L" " + (marker ? L"1 " : L"0 ") + std::to_wstring(error) +
                            (system ? L" 1 " : L" 0 ") + path;
  ASSERT_TRUE(tavo_test::WriteBytes(report, tavo_test::Utf8(text)));
}

struct Case {
  const char* name;
  bool besideProgram;  // else in the current folder
  const wchar_t* mode;
  bool expectLoaded;
};

class DllSearchWin : public testing::TestWithParam<Case> {};

TEST_P(DllSearchWin, PlantedDllLoadsOnlyWithoutTheRestriction) {
  const Case& c = GetParam();
  const std::wstring self = platform::GetModulePath();
  const std::wstring builtDll = self.substr(0, self.find_last_of(L"\\/") + 1) + kPlantedName;
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(builtDll.c_str())) << "planted.dll is built beside the tests";
  tavo_test::TempDir programFolder, currentFolder, reports;
  const std::wstring exe = programFolder.File(L"tests_platform.exe");
  ASSERT_TRUE(::CopyFileW(self.c_str(), exe.c_str(), FALSE)) << ::GetLastError();
  const std::wstring planted = (c.besideProgram ? programFolder : currentFolder).File(kPlantedName);
  ASSERT_TRUE(::CopyFileW(builtDll.c_str(), planted.c_str(), FALSE)) << ::GetLastError();
  const std::wstring report = reports.File(L"report.txt"), output = reports.File(L"child.out");
  ::SetEnvironmentVariableW(kProbeVariable, (std::wstring(c.mode) + L" " + report).c_str());
  std::wstring commandLine = L"\"" + exe + L"\" --gtest_filter=DllSearchProbe.LoadPlanted --gtest_brief=1";
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE out = ::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, out);
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = out;
  PROCESS_INFORMATION pi = {};
  const BOOL started = ::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        currentFolder.path().c_str(), &si, &pi);
  ::CloseHandle(out);
  ::SetEnvironmentVariableW(kProbeVariable, nullptr);
  ASSERT_TRUE(started) << ::GetLastError();
  // A child that never ends fails the case instead of holding the run.
  const DWORD waited = ::WaitForSingleObject(pi.hProcess, 120000);
  if (waited != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 1);
  DWORD code = 1;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  ASSERT_EQ(WAIT_OBJECT_0, waited) << "the probe did not end";
  ASSERT_EQ(0u, code) << "the probe failed:\n" << tavo_test::ReadBytes(output);
  int hardening = -2, loaded = -1, system = -1, pathAt = 0;
  unsigned long error = 0;
  const std::wstring text = platform::Utf8ToWide(tavo_test::ReadBytes(report));
  ASSERT_EQ(4, swscanf(text.c_str(), L"%d %d %lu %d %n", &hardening, &loaded, &error, &system, &pathAt)) << "no report";
  const std::wstring path = text.substr(pathAt);
  EXPECT_EQ(1, system) << "a library of the system folder must still load";
  if (std::wstring(c.mode) == L"hardened") {
    EXPECT_EQ(static_cast<int>(platform::DllSearchHardening::kSystemFolderOnly), hardening);
  }
  EXPECT_EQ(c.expectLoaded, loaded == 1) << "loaded from: " << platform::WideToUtf8(path);
  if (c.expectLoaded) {
    EXPECT_EQ(0, _wcsicmp(planted.c_str(), path.c_str())) << platform::WideToUtf8(path);
  } else {
    EXPECT_EQ(static_cast<unsigned long>(ERROR_MOD_NOT_FOUND), error);
  }
}

INSTANTIATE_TEST_SUITE_P(Planted, DllSearchWin,
                         testing::Values(Case{"BesideProgram_Plain", true, L"plain", true},
                                         Case{"BesideProgram_Hardened", true, L"hardened", false},
                                         Case{"CurrentFolder_Plain", false, L"plain", true},
                                         Case{"CurrentFolder_Hardened", false, L"hardened", false}),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace

// A DLL planted beside the launcher in Downloads or in the temporary folder.
// Each case starts a copy of this program as a child with the DLL planted
// beside it or in its current folder: without the restriction the child loads
// the DLL by its bare name, with it the child loads only libraries of the
// system folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/folders.h"
#include "platform/process_hardening.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

// Set for the child only: "plain" or "hardened", and where it writes its report.
const wchar_t kModeVariable[] = L"TAVO_DLL_PROBE";
const wchar_t kReportVariable[] = L"TAVO_DLL_PROBE_REPORT";
const wchar_t kPlantedName[] = L"planted.dll";
const char kPlantedMarker[] = "TavoPlantedDllMarker";
// Not imported by the tests, so its load really goes through the search.
const wchar_t kSystemLibrary[] = L"msi.dll";

std::wstring Variable(const wchar_t* name) {
  wchar_t value[1024] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, 1024);
  return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring ModuleFileName(HMODULE module) {
  wchar_t path[MAX_PATH * 2] = {};
  const DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH * 2);
  return std::wstring(path, n);
}

// The child's part: restrict the search or not, then load by bare names.
TEST(DllSearchProbe, LoadPlanted) {
  const std::wstring mode = Variable(kModeVariable);
  const std::wstring report = Variable(kReportVariable);
  if (mode.empty() || report.empty()) GTEST_SKIP() << "runs only as the child of the DllSearchWin cases";

  int hardening = -1;
  if (mode == L"hardened") hardening = static_cast<int>(platform::RestrictDllSearchToSystemFolder());
  ::SetLastError(0);
  HMODULE planted = ::LoadLibraryW(kPlantedName);
  const DWORD plantedError = planted ? 0 : ::GetLastError();
  const bool marker = planted && ::GetProcAddress(planted, kPlantedMarker) != nullptr;
  HMODULE system = ::LoadLibraryW(kSystemLibrary);

  std::wstring text = L"hardening=" + std::to_wstring(hardening) + L"\n";
  text += L"planted=" + std::wstring(planted ? L"1" : L"0") + L"\n";
  text += L"error=" + std::to_wstring(plantedError) + L"\n";
  text += L"marker=" + std::wstring(marker ? L"1" : L"0") + L"\n";
  text += L"path=" + (planted ? ModuleFileName(planted) : std::wstring()) + L"\n";
  text += L"system=" + std::wstring(system ? L"1" : L"0") + L"\n";
  ASSERT_TRUE(tavo_test::WriteBytes(report, tavo_test::Utf8(text)));
}

struct ProbeReport {
  bool ran = false;
  int hardening = -1;
  bool planted = false;
  unsigned long error = 0;
  bool marker = false;
  std::wstring path;
  bool system = false;
};

std::wstring Field(const std::wstring& text, const std::wstring& key) {
  const std::wstring start = key + L"=";
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(L'\n', at);
    if (end == std::wstring::npos) end = text.size();
    if (text.compare(at, start.size(), start) == 0) return text.substr(at + start.size(), end - at - start.size());
    at = end + 1;
  }
  return std::wstring();
}

// Starts the copy of this program at exe with the given mode and current folder.
ProbeReport RunProbe(const std::wstring& exe, const std::wstring& currentFolder, const wchar_t* mode,
                     const std::wstring& reportPath) {
  ProbeReport result;
  ::SetEnvironmentVariableW(kModeVariable, mode);
  ::SetEnvironmentVariableW(kReportVariable, reportPath.c_str());
  std::wstring commandLine = L"\"" + exe + L"\" --gtest_filter=DllSearchProbe.LoadPlanted --gtest_brief=1";
  // The child's own test output goes to a file, shown only when it fails.
  const std::wstring outputPath = reportPath + L".out";
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE output = ::CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "no file for the probe's output, error " << ::GetLastError();
    return result;
  }
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = output;
  si.hStdError = output;
  PROCESS_INFORMATION pi = {};
  const BOOL started = ::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        currentFolder.c_str(), &si, &pi);
  const DWORD startError = ::GetLastError();
  ::CloseHandle(output);
  ::SetEnvironmentVariableW(kModeVariable, nullptr);
  ::SetEnvironmentVariableW(kReportVariable, nullptr);
  if (!started) {
    ADD_FAILURE() << "the probe could not be started, error " << startError;
    return result;
  }
  const DWORD waited = ::WaitForSingleObject(pi.hProcess, 120000);
  DWORD code = 1;
  ::GetExitCodeProcess(pi.hProcess, &code);
  if (waited != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 1);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  EXPECT_EQ(WAIT_OBJECT_0, waited) << "the probe did not end";
  EXPECT_EQ(0u, code) << "the probe failed:\n" << tavo_test::ReadBytes(outputPath);

  const std::wstring text = platform::Utf8ToWide(tavo_test::ReadBytes(reportPath));
  result.ran = !text.empty();
  const std::wstring hardening = Field(text, L"hardening");
  result.hardening = hardening.empty() ? -1 : static_cast<int>(std::wcstol(hardening.c_str(), nullptr, 10));
  result.planted = Field(text, L"planted") == L"1";
  result.error = std::wcstoul(Field(text, L"error").c_str(), nullptr, 10);
  result.marker = Field(text, L"marker") == L"1";
  result.path = Field(text, L"path");
  result.system = Field(text, L"system") == L"1";
  return result;
}

enum class PlantedIn { kProgramFolder, kCurrentFolder };

struct Case {
  const char* name;
  PlantedIn where;
  const wchar_t* mode;
  bool expectLoaded;
};

class DllSearchWin : public testing::TestWithParam<Case> {};

TEST_P(DllSearchWin, PlantedDllLoadsOnlyWithoutTheRestriction) {
  const Case& c = GetParam();
  const std::wstring self = platform::GetModulePath();
  const std::wstring builtDll = FolderOf(self) + kPlantedName;
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(builtDll.c_str()))
      << "planted.dll is built beside the test program";

  // The program in one folder ("Downloads"), the child's current folder in another.
  tavo_test::TempDir programFolder;
  tavo_test::TempDir currentFolder;
  tavo_test::TempDir reports;
  const std::wstring exe = programFolder.File(L"tests_platform.exe");
  ASSERT_TRUE(::CopyFileW(self.c_str(), exe.c_str(), FALSE)) << ::GetLastError();
  const std::wstring plantedFolder = c.where == PlantedIn::kProgramFolder ? programFolder.path() : currentFolder.path();
  const std::wstring planted = plantedFolder + kPlantedName;
  ASSERT_TRUE(::CopyFileW(builtDll.c_str(), planted.c_str(), FALSE)) << ::GetLastError();

  const ProbeReport r = RunProbe(exe, currentFolder.path(), c.mode, reports.File(L"report.txt"));
  ASSERT_TRUE(r.ran) << "the probe wrote no report";
  EXPECT_TRUE(r.system) << "a library of the system folder must still load";
  if (std::wstring(c.mode) == L"hardened") {
    EXPECT_EQ(static_cast<int>(platform::DllSearchHardening::kSystemFolderOnly), r.hardening);
  }
  EXPECT_EQ(c.expectLoaded, r.planted) << "loaded from: " << platform::WideToUtf8(r.path);
  if (c.expectLoaded) {
    EXPECT_TRUE(r.marker);
    EXPECT_EQ(0, _wcsicmp(planted.c_str(), r.path.c_str())) << platform::WideToUtf8(r.path);
  } else {
    EXPECT_EQ(static_cast<unsigned long>(ERROR_MOD_NOT_FOUND), r.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Planted, DllSearchWin,
    testing::Values(Case{"BesideProgram_Plain", PlantedIn::kProgramFolder, L"plain", true},
                    Case{"BesideProgram_Hardened", PlantedIn::kProgramFolder, L"hardened", false},
                    Case{"CurrentFolder_Plain", PlantedIn::kCurrentFolder, L"plain", true},
                    Case{"CurrentFolder_Hardened", PlantedIn::kCurrentFolder, L"hardened", false}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace

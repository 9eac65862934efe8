// The Windows pieces of the installation engine under Wine: starting a real child program and the Windows Installer,
// moving and securing a real file, and the Application log.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>

#include "app/launcher_context.h"
#include "base/paths.h"
#include "config/download_config.h"
#include "install/install_result.h"
#include "install/install_run.h"
#include "install/package_execution.h"
#include "net/wait_clock.h"
#include "platform/cmdline_split.h"
#include "platform/error.h"
#include "platform/file_security.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/held_file.h"
#include "platform/run_process.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::ReadBytes;
using tavo_test::TempDir;
using tavo_test::WriteBytes;

// A child that hangs fails the test instead of holding the run.
constexpr uint32_t kBound = 60000;

// The child built beside the tests: ends with the code of its first argument.
std::wstring Child() { return L"\"" + ParentFolder(platform::GetModulePath()) + L"exit_code_child.exe\""; }

TEST(RunProcessWin, ExitCodesAllThirtyTwoBitsAndFailures) {
  ASSERT_TRUE(platform::FileExists(ParentFolder(platform::GetModulePath()) + L"exit_code_child.exe"));
  for (uint32_t code : {0u, 1603u, 3010u, 0xC0000005u}) {
    int32_t exitCode = 12345;
    uint32_t error = 99;
    EXPECT_TRUE(platform::RunProcess(&error, Child() + L" " + std::to_wstring(code), L"", true, true, kBound, &exitCode));
    EXPECT_EQ(static_cast<int32_t>(code), exitCode) << code;
    EXPECT_EQ(0u, error);
  }
  int32_t exitCode = 0;
  EXPECT_TRUE(platform::RunProcess(nullptr, Child(), L"42", true, false, kBound, &exitCode)) << "hidden, one blank";
  EXPECT_EQ(42, exitCode);
  exitCode = 12345;
  EXPECT_TRUE(platform::RunProcess(nullptr, Child() + L" 7", L"", false, true, 0, &exitCode));
  EXPECT_EQ(12345, exitCode) << "without waiting the code is not touched";
  EXPECT_TRUE(platform::RunProcess(nullptr, Child() + L" 7 3000", L"", true, true, 20, &exitCode));
  EXPECT_EQ(platform::kStillActive, exitCode);
  TempDir dir;
  uint32_t error = 0;
  exitCode = 12345;
  EXPECT_FALSE(platform::RunProcess(&error, L"\"" + dir.File(L"missing.exe") + L"\"", L"", true, true, kBound, &exitCode));
  EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_NOT_FOUND), error);
  EXPECT_EQ(12345, exitCode);
}

// Installers get the private folder as TEMP, TMP and current folder, and the machine's environment: nothing of the
// launcher's own (which its user chose) passes on.
TEST(RunProcessWin, InstallersGetTheWorkingFolderAndTheMachinesEnvironment) {
  TempDir dir;
  const std::wstring folder = dir.path().substr(0, dir.path().size() - 1);
  const std::wstring check = L"cmd.exe /c if defined TAVO_USER_MARK (exit 5) else if not defined SystemRoot (exit 4) "
                             L"else if /i \"%TEMP%;%TMP%;%CD%\"==\"" + folder + L";" + folder + L";" + folder +
                             L"\" (exit 7) else exit 3";
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TAVO_USER_MARK", L"the user's"));
  int32_t exitCode = 0;
  platform::SetProgramTempFolder(dir.path());
  EXPECT_TRUE(platform::RunProcess(nullptr, check, L"", true, false, kBound, &exitCode));
  EXPECT_EQ(7, exitCode) << "5: the launcher's variable passed on, 4: no machine variable, 3: another folder";
  platform::SetProgramTempFolder(L"");
  ::SetEnvironmentVariableW(L"TAVO_USER_MARK", nullptr);
  EXPECT_TRUE(platform::RunProcess(nullptr, check, L"", true, false, kBound, &exitCode));
  EXPECT_EQ(3, exitCode);
}

TEST(FileSecurityWin, TheScannerLibraryIsReplacedAndOpenedToUsers) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File(L"new.dll"), "new"));
  ASSERT_TRUE(WriteBytes(dir.File(L"tguiScan.dll"), "old"));
  EXPECT_TRUE(platform::MoveFileReplacing(dir.File(L"tguiScan.dll"), dir.File(L"tguiScanDeleteFile")));
  EXPECT_TRUE(platform::MoveFileReplacing(dir.File(L"new.dll"), dir.File(L"tguiScan.dll")));
  EXPECT_EQ("new", ReadBytes(dir.File(L"tguiScan.dll")));
  EXPECT_EQ("old", ReadBytes(dir.File(L"tguiScanDeleteFile")));
  EXPECT_FALSE(platform::MoveFileReplacing(dir.File(L"new.dll"), dir.File(L"tguiScan.dll")));
  EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_NOT_FOUND), platform::LastError());
  // Wine keeps only what the Unix permission bits can hold, so the entry itself is not read back here.
  EXPECT_TRUE(platform::GrantFileAccess(L"Users", dir.File(L"tguiScan.dll"), platform::kFileGenericExecute));
  EXPECT_FALSE(platform::GrantFileAccess(L"Users", dir.File(L"missing.dll"), platform::kFileGenericExecute));
}

TEST(EventLogWin, NoInstallerRecordMeansNotExecuted) {
  LauncherContext context;
  TempDir work;
  context.WorkFolder = work.path();
  context.Settings.ProductType = 1;
  const int64_t start = static_cast<int64_t>(std::time(nullptr)) + 5;  // no record can be that new
  int32_t code = 0;
  EXPECT_FALSE(ReadExitCodeFromEventLog(context.Settings, start, &code));
  EXPECT_EQ(0, code);
  const InstallVerdict verdict =
      DetermineInstallOutcome(InstallRun{context.Settings, context, context}, start, 0, /*earlierNotExecuted=*/false);
  EXPECT_EQ(InstallOutcome::NotExecuted, verdict.outcome);
  EXPECT_EQ(-1, verdict.detail);
  EXPECT_FALSE(verdict.detailIsLogClass);
}

struct NoSteps : InstallStepSink {
  void SendStep(InstallStep) override {}
  void SetInstallStartTime(int64_t time) override { start = time; }
  int64_t InstallStartTime() const override { return start; }
  int64_t start = 0;
};

// Under WoW64 the system folder is redirected to the 32-bit programs: the Windows Installer must be the system's own.
// The command interpreter beside the msiexec.exe the launcher started, started the same way, tells which folder it is.
TEST(PackageExecutionWin, TheWindowsInstallerIsTheNativeOne) {
  TempDir work;
  LauncherContext context;
  context.WorkFolder = work.path();
  PackageEntry package;
  package.PackageFileName = L"p.msi";
  package.ExecType = 1;
  package.Verified = true;
  ASSERT_TRUE(WriteBytes(work.File(L"p.msi"), "not a package"));
  package.File = std::make_shared<platform::HeldFile>();
  ASSERT_TRUE(package.File->Open(work.File(L"p.msi")));
  tavo_test::LogCapture log;
  NoSteps sink;
  InstallPackages(InstallRun{context.Settings, context, context}, {package}, sink, SystemWaitClock());
  const auto texts = log.Texts();
  const auto at = std::find(texts.begin(), texts.end(), L"以下のインストールコマンドを実行します。");
  ASSERT_TRUE(at != texts.end() && at + 1 != texts.end());
  const std::wstring program = platform::SplitWindowsCommandLine(at[1]).at(0);
  EXPECT_EQ(0, _wcsicmp(L"msiexec.exe", FileNameOf(program).c_str()));
  int32_t bits = 0;
  ASSERT_TRUE(platform::RunProcess(nullptr, L"\"" + ParentFolder(program) + L"cmd.exe\" /c if defined PROCESSOR_ARCHITEW6432 "
                                   L"(exit 32) else (exit 64)", L"", true, false, kBound, &bits));
  EXPECT_EQ(64, bits) << platform::WideToUtf8(at[1]);
}

}  // namespace

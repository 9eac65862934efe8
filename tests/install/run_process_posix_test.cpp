// Starting programs on the simulated machine: the Windows command line, exit
// codes (all 32 bits of the simulated Windows Installer's), failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/error.h"
#include "platform/run_process.h"
#include "platform/utf.h"
#include "tests/support/sim_installer_posix.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;
using tavo_test::WriteBytes;

int32_t RunAndWait(const std::wstring& command, const std::wstring& arguments = L"", uint32_t timeout = platform::kInfiniteWait) {
  int32_t code = 12345;
  uint32_t error = 99;
  EXPECT_TRUE(platform::RunProcess(&error, command, arguments, true, true, timeout, &code)) << command.c_str();
  EXPECT_EQ(0u, error);
  return code;
}

TEST(RunProcessPosix, ExitCodesOfAShell) {
  EXPECT_EQ(0, RunAndWait(L"/bin/sh -c \"exit 0\""));
  EXPECT_EQ(5, RunAndWait(L"/bin/sh -c \"exit 5\""));
  EXPECT_EQ(255, RunAndWait(L"/bin/sh -c \"exit 255\""));
  EXPECT_EQ(-1, RunAndWait(L"/bin/sh -c \"kill -9 $$\"")) << "a killed process has no exit code";
}

TEST(RunProcessPosix, ArgumentsFollowAfterOneBlankAndQuotesFollowTheWindowsRules) {
  TempDir dir;
  const std::wstring out = dir.File(L"args.txt");
  RunAndWait(L"/bin/sh -c \"printf '%s|' \\\"$@\\\" > " + out + L"\" sh \"a b\" c\\\"d", L"e");
  EXPECT_EQ("a b|c\"d|e|", tavo_test::ReadBytes(out));
}

TEST(RunProcessPosix, TheProgramIsSearchedOnThePathWithoutAFolder) { EXPECT_EQ(3, RunAndWait(L"sh -c \"exit 3\"")); }

TEST(RunProcessPosix, AFailedStartReportsTheWindowsError) {
  TempDir dir;
  int32_t code = 12345;
  uint32_t error = 0;
  EXPECT_FALSE(platform::RunProcess(&error, L"\"" + dir.File(L"missing.exe") + L"\"", L"", true, true,
                                    platform::kInfiniteWait, &code));
  EXPECT_EQ(platform::kErrorFileNotFound, error);
  EXPECT_EQ(12345, code) << "no exit code without a process";
  EXPECT_FALSE(platform::RunProcess(nullptr, L"", L"", true, true, platform::kInfiniteWait, &code));
  // A file that is no program: the system's "not a valid application".
  ASSERT_TRUE(WriteBytes(dir.File(L"setup.MSI"), "ProductName=x\n"));
  EXPECT_FALSE(platform::RunProcess(&error, L"\"" + dir.File(L"setup.MSI") + L"\"", L"", true, true,
                                    platform::kInfiniteWait, &code));
  EXPECT_EQ(193u, error);
  EXPECT_EQ(193u, platform::LastError());
}

TEST(RunProcessPosix, ADownloadedProgramRunsWithoutAnExecutePermission) {
  TempDir dir;
  const std::wstring script = dir.File(L"setup.exe");
  ASSERT_TRUE(WriteBytes(script, "#!/bin/sh\nexit 7\n"));
  ::chmod(platform::WideToUtf8(script).c_str(), 0644);
  EXPECT_EQ(7, RunAndWait(L"\"" + script + L"\""));
}

TEST(RunProcessPosix, WithoutWaitingTheExitCodeIsNotTouched) {
  int32_t code = 12345;
  EXPECT_TRUE(platform::RunProcess(nullptr, L"/bin/sh -c \"exit 4\"", L"", false, false, 0, &code));
  EXPECT_EQ(12345, code);
}

TEST(RunProcessPosix, AProcessThatOutlivesTheWaitIsStillActive) {
  EXPECT_EQ(platform::kStillActive, RunAndWait(L"/bin/sh -c \"exec >/dev/null 2>&1; sleep 1\"", L"", 20));
}

TEST(RunProcessPosix, TheSimulatedInstallerReportsItsFull32BitExitCode) {
  tavo_test::SimMachine machine;
  ASSERT_TRUE(tavo_test::InstallSimulatedInstaller());
  TempDir dir;
  for (int64_t exitCode : {0ll, 1603ll, 3010ll, 1618ll, 256ll, 4294967295ll}) {
    const std::wstring package = dir.File(L"p.msi");
    ASSERT_TRUE(WriteBytes(package, "ExitCode=" + std::to_string(static_cast<int32_t>(exitCode)) +
                                        "\nEventLog=0\nLiveLog=0\nWriteRegistry=0\nWriteFiles=0\n"));
    const std::wstring msiexec = platform::Utf8ToWide(machine.folder()) + L"Windows/System32/msiexec.exe";
    EXPECT_EQ(static_cast<int32_t>(exitCode), RunAndWait(L"\"" + msiexec + L"\" /i \"" + package + L"\" /qn")) << exitCode;
  }
  // A shell exit status is not widened by a report that does not match it.
  EXPECT_EQ(67, RunAndWait(L"/bin/sh -c \"echo 1602 >&3; exit 67\""));
  EXPECT_EQ(1603, RunAndWait(L"/bin/sh -c \"echo 1603 >&3; exit 67\""));
}

}  // namespace

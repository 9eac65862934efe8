// Starting programs on the simulated machine: the Windows command line, exit codes (all 32 bits of the simulated
// Windows Installer's), failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/error.h"
#include "platform/run_process.h"
#include "platform/utf.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;
using tavo_test::WriteBytes;

// A child that hangs fails the test instead of holding the run.
constexpr uint32_t kBound = 60000;

int32_t RunAndWait(const std::wstring& command, const std::wstring& arguments = L"", uint32_t timeout = kBound) {
  int32_t code = 12345;
  uint32_t error = 99;
  EXPECT_TRUE(platform::RunProcess(&error, command, arguments, true, true, timeout, &code)) << command.c_str();
  EXPECT_EQ(0u, error);
  EXPECT_TRUE(code != platform::kStillActive || timeout != kBound) << "the child did not end";
  return code;
}

TEST(RunProcessPosix, ExitCodesAndTheWindowsCommandLine) {
  EXPECT_EQ(0, RunAndWait(L"/bin/sh -c \"exit 0\""));
  EXPECT_EQ(255, RunAndWait(L"/bin/sh -c \"exit 255\""));
  EXPECT_EQ(-1, RunAndWait(L"/bin/sh -c \"kill -9 $$\"")) << "a killed process has no exit code";
  EXPECT_EQ(3, RunAndWait(L"sh -c \"exit 3\"")) << "a bare program name is searched on the path";
  // Arguments follow after one blank; quotes follow the Windows rules.
  TempDir dir;
  const std::wstring out = dir.File(L"args.txt");
  RunAndWait(L"/bin/sh -c \"printf '%s|' \\\"$@\\\" > " + out + L"\" sh \"a b\" c\\\"d", L"e");
  EXPECT_EQ("a b|c\"d|e|", tavo_test::ReadBytes(out));
  // A downloaded program runs without an execute permission.
  const std::wstring script = dir.File(L"setup.exe");
  ASSERT_TRUE(WriteBytes(script, "#!/bin/sh\nexit 7\n"));
  ::chmod(platform::WideToUtf8(script).c_str(), 0644);
  EXPECT_EQ(7, RunAndWait(L"\"" + script + L"\""));
  EXPECT_EQ(platform::kStillActive, RunAndWait(L"/bin/sh -c \"exec >/dev/null 2>&1; sleep 1\"", L"", 20));
}

TEST(RunProcessPosix, AFailedStartReportsTheWindowsError) {
  TempDir dir;
  int32_t code = 12345;
  uint32_t error = 0;
  EXPECT_FALSE(platform::RunProcess(&error, L"\"" + dir.File(L"missing.exe") + L"\"", L"", true, true, kBound, &code));
  EXPECT_EQ(platform::kErrorFileNotFound, error);
  EXPECT_EQ(12345, code) << "no exit code without a process";
  ASSERT_TRUE(WriteBytes(dir.File(L"setup.MSI"), "ProductName=x\n"));
  EXPECT_FALSE(platform::RunProcess(&error, L"\"" + dir.File(L"setup.MSI") + L"\"", L"", true, true, kBound, &code));
  EXPECT_TRUE(error == 193u && platform::LastError() == 193u) << error;  // "not a valid application"
}

TEST(RunProcessPosix, TheSimulatedInstallerReportsItsFull32BitExitCode) {
  tavo_test::SimMachine machine;
  // The simulated Windows Installer, built beside the tests, copies itself into the machine's system folder.
  const std::string install = "'" TAVO_BUILD_DIR "/bin/msiexec.exe' --install-machine '" + machine.folder() + "'";
  ASSERT_EQ(0, std::system(install.c_str()));
  TempDir dir;
  const std::wstring package = dir.File(L"p.msi");
  const std::wstring msiexec = platform::Utf8ToWide(machine.folder()) + L"Windows/System32/msiexec.exe";
  for (int64_t exitCode : {0ll, 1603ll, 3010ll, 1618ll, 256ll, 4294967295ll}) {
    ASSERT_TRUE(WriteBytes(package, "ExitCode=" + std::to_string(static_cast<int32_t>(exitCode)) +
                                        "\nEventLog=0\nLiveLog=0\nWriteRegistry=0\nWriteFiles=0\n"));
    EXPECT_EQ(static_cast<int32_t>(exitCode), RunAndWait(L"\"" + msiexec + L"\" /i \"" + package + L"\" /qn")) << exitCode;
  }
  // A shell exit status is not widened by a report that does not match it.
  EXPECT_EQ(67, RunAndWait(L"/bin/sh -c \"echo 1602 >&3; exit 67\""));
  EXPECT_EQ(1603, RunAndWait(L"/bin/sh -c \"echo 1603 >&3; exit 67\""));
}

}  // namespace

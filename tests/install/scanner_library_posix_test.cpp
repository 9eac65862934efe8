// Replacing the product's scanner library after a successful installation, and the file moves and access grants it is
// built on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "app/launcher_context.h"
#include "base/paths.h"
#include "install/scanner_library.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::FileExists;
using tavo_test::ReadBytes;
using tavo_test::TempDir;
using tavo_test::WriteBytes;

const wchar_t kInfo[] = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";

mode_t ModeOf(const std::wstring& path) {
  struct stat st {};
  ::stat(platform::WideToUtf8(path).c_str(), &st);
  return st.st_mode & 07777;
}

class ScannerLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.WorkFolder = EnsureTrailingSeparator(platform::GetTempFolder());
    context_.LauncherFolder = launcher_.path();
    installDir_ = machine_.wfolder() + L"TAVO/";
    ASSERT_TRUE(platform::CreateFolder(installDir_));
    ASSERT_TRUE(WriteBytes(Target(), "installed"));
    ::chmod(platform::WideToUtf8(Target()).c_str(), 0600);
    machine_.SetRegistryString(kInfo, L"InstallDir", installDir_);
  }
  std::wstring Target() const { return installDir_ + L"tguiScan.dll"; }
  std::wstring Parked() const { return context_.WorkFolder + L"tguiScanDeleteFile"; }
  std::wstring Downloaded() const { return context_.WorkFolder + L"tguiScan.dll"; }
  tavo_test::SimMachine machine_;
  tavo_test::LogCapture log_;
  TempDir launcher_;
  LauncherContext context_;
  std::wstring installDir_;
};

TEST_F(ScannerLibraryTest, OnlineTakesTheDownloadedLibraryAndParksTheInstalledOne) {
  EXPECT_TRUE(ReplaceScannerLibrary(context_.Settings, context_)) << "nothing downloaded: nothing to do";
  EXPECT_EQ("installed", ReadBytes(Target()));
  EXPECT_FALSE(FileExists(Parked()));
  ASSERT_TRUE(WriteBytes(Parked(), "parked by an earlier run"));
  ASSERT_TRUE(WriteBytes(Downloaded(), "downloaded"));
  std::wstring bare = installDir_;
  bare.pop_back();
  machine_.SetRegistryString(kInfo, L"InstallDir", bare);  // without its trailing separator
  EXPECT_TRUE(ReplaceScannerLibrary(context_.Settings, context_));
  EXPECT_EQ("downloaded", ReadBytes(Target()));
  EXPECT_EQ("installed", ReadBytes(Parked()));
  EXPECT_FALSE(FileExists(Downloaded()));
  EXPECT_EQ(static_cast<mode_t>(S_IROTH | S_IXOTH), ModeOf(Target()) & (S_IROTH | S_IXOTH)) << "users may run it";
}

TEST_F(ScannerLibraryTest, NothingIsLostWhenTheReplacementCannotBeDone) {
  ASSERT_TRUE(WriteBytes(Downloaded(), "downloaded"));
  machine_.WriteRegistryText(L"Windows Registry Editor Version 5.00\r\n");  // no install folder
  EXPECT_FALSE(ReplaceScannerLibrary(context_.Settings, context_));
  machine_.SetRegistryString(kInfo, L"InstallDir", installDir_);
  ASSERT_TRUE(platform::DeleteFileAt(Target()));  // no installed library to park
  EXPECT_FALSE(ReplaceScannerLibrary(context_.Settings, context_));
  EXPECT_EQ("downloaded", ReadBytes(Downloaded()));
}

TEST_F(ScannerLibraryTest, AFailedCopyPutsTheInstalledLibraryBack) {
  // A source on another file system that cannot be read: the copy across
  // file systems fails after the installed library was parked.
  struct stat shm {}, here {};
  char pattern[] = "/dev/shm/tavo-test-XXXXXX";
  if (::stat("/dev/shm", &shm) != 0 || ::stat(machine_.folder().c_str(), &here) != 0 || shm.st_dev == here.st_dev ||
      ::access("/proc/self/mem", R_OK) != 0 || !::mkdtemp(pattern)) {
    GTEST_SKIP() << "needs /dev/shm on a file system of its own";
  }
  const std::string launcher = std::string(pattern) + "/";
  ASSERT_EQ(0, ::mkdir((launcher + "tools").c_str(), 0777));
  ASSERT_EQ(0, ::symlink("/proc/self/mem", (launcher + "tools/x64_tguiScan.dll").c_str()));
  context_.LauncherFolder = platform::Utf8ToWide(launcher);
  context_.Settings.InstallType = 1;
  EXPECT_FALSE(ReplaceScannerLibrary(context_.Settings, context_));
  EXPECT_EQ("installed", ReadBytes(Target()));
  EXPECT_FALSE(FileExists(Parked()));
  ::unlink((launcher + "tools/x64_tguiScan.dll").c_str());
  ::rmdir((launcher + "tools").c_str());
  ::rmdir(launcher.c_str());
}

}  // namespace

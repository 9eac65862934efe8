// Replacing the product's scanner library after a successful installation, and the file moves and access grants it is
// built on.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "base/paths.h"
#include "config/download_config.h"
#include "install/scanner_library.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"

namespace {
// A rename from this path fails as the system fails one it refuses; empty: none does.
std::string g_refusedRenameFrom;
}  // namespace

// Every rename of this program passes here first, so that a test can make one move fail.
extern "C" int rename(const char* from, const char* to) noexcept {
  static const auto next = reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(RTLD_NEXT, "rename"));
  if (!g_refusedRenameFrom.empty() && g_refusedRenameFrom == from) {
    errno = EACCES;
    return -1;
  }
  return next(from, to);
}

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
  std::wstring Parked() const { return installDir_ + L"tguiScanDeleteFile"; }
  std::wstring Downloaded() const { return context_.WorkFolder + L"tguiScan.dll"; }
  // A package of this run that downloaded the library into the work folder.
  static PackageEntry Placed(const std::wstring& hash = L"0") {
    PackageEntry package;
    package.PackageFileName = L"tguiScan.dll";
    package.PackageHash = hash;
    package.Verified = true;
    return package;
  }
  bool Replace(const std::vector<PackageEntry>& packages) {
    return ReplaceScannerLibrary(context_.Settings, context_, packages);
  }
  tavo_test::SimMachine machine_;
  tavo_test::LogCapture log_;
  TempDir launcher_;
  LauncherContext context_;
  std::wstring installDir_;
};

TEST_F(ScannerLibraryTest, TheVerifiedDownloadIsCopiedInAndTheInstalledLibraryParked) {
  EXPECT_TRUE(Replace({})) << "nothing downloaded: nothing to do";
  EXPECT_EQ("installed", ReadBytes(Target()));
  EXPECT_FALSE(FileExists(Parked()));
  ASSERT_TRUE(WriteBytes(Parked(), "parked by an earlier run"));
  ASSERT_TRUE(WriteBytes(Downloaded(), "downloaded"));
  ::chmod(platform::WideToUtf8(Downloaded()).c_str(), 0666);  // whatever the work folder gave it stays there
  std::wstring bare = installDir_;
  bare.pop_back();
  machine_.SetRegistryString(kInfo, L"InstallDir", bare);  // without its trailing separator
  EXPECT_TRUE(Replace({Placed()}));
  EXPECT_EQ("downloaded", ReadBytes(Target()));
  EXPECT_EQ("installed", ReadBytes(Parked()));
  EXPECT_EQ("downloaded", ReadBytes(Downloaded())) << "copied, not moved";
  EXPECT_EQ(static_cast<mode_t>(S_IROTH | S_IXOTH), ModeOf(Target()) & (S_IROTH | S_IWOTH | S_IXOTH))
      << "users may run it, not change it";
  // Offline, the launcher's own copy for this architecture.
  ASSERT_TRUE(platform::CreateFolder(launcher_.File(L"tools")));
  ASSERT_TRUE(WriteBytes(launcher_.File(L"tools/x64_tguiScan.dll"), "carried"));
  context_.Settings.InstallType = 1;
  EXPECT_TRUE(Replace({}));
  EXPECT_EQ("carried", ReadBytes(Target()));
}

TEST_F(ScannerLibraryTest, AFileNoVerifiedPackageOfThisRunPlacedIsLeftAlone) {
  ASSERT_TRUE(WriteBytes(Downloaded(), "planted"));
  PackageEntry unverified = Placed(), elsewhere = Placed(), changed = Placed(L"0123456789ABCDEF0123456789ABCDEF");
  unverified.Verified = false;
  elsewhere.PackageFileName = L"other.dll";
  for (const std::vector<PackageEntry>& packages : {std::vector<PackageEntry>{}, {unverified}, {elsewhere}, {changed}}) {
    EXPECT_FALSE(Replace(packages));
    EXPECT_EQ("installed", ReadBytes(Target()));
    EXPECT_EQ("planted", ReadBytes(Downloaded()));
    EXPECT_FALSE(FileExists(Parked()));
  }
}

TEST_F(ScannerLibraryTest, NothingIsLostWhenTheReplacementCannotBeDone) {
  ASSERT_TRUE(WriteBytes(Downloaded(), "downloaded"));
  machine_.WriteRegistryText(L"Windows Registry Editor Version 5.00\r\n");  // no install folder
  EXPECT_FALSE(Replace({Placed()}));
  machine_.SetRegistryString(kInfo, L"InstallDir", installDir_);
  ASSERT_TRUE(platform::DeleteFileAt(Target()));  // no installed library to park
  EXPECT_FALSE(Replace({Placed()}));
  EXPECT_EQ("downloaded", ReadBytes(Downloaded()));
  EXPECT_FALSE(FileExists(installDir_ + L"tguiScanNewFile")) << "no copy is left behind";
  // The new library cannot be moved in once the installed one is parked: the installed one goes back.
  ASSERT_TRUE(WriteBytes(Target(), "installed"));
  g_refusedRenameFrom = platform::WideToUtf8(installDir_ + L"tguiScanNewFile");
  EXPECT_FALSE(Replace({Placed()}));
  g_refusedRenameFrom.clear();
  EXPECT_EQ("installed", ReadBytes(Target()));
  EXPECT_FALSE(FileExists(Parked()));
  EXPECT_FALSE(FileExists(installDir_ + L"tguiScanNewFile"));
}

}  // namespace

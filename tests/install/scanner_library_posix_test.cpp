// Replacing the product's scanner library after a successful installation,
// and the file moves and access grants it is built on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "app/launcher_context.h"
#include "app/paths.h"
#include "install/scanner_library.h"
#include "platform/error.h"
#include "platform/file_security.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::LogCapture;
using tavo_test::ReadBytes;
using tavo_test::SimMachine;
using tavo_test::TempDir;
using tavo_test::WriteBytes;

const wchar_t kInfo[] = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";

mode_t ModeOf(const std::wstring& path) {
  struct stat st {};
  ::stat(platform::WideToUtf8(path).c_str(), &st);
  return st.st_mode & 07777;
}

bool SameDevice(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

class ScannerLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.WorkFolder = EnsureTrailingSeparator(platform::GetTempFolder());
    context_.LauncherFolder = launcher_.path();
    installDir_ = platform::Utf8ToWide(machine_.folder()) + L"Program Files/TAVO/TAVO Security/";
    ASSERT_TRUE(platform::CreateFolder(platform::Utf8ToWide(machine_.folder()) + L"Program Files"));
    ASSERT_TRUE(platform::CreateFolder(platform::Utf8ToWide(machine_.folder()) + L"Program Files/TAVO"));
    ASSERT_TRUE(platform::CreateFolder(installDir_));
    ASSERT_TRUE(WriteBytes(Target(), "installed"));
    ::chmod(platform::WideToUtf8(Target()).c_str(), 0600);
    machine_.SetRegistryString(kInfo, L"InstallDir", installDir_);
  }
  std::wstring Target() const { return installDir_ + L"tguiScan.dll"; }
  std::wstring Parked() const { return context_.WorkFolder + L"tguiScanDeleteFile"; }
  std::wstring Tools(const wchar_t* name) const { return launcher_.path() + L"tools/" + name; }
  void WriteTools() {
    ASSERT_TRUE(platform::CreateFolder(launcher_.path() + L"tools"));
    ASSERT_TRUE(WriteBytes(Tools(L"x64_tguiScan.dll"), "x64"));
    ASSERT_TRUE(WriteBytes(Tools(L"x86_tguiScan.dll"), "x86"));
  }

  SimMachine machine_;
  LogCapture log_;
  TempDir launcher_;
  LauncherContext context_;
  std::wstring installDir_;
};

TEST_F(ScannerLibraryTest, OnlineWithoutASourceFileNothingHappens) {
  EXPECT_TRUE(ReplaceScannerLibrary(context_));
  EXPECT_EQ("installed", ReadBytes(Target()));
  EXPECT_FALSE(platform::FileExists(Parked()));
  EXPECT_EQ((std::vector<std::wstring>{L"オンラインラインモードで実行します。", L"コピー元ファイルは以下の通りです。",
                                       context_.WorkFolder + L"tguiScan.dll",
                                       L"DLLファイルが存在しないため、ファイルのコピーを実行しません。"}),
            log_.Texts());
}

TEST_F(ScannerLibraryTest, OnlineTakesTheDownloadedLibraryAndParksTheInstalledOne) {
  ASSERT_TRUE(WriteBytes(context_.WorkFolder + L"tguiScan.dll", "downloaded"));
  EXPECT_TRUE(ReplaceScannerLibrary(context_));
  EXPECT_EQ("downloaded", ReadBytes(Target()));
  EXPECT_EQ("installed", ReadBytes(Parked()));
  EXPECT_FALSE(platform::FileExists(context_.WorkFolder + L"tguiScan.dll"));
  EXPECT_EQ(static_cast<mode_t>(S_IROTH | S_IXOTH), ModeOf(Target()) & (S_IROTH | S_IXOTH));
  EXPECT_TRUE(log_.Contains(L"DLLファイルのコピーに成功しました。"));
}

TEST_F(ScannerLibraryTest, OfflineTakesTheLibraryOfTheWindowsArchitecture) {
  struct Case {
    int architecture;
    int wow64;
    const char* expected;
  };
  for (const Case& c : {Case{9, 1, "x64"}, Case{0, 0, "x86"}}) {
    ASSERT_TRUE(WriteBytes(Target(), "installed"));
    machine_.SetWindows(10, 0, 1, c.architecture, c.wow64);
    WriteTools();
    context_.Settings.InstallType = 1;
    log_.Clear();
    EXPECT_TRUE(ReplaceScannerLibrary(context_));
    EXPECT_EQ(c.expected, ReadBytes(Target()));
    EXPECT_EQ(L"オフラインモードで実行します。", log_.Texts().front());
    const std::wstring source = Tools(std::string(c.expected) == "x64" ? L"x64_tguiScan.dll" : L"x86_tguiScan.dll");
    EXPECT_EQ(source, log_.Texts()[2]);
    EXPECT_FALSE(platform::FileExists(source));
  }
}

TEST_F(ScannerLibraryTest, AParkedFileOfAnEarlierRunIsReplaced) {
  ASSERT_TRUE(WriteBytes(Parked(), "parked by an earlier run"));
  ASSERT_TRUE(WriteBytes(context_.WorkFolder + L"tguiScan.dll", "downloaded"));
  EXPECT_TRUE(ReplaceScannerLibrary(context_));
  EXPECT_EQ("installed", ReadBytes(Parked()));
  EXPECT_EQ("downloaded", ReadBytes(Target()));
}

TEST_F(ScannerLibraryTest, AnInstallFolderWithoutTrailingSeparatorGetsOne) {
  std::wstring bare = installDir_;
  bare.pop_back();
  machine_.SetRegistryString(kInfo, L"InstallDir", bare);
  ASSERT_TRUE(WriteBytes(context_.WorkFolder + L"tguiScan.dll", "downloaded"));
  EXPECT_TRUE(ReplaceScannerLibrary(context_));
  EXPECT_EQ("downloaded", ReadBytes(Target()));
}

TEST_F(ScannerLibraryTest, NoInstallFolderInTheRegistry) {
  machine_.WriteRegistryText(L"Windows Registry Editor Version 5.00\r\n");
  ASSERT_TRUE(WriteBytes(context_.WorkFolder + L"tguiScan.dll", "downloaded"));
  EXPECT_FALSE(ReplaceScannerLibrary(context_));
  EXPECT_EQ("downloaded", ReadBytes(context_.WorkFolder + L"tguiScan.dll"));
  ASSERT_FALSE(log_.Entries().empty());
  EXPECT_TRUE(log_.Entries().back().error);
  EXPECT_EQ(L"インストールパスの取得に失敗しました。", log_.Entries().back().text) << "no error code";
}

TEST_F(ScannerLibraryTest, NoInstalledLibraryToParkStopsTheReplacement) {
  ASSERT_TRUE(platform::DeleteFileAt(Target()));
  ASSERT_TRUE(WriteBytes(context_.WorkFolder + L"tguiScan.dll", "downloaded"));
  EXPECT_FALSE(ReplaceScannerLibrary(context_));
  EXPECT_EQ(L"DLLファイルの移動に失敗しました。", log_.Entries().back().text);
  EXPECT_TRUE(platform::FileExists(context_.WorkFolder + L"tguiScan.dll"));
}

TEST_F(ScannerLibraryTest, AFailedCopyPutsTheInstalledLibraryBack) {
  // A source on another file system that cannot be read: the copy across
  // file systems fails after the installed library was parked.
  if (::access("/dev/shm", W_OK) != 0 || SameDevice("/dev/shm", machine_.folder()) ||
      ::access("/proc/self/mem", R_OK) != 0) {
    GTEST_SKIP() << "needs /dev/shm on a file system of its own";
  }
  char pattern[] = "/dev/shm/tavo-launcher-XXXXXX";
  ASSERT_NE(nullptr, ::mkdtemp(pattern));
  const std::string launcher = std::string(pattern) + "/";
  ASSERT_EQ(0, ::mkdir((launcher + "tools").c_str(), 0777));
  ASSERT_EQ(0, ::symlink("/proc/self/mem", (launcher + "tools/x64_tguiScan.dll").c_str()));
  context_.LauncherFolder = platform::Utf8ToWide(launcher);
  context_.Settings.InstallType = 1;
  EXPECT_FALSE(ReplaceScannerLibrary(context_));
  EXPECT_EQ("installed", ReadBytes(Target()));
  EXPECT_FALSE(platform::FileExists(Parked()));
  EXPECT_NE(-1, log_.Find(L"DLLファイルのコピーに失敗しました。"));
  EXPECT_NE(-1, log_.Find(L"DLLファイルを元に戻しました。"));
  ::unlink((launcher + "tools/x64_tguiScan.dll").c_str());
  ::rmdir((launcher + "tools").c_str());
  ::rmdir(pattern);
}

// --- the platform pieces --------------------------------------------------------

TEST(MoveFileReplacingPosix, ReplacesAnExistingFile) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File(L"a"), "new"));
  ASSERT_TRUE(WriteBytes(dir.File(L"b"), "old"));
  EXPECT_TRUE(platform::MoveFileReplacing(dir.File(L"a"), dir.File(L"b")));
  EXPECT_EQ("new", ReadBytes(dir.File(L"b")));
  EXPECT_FALSE(platform::FileExists(dir.File(L"a")));
}

TEST(MoveFileReplacingPosix, FailuresCarryTheWindowsError) {
  TempDir dir;
  EXPECT_FALSE(platform::MoveFileReplacing(dir.File(L"missing"), dir.File(L"b")));
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
  ASSERT_TRUE(WriteBytes(dir.File(L"a"), "new"));
  ASSERT_TRUE(platform::CreateFolder(dir.File(L"folder")));
  EXPECT_FALSE(platform::MoveFileReplacing(dir.File(L"a"), dir.File(L"folder")));
  EXPECT_EQ(platform::kErrorAccessDenied, platform::LastError());
  EXPECT_EQ("new", ReadBytes(dir.File(L"a")));
}

TEST(MoveFileReplacingPosix, AcrossFileSystemsTheFileIsCopiedAndTheSourceDeleted) {
  TempDir dir;
  if (::access("/dev/shm", W_OK) != 0 || SameDevice("/dev/shm", platform::WideToUtf8(dir.path()))) {
    GTEST_SKIP() << "needs /dev/shm on a file system of its own";
  }
  char pattern[] = "/dev/shm/tavo-move-XXXXXX";
  ASSERT_NE(nullptr, ::mkdtemp(pattern));
  const std::wstring source = platform::Utf8ToWide(std::string(pattern) + "/lib.dll");
  std::string content(300000, 'x');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31);
  ASSERT_TRUE(WriteBytes(source, content));
  ::chmod(platform::WideToUtf8(source).c_str(), 0640);
  ASSERT_TRUE(WriteBytes(dir.File(L"lib.dll"), "old"));
  EXPECT_TRUE(platform::MoveFileReplacing(source, dir.File(L"lib.dll")));
  EXPECT_EQ(content, ReadBytes(dir.File(L"lib.dll")));
  EXPECT_EQ(0640u, ModeOf(dir.File(L"lib.dll")));
  EXPECT_FALSE(platform::FileExists(source));
  std::vector<std::wstring> names;
  ASSERT_TRUE(platform::ListFolder(dir.path(), &names));
  EXPECT_EQ(1u, names.size()) << "no temporary file is left behind";
  ::rmdir(pattern);
}

TEST(GrantFileAccessPosix, UsersGetReadAndExecute) {
  TempDir dir;
  const std::wstring file = dir.File(L"tguiScan.dll");
  ASSERT_TRUE(WriteBytes(file, "x"));
  ::chmod(platform::WideToUtf8(file).c_str(), 0600);
  EXPECT_TRUE(platform::GrantFileAccess(L"Users", file, platform::kFileGenericExecute));
  EXPECT_EQ(0605u, ModeOf(file));
  EXPECT_TRUE(platform::GrantFileAccess(L"Everyone", file, 0x2));
  EXPECT_EQ(0607u, ModeOf(file));
  EXPECT_FALSE(platform::GrantFileAccess(L"NoSuchGroup", file, platform::kFileGenericExecute));
  EXPECT_EQ(1332u, platform::LastError());
  EXPECT_FALSE(platform::GrantFileAccess(L"Users", dir.File(L"missing"), platform::kFileGenericExecute));
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
}

}  // namespace

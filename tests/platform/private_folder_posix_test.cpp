// The private working folder and the debug log on the simulated machine: mode 0700, no link on the way, links inside
// removed as themselves, and a log that leaves a folder reached through a link for the working folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/debug_log.h"
#include "platform/files.h"
#include "platform/private_folder.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::WideToUtf8;

std::string Native(const std::wstring& path) { return WideToUtf8(path); }

TEST(PrivateFolder, IsNewClosedToOthersAndRefusedThroughALink) {
  tavo_test::TempDir dir;
  const std::wstring a = platform::CreatePrivateFolder(dir.path(), L"TAVOSetup-");
  const std::wstring b = platform::CreatePrivateFolder(dir.path(), L"TAVOSetup-");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(0, a.compare(0, dir.path().size() + 10, dir.path() + L"TAVOSetup-"));
  struct stat st {};
  ASSERT_EQ(0, ::stat(Native(a).c_str(), &st));
  EXPECT_EQ(0700u, st.st_mode & 07777);
  EXPECT_TRUE(platform::IsPrivateFolder(a, false));

  ASSERT_EQ(0, ::mkdir(Native(dir.File(L"open")).c_str(), 0755));
  ASSERT_EQ(0, ::symlink(Native(dir.path()).c_str(), Native(dir.File(L"link")).c_str()));
  const std::wstring viaLink = dir.File(L"link/") + a.substr(dir.path().size());
  for (const std::wstring& folder : {dir.File(L"open/"), viaLink, dir.File(L"missing/")}) {
    EXPECT_FALSE(platform::IsPrivateFolder(folder, false)) << Native(folder);
  }
  // A parent reached through a link gives no folder at all.
  EXPECT_TRUE(platform::CreatePrivateFolder(dir.File(L"link/"), L"TAVOSetup-").empty());
}

TEST(PrivateFolder, RemovingATreeRemovesLinksNotWhatTheyName) {
  tavo_test::TempDir dir;
  const std::wstring folder = platform::CreatePrivateFolder(dir.path(), L"TAVOSetup-");
  ASSERT_TRUE(tavo_test::WriteBytes(dir.File(L"victim"), "victim"));
  ASSERT_EQ(0, ::mkdir(Native(folder + L"tavo").c_str(), 0700));
  ASSERT_TRUE(tavo_test::WriteBytes(folder + L"tavo/a.log", "log"));
  ASSERT_EQ(0, ::symlink(Native(dir.path()).c_str(), Native(folder + L"folder-link").c_str()));
  ASSERT_EQ(0, ::symlink(Native(dir.File(L"victim")).c_str(), Native(folder + L"file-link").c_str()));
  EXPECT_TRUE(platform::RemoveFolderTree(folder));
  EXPECT_NE(0, ::access(Native(folder).c_str(), F_OK));
  EXPECT_EQ("victim", tavo_test::ReadBytes(dir.File(L"victim")));
}

TEST(DebugLogFallback, AFolderReachedThroughALinkIsGivenUpForTheWorkingFolder) {
  tavo_test::TempDir dir;
  ASSERT_EQ(0, ::mkdir(Native(dir.File(L"elsewhere")).c_str(), 0755));
  ASSERT_EQ(0, ::symlink(Native(dir.File(L"elsewhere")).c_str(), Native(dir.File(L"Temp")).c_str()));
  ASSERT_EQ(0, ::mkdir(Native(dir.File(L"work")).c_str(), 0700));
  DebugLog log;
  log.SetPath(dir.File(L"Temp/TAVODebugLog.txt"));
  log.SetFallbackPath(dir.File(L"work/TAVODebugLog.txt"));
  log.SetEnabled(true);
  EXPECT_TRUE(log.Info(L"一行目"));
  EXPECT_TRUE(log.Info(L"二行目"));
  EXPECT_NE(0, ::access(Native(dir.File(L"elsewhere/TAVODebugLog.txt")).c_str(), F_OK));  // nothing made there
  const std::wstring text = platform::Utf16LeToWide(tavo_test::ReadBytes(dir.File(L"work/TAVODebugLog.txt")));
  const size_t note = text.find(L"に書き込めないため"), first = text.find(L"一行目"), second = text.find(L"二行目");
  EXPECT_TRUE(note < first && first < second && second != std::wstring::npos) << WideToUtf8(text);
  EXPECT_EQ(dir.File(L"work/TAVODebugLog.txt"), log.Path());
}

}  // namespace

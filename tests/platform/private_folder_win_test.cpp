// The private working folder on Windows: a random name, held against renaming, never taken from TMP, a folder made
// by anyone else refused; and a removal that takes read-only files too.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/private_folder.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;

TEST(PrivateFolderWin, IsNewEachTimeAndNobodyRenamesIt) {
  TempDir dir;
  const std::wstring folder = platform::CreatePrivateFolder(dir.path(), L"TAVOSetup-");
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder, platform::CreatePrivateFolder(dir.path(), L"TAVOSetup-"));
  EXPECT_EQ(dir.path().size() + 10 + 16 + 1, folder.size());
  // Wine keeps no security descriptors of files (it reports the owner's defaults whatever was set), so the
  // protected list itself, and its check, are shown on Windows only.
  // Held for the rest of the process: it cannot be renamed away and replaced.
  std::wstring bare = folder;
  bare.pop_back();
  EXPECT_FALSE(::MoveFileW(bare.c_str(), dir.File(L"moved").c_str()));
  // A folder made by anyone else is not taken for one.
  ASSERT_TRUE(platform::CreateFolder(dir.File(L"TAVOSetup-0000000000000000")));
  EXPECT_FALSE(platform::IsPrivateFolder(dir.File(L"TAVOSetup-0000000000000000\\"), false));
}

TEST(PrivateFolderWin, TheParentIsTheSystemsTemporaryFolderWhateverTmpSays) {
  TempDir dir;
  wchar_t tmp[MAX_PATH], temp[MAX_PATH], windows[MAX_PATH];
  ASSERT_TRUE(::GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH) && ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH));
  ::SetEnvironmentVariableW(L"TMP", dir.path().c_str());
  ::SetEnvironmentVariableW(L"TEMP", dir.path().c_str());
  const std::wstring parent = platform::GetSystemTempFolder();
  ::SetEnvironmentVariableW(L"TMP", tmp);
  ::SetEnvironmentVariableW(L"TEMP", temp);
  ASSERT_NE(0u, ::GetSystemWindowsDirectoryW(windows, MAX_PATH));
  EXPECT_EQ(std::wstring(windows) + L"\\Temp\\", parent);
}

TEST(PrivateFolderWin, RemovingATreeTakesEverythingInside) {
  TempDir dir;
  const std::wstring root = dir.File(L"stale\\");
  ASSERT_TRUE(platform::CreateFolder(root) && platform::CreateFolder(root + L"tavo"));
  ASSERT_TRUE(platform::WriteWholeFile(root + L"tavo\\a.log", "a") && platform::WriteWholeFile(root + L"x.msi", "x"));
  ASSERT_TRUE(::SetFileAttributesW((root + L"x.msi").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(platform::RemoveFolderTree(root));
  EXPECT_FALSE(platform::FolderExists(root));
}

}  // namespace

// The private working folder on Windows: a protected access list for SYSTEM and the Administrators only, a random
// name, held against renaming, never taken from TMP; and a removal that takes links inside as themselves.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include <string>

#include "platform/files.h"
#include "platform/private_folder.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;

TEST(PrivateFolderWin, OnlySystemAndAdministratorsAreLetInAndNobodyRenamesIt) {
  TempDir dir;
  const std::wstring folder = platform::CreatePrivateFolder(dir.path(), L"TAVOSetup-");
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder, platform::CreatePrivateFolder(dir.path(), L"TAVOSetup-"));
  EXPECT_EQ(dir.path().size() + 10 + 16 + 1, folder.size());
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, ::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                                   nullptr, &dacl, nullptr, &descriptor));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  ASSERT_NE(nullptr, dacl);
  EXPECT_EQ(2, dacl->AceCount);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    PSID sid = &ace->SidStart;
    EXPECT_TRUE(::IsWellKnownSid(sid, WinLocalSystemSid) || ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid));
  }
  ::LocalFree(descriptor);
  EXPECT_TRUE(platform::IsPrivateFolder(folder, false));
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
  ::SetEnvironmentVariableW(L"TMP", dir.path().c_str());
  ::SetEnvironmentVariableW(L"TEMP", dir.path().c_str());
  const std::wstring parent = platform::GetSystemTempFolder();
  wchar_t windows[MAX_PATH];
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

// The private working folder on Windows: a random name, held against renaming, never taken from TMP, a folder made
// by anyone else refused; and a removal that takes read-only files too.
#include <gtest/gtest.h>
#include <windows.h>

#include <aclapi.h>

#include <string>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/private_folder.h"
#include "platform/win32/creation_security_win.h"
#include "platform/win32/private_folder_win.h"
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
  // Where the system has GetTempPath2 (not Wine), it answers from TMP for anyone but SYSTEM.
  // A function of the system's calling convention, which a lambda cannot be on 32-bit Windows.
  struct UserTemp {
    static DWORD WINAPI Get(DWORD size, LPWSTR buffer) { return ::GetEnvironmentVariableW(L"USERPROFILE", buffer, size); }
  };
  const platform::TempPath2Fn userTemp = &UserTemp::Get;
  EXPECT_EQ(std::wstring(windows) + L"\\Temp\\", platform::SystemTempFolderFor(false, userTemp));
  EXPECT_NE(parent, platform::SystemTempFolderFor(true, userTemp)) << "SYSTEM's own temporary folder";
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

// What a file or folder made inside the private folder is given in its creating call: its own protected list for
// SYSTEM and the Administrators, owned by the Administrators (Wine stores none, so the descriptor is read back as
// built). Outside, nothing is given: the debug log in the user's Temp stays the user's to read.
TEST(PrivateFolderWin, WhatIsMadeInsideGetsItsOwnProtectedList) {
  TempDir dir;
  const std::wstring folder = platform::CreatePrivateFolder(dir.path(), L"TAVOSetup-");
  ASSERT_FALSE(folder.empty());
  for (bool isFolder : {false, true}) {
    platform::CreationSecurity security(folder + L"DownloadConfig.xml.part", isFolder);
    SECURITY_ATTRIBUTES* attributes = security.Attributes();
    ASSERT_NE(nullptr, attributes);
    PSECURITY_DESCRIPTOR descriptor = attributes->lpSecurityDescriptor;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    ASSERT_TRUE(::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
    EXPECT_TRUE(owner && ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
    PACL dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present && dacl);
    ASSERT_EQ(2u, dacl->AceCount);
    bool system = false, administrators = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
      ACCESS_ALLOWED_ACE* ace = nullptr;
      ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
      EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
      EXPECT_EQ(DWORD{FILE_ALL_ACCESS}, ace->Mask);
      EXPECT_EQ(isFolder ? (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) : 0, ace->Header.AceFlags & ~INHERITED_ACE);
      system = system || ::IsWellKnownSid(&ace->SidStart, WinLocalSystemSid);
      administrators = administrators || ::IsWellKnownSid(&ace->SidStart, WinBuiltinAdministratorsSid);
    }
    EXPECT_TRUE(system && administrators) << isFolder;
  }
  for (const std::wstring& outside : {dir.File(L"TAVODebugLog.txt"), dir.File(L"TAVOSetup-x\\a.txt"), folder}) {
    platform::CreationSecurity security(outside, false);
    EXPECT_EQ(nullptr, security.Attributes());
  }
  // Files and folders are still made with it, and usable.
  ASSERT_TRUE(platform::CreateFolder(folder + L"tavo"));
  ASSERT_TRUE(platform::WriteWholeFile(folder + L"tavo\\a.log", "made"));
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(folder + L"tavo\\a.log", &bytes));
  EXPECT_EQ("made", bytes);
  platform::File log;
  ASSERT_TRUE(log.Open(folder + L"TAVODebugLog.txt", platform::File::Mode::Append) && log.Write("x", 1));
  log.Close();
}

}  // namespace

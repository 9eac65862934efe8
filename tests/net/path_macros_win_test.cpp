// The path macros against the system's own answers.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "net/package_download.h"

namespace {

std::wstring SystemDirectory() {
  wchar_t buffer[MAX_PATH];
  UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, n);
}

std::wstring ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH];
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return L"";
  return buffer;
}

TEST(PathMacrosOnWindows, MatchTheSystemFolders) {
  const std::wstring system = SystemDirectory();
  ASSERT_GE(system.size(), 3u);
  EXPECT_EQ(system + L"\\msiexec.exe", ExpandPathMacros(L"*SYSTEM32*\\msiexec.exe"));

  wchar_t temp[MAX_PATH + 1];
  DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
  EXPECT_EQ(std::wstring(temp, n) + L"setup.msi", ExpandPathMacros(L"*USERTEMP*setup.msi"));

  wchar_t module[MAX_PATH];
  std::wstring exe(module, ::GetModuleFileNameW(nullptr, module, MAX_PATH));
  EXPECT_EQ(exe.substr(0, exe.find_last_of(L'\\') + 1) + L"a", ExpandPathMacros(L"*CURRENTPATH*a"));

  EXPECT_EQ(ShellFolder(CSIDL_WINDOWS), ExpandPathMacros(L"*SYSTEMDRIVE*"));
  EXPECT_EQ(system.substr(0, 2) + L"\\", ExpandPathMacros(L"*WINDIR*"));

  std::wstring desktop = ShellFolder(CSIDL_DESKTOP);
  ASSERT_FALSE(desktop.empty());
  if (desktop.back() != L'\\') desktop += L'\\';
  EXPECT_EQ(desktop + L"x.lnk", ExpandPathMacros(L"*DISKTOP*x.lnk"));
}

TEST(PathMacrosOnWindows, UserTempFollowedByANameHasOneBackslash) {
  std::wstring path = ExpandPathMacros(L"*USERTEMP*TAVOSetup.msi");
  EXPECT_EQ(std::wstring::npos, path.find(L"\\\\"));
  EXPECT_EQ(L"\\TAVOSetup.msi", path.substr(path.size() - 14));
}

}  // namespace

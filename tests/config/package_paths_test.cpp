// The path macros of the download configuration.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/paths.h"
#include "config/package_paths.h"
#include "platform/folders.h"

namespace {

TEST(ExpandPathMacros, EveryTokenBecomesItsFolder) {
  auto trimmed = [](std::wstring folder) {
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
  };
  const std::wstring work = EnsureTrailingSeparator(JoinPath(platform::GetWindowsFolder(), L"Temp"));
  const std::wstring system = trimmed(platform::GetSystemFolder()),
                     current = ParentFolder(platform::GetModulePath()), windows = trimmed(platform::GetWindowsFolder()),
                     desktop = EnsureTrailingSeparator(platform::GetDesktopFolder()), root = ExpandPathMacros(L"*WINDIR*", work);
  for (const auto& folder : {system, current, windows, desktop, root}) ASSERT_FALSE(folder.empty());
  const std::pair<std::wstring, std::wstring> rows[] = {
      {L"*SYSTEM32*\\a.dll", system + L"\\a.dll"}, {L"*USERTEMP*a.msi", work + L"a.msi"},
      {L"*CURRENTPATH*a.exe", current + L"a.exe"}, {L"*SYSTEMDRIVE*", windows}, {L"*DISKTOP*x.lnk", desktop + L"x.lnk"},
      {L"\"*USERTEMP*a.exe\" /log \"*USERTEMP*a.log\"", L"\"" + work + L"a.exe\" /log \"" + work + L"a.log\""},
      {L"", L""}, {L"C:\\plain\\path.msi", L"C:\\plain\\path.msi"},
      // Tokens are case-sensitive and need both asterisks.
      {L"*usertemp*a", L"*usertemp*a"}, {L"USERTEMP*a", L"USERTEMP*a"}, {L"**", L"**"}};
  for (const auto& [text, expanded] : rows) EXPECT_EQ(expanded, ExpandPathMacros(text, work));
  // *WINDIR* is the root of the system folder's drive; *USERTEMP* is the work folder, and a name after it
  // gets one separator.
  EXPECT_EQ(0u, system.find(root.substr(0, root.size() - 1)));
  EXPECT_EQ(platform::PathSeparator(), root.back());
  EXPECT_EQ(work + L"x", ExpandPathMacros(L"*USERTEMP*x", trimmed(work)));
}

}  // namespace

// Opening a web address: a launcher that is not elevated opens it itself, an elevated one only through the shell of
// the user's desktop, and nothing at all when that shell cannot be reached.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <string>

#include "platform/files.h"
#include "platform/win32/shell_win.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ShellWin, AnElevatedLauncherOpensOnlyThroughTheDesktopsShell) {
  const struct {
    bool elevated;
    HRESULT desktop;  // the desktop's answer
    bool opened;
    DWORD error;  // when not opened
    int desktopCalls, directCalls;
  } rows[] = {
      {false, S_OK, true, 0, 0, 1},
      {true, S_OK, true, 0, 1, 0},
      {true, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), false, ERROR_ACCESS_DENIED, 1, 0},
      // No desktop shell in this session, or one that is not Explorer: nothing is opened, by no other way.
      {true, REGDB_E_CLASSNOTREG, false, ERROR_NO_ASSOCIATION, 1, 0},
      {true, E_NOINTERFACE, false, ERROR_NO_ASSOCIATION, 1, 0},
      {true, E_FAIL, false, ERROR_NO_ASSOCIATION, 1, 0},
  };
  for (const auto& row : rows) {
    int desktopCalls = 0, directCalls = 0;
    platform::ShellRoutes routes;
    routes.elevated = row.elevated;
    routes.throughDesktop = [&] { return ++desktopCalls, row.desktop; };
    routes.direct = [&] { return ++directCalls, intptr_t{33}; };
    ::SetLastError(0);
    const intptr_t result = platform::OpenByRoute(routes);
    EXPECT_EQ(row.opened, result > 32) << row.desktop;
    if (!row.opened) {
      EXPECT_EQ(row.error, ::GetLastError()) << row.desktop;
    }
    EXPECT_EQ(row.desktopCalls, desktopCalls) << row.desktop;
    EXPECT_EQ(row.directCalls, directCalls) << row.desktop;
  }
}

// The desktop's own shell (Wine's explorer.exe /desktop here) starts what it is handed.
TEST(ShellWin, TheDesktopsShellStartsWhatItIsHanded) {
  tavo_test::TempDir dir;
  const std::wstring marker = dir.File(L"opened.txt");
  wchar_t system[MAX_PATH];
  ASSERT_NE(0u, ::GetSystemDirectoryW(system, MAX_PATH));
  HANDLE change = ::FindFirstChangeNotificationW(dir.path().c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(INVALID_HANDLE_VALUE, change);
  // A program with windows has the desktop running; this one asks for it.
  ASSERT_NE(nullptr, ::GetDesktopWindow());
  // The test's main thread may have joined the multithreaded apartment already; either serves.
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const HRESULT hr =
      platform::OpenThroughDesktop(std::wstring(system) + L"\\cmd.exe", L"/c echo opened> \"" + marker + L"\"");
  if (SUCCEEDED(init)) ::CoUninitialize();
  ASSERT_EQ(S_OK, hr);
  while (!platform::FileExists(marker) && ::WaitForSingleObject(change, 60000) == WAIT_OBJECT_0) {
    ::FindNextChangeNotification(change);
  }
  ::FindCloseChangeNotification(change);
  EXPECT_TRUE(platform::FileExists(marker));
}

}  // namespace

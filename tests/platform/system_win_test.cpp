// The Windows backends of the small system services: last error, version and
// processor information, folders, clock, message box routing.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <ctime>
#include <string>

#include "platform/clock.h"
#include "platform/com.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/sysinfo.h"

namespace {

TEST(ErrorWin, LastErrorIsTheSystemsOwn) {
  platform::SetLastError(1234);
  EXPECT_EQ(1234u, ::GetLastError());
  ::SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(platform::kErrorAccessDenied, platform::LastError());
  // A failing system call is seen through the platform layer.
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(L"C:\\tavo-no-such-folder\\file.txt"));
  EXPECT_EQ(platform::kErrorPathNotFound, platform::LastError());
}

TEST(SysinfoWin, ReportsA64BitWorkstationUnderWow64) {
  // The Wine prefix of the tests is a 64-bit Windows workstation.
  ASSERT_TRUE(platform::IsWow64Process());
  uint16_t native = 0xFFFF;
  ASSERT_TRUE(platform::GetNativeArchitecture(&native));
  EXPECT_EQ(platform::kArchitectureX64, native);
  // The ordinary system information is the emulated 32-bit one.
  EXPECT_EQ(platform::kArchitectureX86, platform::GetSystemArchitecture());
  EXPECT_FALSE(platform::IsServerR2());

  platform::OsVersionInfo info;
  ASSERT_TRUE(platform::GetOsVersionInfo(&info));
  EXPECT_EQ(platform::kPlatformNt, info.platformId);
  EXPECT_EQ(platform::kProductWorkstation, info.productType);
  EXPECT_GE(info.major, 6u);
  EXPECT_GT(info.build, 0u);
}

TEST(SysinfoWin, VersionQueryAgreesWithTheReportedVersion) {
  platform::OsVersionInfo info;
  ASSERT_TRUE(platform::GetOsVersionInfo(&info));
  EXPECT_TRUE(platform::IsVersionAtLeast(info.major, info.minor));
  EXPECT_TRUE(platform::IsVersionAtLeast(info.major, 0));
  EXPECT_TRUE(platform::IsVersionAtLeast(5, 1));
  EXPECT_TRUE(platform::IsVersionAtLeast(6, 1));
  // Major and minor are compared together: a higher major wins over any minor.
  EXPECT_TRUE(platform::IsVersionAtLeast(info.major - 1, 99));
  EXPECT_FALSE(platform::IsVersionAtLeast(info.major, info.minor + 1));
  EXPECT_FALSE(platform::IsVersionAtLeast(info.major + 1, 0));
  EXPECT_FALSE(platform::IsVersionAtLeast(99, 0));
}

TEST(FoldersWin, SystemFoldersEndWithABackslashAndExist) {
  EXPECT_EQ(L'\\', platform::PathSeparator());
  const std::wstring folders[] = {platform::GetTempFolder(), platform::GetSystemFolder(),
                                  platform::GetWindowsFolder(), platform::GetDesktopFolder()};
  for (const std::wstring& folder : folders) {
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(L'\\', folder.back()) << folder;
    EXPECT_NE(std::wstring::npos, folder.find(L":\\")) << folder;
    EXPECT_TRUE(platform::FolderExists(folder)) << folder;
  }
  // The system folder lies inside the Windows folder.
  const std::wstring windows = platform::GetWindowsFolder();
  EXPECT_EQ(0, _wcsnicmp(windows.c_str(), platform::GetSystemFolder().c_str(), windows.size()));
}

TEST(FoldersWin, ModulePathIsThisTestExecutable) {
  const std::wstring path = platform::GetModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(platform::FileExists(path)) << path;
  ASSERT_GT(path.size(), 4u);
  EXPECT_EQ(0, _wcsicmp(path.c_str() + path.size() - 4, L".exe")) << path;
  EXPECT_NE(std::wstring::npos, path.find(L"tests_platform")) << path;
}

TEST(ClockWin, LocalTimeFieldsAreInRange) {
  const platform::LocalTime t = platform::GetLocalTime();
  EXPECT_GE(t.year, 2020);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_GE(t.day, 1);
  EXPECT_LE(t.day, 31);
  EXPECT_LE(t.hour, 23);
  EXPECT_LE(t.minute, 59);
  EXPECT_LE(t.second, 59);
  EXPECT_LE(t.millisecond, 999);
}

TEST(ClockWin, UnixTimeMatchesTheCRuntime) {
  const int64_t before = static_cast<int64_t>(std::time(nullptr));
  const int64_t now = platform::UnixTimeNow();
  const int64_t after = static_cast<int64_t>(std::time(nullptr));
  // Same epoch and unit as time(): between the two readings (whole seconds).
  EXPECT_GE(now, before - 1);
  EXPECT_LE(now, after + 1);
  EXPECT_GT(now, 1577836800);  // after 2020-01-01
}

TEST(ClockWin, TickCountNeverGoesBack) {
  uint64_t last = platform::TickCountMs();
  for (int i = 0; i < 1000; ++i) {
    const uint64_t now = platform::TickCountMs();
    ASSERT_GE(now, last);
    last = now;
  }
}

TEST(ComWin, InitialisingTwiceIsHarmless) {
  platform::InitializeThreadComponents();
  platform::InitializeThreadComponents();
  // The thread is in the multithreaded apartment: a second, different request is refused.
  EXPECT_EQ(RPC_E_CHANGED_MODE, ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

struct SeenBox {
  void* owner = nullptr;
  std::wstring text;
  std::wstring caption;
  uint32_t type = 0;
  int calls = 0;
} g_seen;

int RecordingBox(void* owner, const std::wstring& text, const std::wstring& caption, uint32_t type) {
  g_seen.owner = owner;
  g_seen.text = text;
  g_seen.caption = caption;
  g_seen.type = type;
  ++g_seen.calls;
  return platform::kIdNo;
}

TEST(MessageBoxWin, AHandlerReceivesTheBoxInstead) {
  g_seen = SeenBox();
  platform::SetMessageBoxHandler(&RecordingBox);
  int dummy = 0;
  const int answer = platform::ShowMessageBox(&dummy, L"続行しますか？", L"確認",
                                              platform::kMbYesNo | platform::kMbIconQuestion);
  platform::SetMessageBoxHandler(nullptr);
  EXPECT_EQ(platform::kIdNo, answer);
  EXPECT_EQ(1, g_seen.calls);
  EXPECT_EQ(&dummy, g_seen.owner);
  EXPECT_EQ(L"続行しますか？", g_seen.text);
  EXPECT_EQ(L"確認", g_seen.caption);
  EXPECT_EQ(static_cast<uint32_t>(MB_YESNO | MB_ICONQUESTION), g_seen.type);
}

TEST(MessageBoxWin, ConstantsAreThoseOfTheSystem) {
  EXPECT_EQ(static_cast<uint32_t>(MB_OK), platform::kMbOk);
  EXPECT_EQ(static_cast<uint32_t>(MB_YESNO), platform::kMbYesNo);
  EXPECT_EQ(static_cast<uint32_t>(MB_ICONERROR), platform::kMbIconError);
  EXPECT_EQ(static_cast<uint32_t>(MB_ICONQUESTION), platform::kMbIconQuestion);
  EXPECT_EQ(static_cast<uint32_t>(MB_ICONINFORMATION), platform::kMbIconInformation);
  EXPECT_EQ(static_cast<uint32_t>(MB_TOPMOST), platform::kMbTopmost);
  EXPECT_EQ(IDOK, platform::kIdOk);
  EXPECT_EQ(IDCANCEL, platform::kIdCancel);
  EXPECT_EQ(IDYES, platform::kIdYes);
  EXPECT_EQ(IDNO, platform::kIdNo);
}

TEST(ErrorWin, CodesAreThoseOfTheSystem) {
  const struct {
    uint32_t ours;
    DWORD system;
  } codes[] = {
      {platform::kErrorFileNotFound, ERROR_FILE_NOT_FOUND},
      {platform::kErrorPathNotFound, ERROR_PATH_NOT_FOUND},
      {platform::kErrorAccessDenied, ERROR_ACCESS_DENIED},
      {platform::kErrorInvalidHandle, ERROR_INVALID_HANDLE},
      {platform::kErrorNotEnoughMemory, ERROR_NOT_ENOUGH_MEMORY},
      {platform::kErrorInvalidData, ERROR_INVALID_DATA},
      {platform::kErrorWriteFault, ERROR_WRITE_FAULT},
      {platform::kErrorReadFault, ERROR_READ_FAULT},
      {platform::kErrorSharingViolation, ERROR_SHARING_VIOLATION},
      {platform::kErrorHandleEof, ERROR_HANDLE_EOF},
      {platform::kErrorNotSupported, ERROR_NOT_SUPPORTED},
      {platform::kErrorFileExists, ERROR_FILE_EXISTS},
      {platform::kErrorInvalidParameter, ERROR_INVALID_PARAMETER},
      {platform::kErrorDiskFull, ERROR_DISK_FULL},
      {platform::kErrorInsufficientBuffer, ERROR_INSUFFICIENT_BUFFER},
      {platform::kErrorAlreadyExists, ERROR_ALREADY_EXISTS},
      {platform::kErrorMoreData, ERROR_MORE_DATA},
      {platform::kErrorNoMoreItems, ERROR_NO_MORE_ITEMS},
      {platform::kErrorTimeout, ERROR_TIMEOUT},
      {platform::kErrorBadFormat, ERROR_BAD_FORMAT},
      {platform::kErrorGenFailure, ERROR_GEN_FAILURE},
  };
  for (const auto& c : codes) EXPECT_EQ(c.system, c.ours);
}

}  // namespace

#include "platform/folders.h"

#include <unistd.h>

#include <climits>
#include <cstring>

#include "platform/error.h"
#include "platform/posix/machine.h"
#include "platform/utf.h"

namespace platform {

wchar_t PathSeparator() { return L'/'; }

std::wstring GetTempFolder() { return Utf8ToWide(posix::TempFolderPath()); }
std::wstring GetSystemFolder() { return Utf8ToWide(posix::SystemFolderPath()); }
// The simulated machine redirects no file paths.
std::wstring GetNativeSystemFolder() { return GetSystemFolder(); }
std::wstring GetWindowsFolder() { return Utf8ToWide(posix::WindowsFolderPath()); }
std::wstring GetDesktopFolder() { return Utf8ToWide(posix::DesktopFolderPath()); }

std::wstring GetModulePath() {
  char buffer[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) {
    SetLastError(ErrnoToWindows(errno));
    return std::wstring();
  }
  buffer[n] = '\0';
  return Utf8ToWide(buffer);
}

std::wstring GetFullPath(const std::wstring& path) {
  if (!path.empty() && path[0] == L'/') return path;
  char buffer[PATH_MAX + 1];
  if (!::getcwd(buffer, sizeof(buffer))) {
    SetLastError(ErrnoToWindows(errno));
    return std::wstring();
  }
  return Utf8ToWide(buffer) + L"/" + path;
}

}  // namespace platform

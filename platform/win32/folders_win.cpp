#include "platform/folders.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/error.h"
#include "platform/sysinfo.h"

namespace platform {

namespace {

std::wstring WithTrailingSeparator(std::wstring path) {
  if (!path.empty() && path.back() != L'\\') path.push_back(L'\\');
  return path;
}

// The folder functions that return the length written, or the size needed
// when the buffer is too small, or 0 on failure.
template <typename Fn>
std::wstring QueryFolder(Fn fn) {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const UINT length = fn(&buffer[0], static_cast<UINT>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      buffer.resize(length);
      return WithTrailingSeparator(std::move(buffer));
    }
    buffer.assign(length + 1, L'\0');
  }
  SetLastError(kErrorInsufficientBuffer);
  return std::wstring();
}

}  // namespace

wchar_t PathSeparator() { return L'\\'; }

std::wstring GetTempFolder() {
  return QueryFolder([](wchar_t* buffer, UINT size) { return ::GetTempPathW(size, buffer); });
}

std::wstring GetSystemFolder() {
  return QueryFolder([](wchar_t* buffer, UINT size) { return ::GetSystemDirectoryW(buffer, size); });
}

std::wstring GetNativeSystemFolder() {
  // Systems before Vista know no "Sysnative": there the system folder is all there is.
  if (IsWow64Process()) {
    const std::wstring windows = GetWindowsFolder();
    if (!windows.empty()) {
      const std::wstring native = windows + L"Sysnative\\";
      const DWORD attributes = ::GetFileAttributesW(native.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return native;
    }
  }
  return GetSystemFolder();
}

std::wstring GetWindowsFolder() {
  return QueryFolder([](wchar_t* buffer, UINT size) { return ::GetWindowsDirectoryW(buffer, size); });
}

std::wstring GetDesktopFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const HRESULT hr =
      ::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, buffer);
  if (hr != S_OK) {
    // S_FALSE: the folder is known but does not exist.
    SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : kErrorPathNotFound);
    return std::wstring();
  }
  return WithTrailingSeparator(buffer);
}

std::wstring GetModulePath() {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  while (buffer.size() <= 32768) {
    const DWORD length = ::GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    // A full buffer means the path was cut short (with or without an error, by system).
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.assign(buffer.size() * 2, L'\0');
  }
  SetLastError(kErrorInsufficientBuffer);
  return std::wstring();
}

std::wstring GetFullPath(const std::wstring& path) {
  const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return std::wstring();
  std::wstring full(length, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
  if (written == 0 || written >= length) return std::wstring();
  full.resize(written);
  return full;
}

}  // namespace platform

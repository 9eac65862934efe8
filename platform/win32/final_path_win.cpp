#include "platform/win32/final_path_win.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

std::wstring WithoutSeparator(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace

bool FinalPathIs(HANDLE handle, const std::wstring& path) {
  std::wstring final(32768, L'\0');
  DWORD n = ::GetFinalPathNameByHandleW(handle, &final[0], static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
  if (n == 0 || n >= final.size()) return false;
  final.resize(n);
  if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    final = L"\\\\" + final.substr(8);
  } else if (final.compare(0, 4, L"\\\\?\\") == 0) {
    final = final.substr(4);
  }
  std::wstring expected(32768, L'\0');
  n = ::GetLongPathNameW(path.c_str(), &expected[0], static_cast<DWORD>(expected.size()));
  expected.resize(n > 0 && n < 32768 ? n : 0);
  if (expected.empty()) expected = path;
  return ::CompareStringOrdinal(WithoutSeparator(final).c_str(), -1, WithoutSeparator(expected).c_str(), -1, TRUE) ==
         CSTR_EQUAL;
}

}  // namespace platform

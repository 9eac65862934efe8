#include "platform/file_security.h"

#include <windows.h>
#include <aclapi.h>

#include <vector>

#include "platform/win32/owned_win.h"

namespace platform {

bool MoveFileReplacing(const std::wstring& existingPath, const std::wstring& newPath) {
  return ::MoveFileExW(existingPath.c_str(), newPath.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool GrantFileAccess(const std::wstring& trusteeName, const std::wstring& path, uint32_t accessMask) {
  PACL oldAcl = nullptr;
  win32::LocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  DWORD result = ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, &oldAcl, nullptr, descriptor.Receive());
  if (result != ERROR_SUCCESS) {
    ::SetLastError(result);
    return false;
  }
  std::vector<wchar_t> name(trusteeName.begin(), trusteeName.end());
  name.push_back(L'\0');
  EXPLICIT_ACCESSW access = {};
  ::BuildExplicitAccessWithNameW(&access, name.data(), accessMask, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  win32::LocalMemory<PACL> newAcl;
  result = ::SetEntriesInAclW(1, &access, oldAcl, newAcl.Receive());
  if (result == ERROR_SUCCESS) {
    std::vector<wchar_t> target(path.begin(), path.end());
    target.push_back(L'\0');
    result = ::SetNamedSecurityInfoW(target.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                     newAcl.get(), nullptr);
  }
  ::SetLastError(result);
  return result == ERROR_SUCCESS;
}

}  // namespace platform

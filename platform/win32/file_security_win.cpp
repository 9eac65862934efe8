#include "platform/file_security.h"

#include <windows.h>
#include <aclapi.h>

#include <vector>

namespace platform {

bool MoveFileReplacing(const std::wstring& existingPath, const std::wstring& newPath) {
  return ::MoveFileExW(existingPath.c_str(), newPath.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool GrantFileAccess(const std::wstring& trusteeName, const std::wstring& path, uint32_t accessMask) {
  PACL oldAcl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD result = ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, &oldAcl, nullptr, &descriptor);
  if (result != ERROR_SUCCESS) {
    ::SetLastError(result);
    return false;
  }
  std::vector<wchar_t> name(trusteeName.begin(), trusteeName.end());
  name.push_back(L'\0');
  EXPLICIT_ACCESSW access = {};
  ::BuildExplicitAccessWithNameW(&access, name.data(), accessMask, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  PACL newAcl = nullptr;
  result = ::SetEntriesInAclW(1, &access, oldAcl, &newAcl);
  if (result == ERROR_SUCCESS) {
    std::vector<wchar_t> target(path.begin(), path.end());
    target.push_back(L'\0');
    result = ::SetNamedSecurityInfoW(target.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                     newAcl, nullptr);
  }
  if (newAcl) ::LocalFree(newAcl);
  ::LocalFree(descriptor);
  ::SetLastError(result);
  return result == ERROR_SUCCESS;
}

}  // namespace platform

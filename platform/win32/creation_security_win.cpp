#include "platform/win32/creation_security_win.h"

#include <windows.h>
#include <sddl.h>

#include <mutex>
#include <string>
#include <vector>

namespace platform {

// Owned by the Administrators; SYSTEM and the Administrators alone have any
// access, inherited by every file and folder made inside; nothing inherited
// from the parent, where users may create entries.
const wchar_t kPrivateDescriptor[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

namespace {

// The same for a file made inside, which passes nothing on.
const wchar_t kPrivateFileDescriptor[] = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)";

// The private folders this process made or took over, with trailing separators.
std::mutex gFoldersLock;
std::vector<std::wstring> gFolders;

bool InPrivateFolder(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(gFoldersLock);
  for (const std::wstring& folder : gFolders) {
    if (path.size() > folder.size() &&
        ::CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                               static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

}  // namespace

void RememberPrivateFolder(const std::wstring& folder) {
  std::lock_guard<std::mutex> lock(gFoldersLock);
  gFolders.push_back(folder.empty() || folder.back() == L'\\' ? folder : folder + L"\\");
}

CreationSecurity::CreationSecurity(const std::wstring& path, bool folder) {
  if (!InPrivateFolder(path)) return;
  const DWORD error = ::GetLastError();
  if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(folder ? kPrivateDescriptor : kPrivateFileDescriptor,
                                                             SDDL_REVISION_1, descriptor_.Receive(), nullptr)) {
    attributes_ = {sizeof(attributes_), descriptor_.get(), FALSE};
  } else {
    descriptor_.Release();
  }
  ::SetLastError(error);
}

CreationSecurity::~CreationSecurity() = default;

}  // namespace platform

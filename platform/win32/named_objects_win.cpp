#include "platform/named_objects.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

namespace platform {

namespace {

// Owner: the Administrators group; a protected access list for SYSTEM and
// Administrators only. A process without administrator rights cannot name
// that owner, so it can neither make such an object nor pass one off as it.
const wchar_t kAdministratorsOnly[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

std::wstring GlobalName(const std::wstring& name) { return L"Global\\" + name; }

bool OwnedByAdministrators(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD result = ::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                         nullptr, nullptr, &descriptor);
  if (result != ERROR_SUCCESS) return false;
  const bool administrators = owner && (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                        ::IsWellKnownSid(owner, WinLocalSystemSid));
  ::LocalFree(descriptor);
  return administrators;
}

}  // namespace

struct AdminEvent::Impl {
  HANDLE event = nullptr;
  ~Impl() {
    if (event) ::CloseHandle(event);
  }
};

AdminEvent::AdminEvent() : impl_(new Impl) {}
AdminEvent::~AdminEvent() = default;

AdminEvent::Opened AdminEvent::Open(const std::wstring& name) {
  impl_.reset(new Impl);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
    return Opened::kFailed;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  HANDLE event = ::CreateEventExW(&attributes, GlobalName(name).c_str(), CREATE_EVENT_MANUAL_RESET,
                                  SYNCHRONIZE | EVENT_MODIFY_STATE | READ_CONTROL);
  const DWORD error = ::GetLastError();
  ::LocalFree(descriptor);
  if (!event) {
    ::SetLastError(error);
    // An object of that name that refuses administrators, or that is no event.
    return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE ? Opened::kForeign : Opened::kFailed;
  }
  if (error == ERROR_ALREADY_EXISTS && !OwnedByAdministrators(event)) {
    ::CloseHandle(event);
    ::SetLastError(error);
    return Opened::kForeign;
  }
  impl_->event = event;
  return error == ERROR_ALREADY_EXISTS ? Opened::kExisting : Opened::kCreated;
}

bool AdminEvent::Signal() { return impl_->event && ::SetEvent(impl_->event) != FALSE; }

bool AdminEvent::IsSignalled() const {
  return impl_->event && ::WaitForSingleObject(impl_->event, 0) == WAIT_OBJECT_0;
}

bool IsMutexOwned(const std::wstring& name) {
  HANDLE mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, GlobalName(name).c_str());
  if (!mutex) return false;
  // Taken at once: nobody owned it; it is given back just as fast.
  const DWORD waited = ::WaitForSingleObject(mutex, 0);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
  return waited == WAIT_TIMEOUT;
}

}  // namespace platform

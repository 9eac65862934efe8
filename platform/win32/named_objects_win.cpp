#include "platform/named_objects.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <vector>

#include "platform/win32/named_objects_win.h"
#include "platform/win32/owned_win.h"

namespace platform {

namespace {

using win32::LocalMemory;
using win32::UniqueHandle;

// Owner: the Administrators group; a protected access list for SYSTEM and
// Administrators only. A process without administrator rights cannot name
// that owner, so it can neither make such an object nor pass one off as it.
const wchar_t kAdministratorsOnly[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

std::wstring GlobalName(const std::wstring& name) { return L"Global\\" + name; }

using CreateBoundaryFn = HANDLE(WINAPI*)(LPCWSTR, ULONG);
using AddSidFn = BOOL(WINAPI*)(HANDLE*, PSID);
using CreateNamespaceFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
using OpenNamespaceFn = HANDLE(WINAPI*)(LPVOID, LPCWSTR);

FARPROC KernelFunction(const char* name) {
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? ::GetProcAddress(kernel32, name) : nullptr;
}

const wchar_t kNamespace[] = L"TAVOSetup";

// The launcher's objects live in a private namespace whose boundary is the
// Administrators group: only a process whose token holds that group enabled
// can make the namespace, and its access list lets only SYSTEM and the
// Administrators open it, so no process of a user can take a name in it
// first. Made once and kept open for the life of the process.
//
// The prefix of the launcher's object names: the namespace's, or "Global\"
// where the system has no private namespaces (Windows XP; Wine, whose
// functions are stubs), which is also where earlier launchers look.
// Empty, with the last error set, when the namespace can be neither made
// nor opened.
std::wstring ObjectPrefix() {
  static const std::wstring prefix = [] {
    const auto createBoundary = reinterpret_cast<CreateBoundaryFn>(
        reinterpret_cast<void (*)()>(KernelFunction("CreateBoundaryDescriptorW")));
    const auto addSid =
        reinterpret_cast<AddSidFn>(reinterpret_cast<void (*)()>(KernelFunction("AddSIDToBoundaryDescriptor")));
    const auto create = reinterpret_cast<CreateNamespaceFn>(
        reinterpret_cast<void (*)()>(KernelFunction("CreatePrivateNamespaceW")));
    const auto open =
        reinterpret_cast<OpenNamespaceFn>(reinterpret_cast<void (*)()>(KernelFunction("OpenPrivateNamespaceW")));
    if (!createBoundary || !addSid || !create || !open) return GlobalName(std::wstring());
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(sid);
    HANDLE boundary = createBoundary(L"TAVOSetupAdministrators", 0);
    if (!boundary) return ::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? GlobalName(std::wstring()) : std::wstring();
    LocalMemory<PSECURITY_DESCRIPTOR> descriptor;
    HANDLE space = nullptr;
    DWORD error = ERROR_SUCCESS;
    if (::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize) && addSid(&boundary, sid) &&
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1,
                                                               descriptor.Receive(), nullptr)) {
      SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
      space = create(&attributes, boundary, kNamespace);
      if (!space && ::GetLastError() == ERROR_ALREADY_EXISTS) space = open(boundary, kNamespace);
    }
    error = ::GetLastError();
    descriptor.Reset();
    // The boundary descriptor is no longer needed once the namespace is held;
    // the namespace's handle is never closed.
    const auto deleteBoundary =
        reinterpret_cast<VOID(WINAPI*)(HANDLE)>(reinterpret_cast<void (*)()>(KernelFunction("DeleteBoundaryDescriptor")));
    if (deleteBoundary) deleteBoundary(boundary);
    if (space) return std::wstring(kNamespace) + L"\\";
    ::SetLastError(error);
    return error == ERROR_CALL_NOT_IMPLEMENTED ? GlobalName(std::wstring()) : std::wstring();
  }();
  return prefix;
}

bool SystemOwnerOf(HANDLE object, std::vector<BYTE>* sid) {
  PSID owner = nullptr;
  LocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  const DWORD result = ::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                         nullptr, nullptr, descriptor.Receive());
  if (result != ERROR_SUCCESS || !owner || !::IsValidSid(owner)) return false;
  const BYTE* bytes = static_cast<const BYTE*>(owner);
  sid->assign(bytes, bytes + ::GetLengthSid(owner));
  return true;
}

std::atomic<ObjectOwnerReader> ownerReader{SystemOwnerOf};

bool OwnedByAdministrators(HANDLE object) {
  std::vector<BYTE> owner;
  if (!ownerReader.load()(object, &owner) || owner.size() < sizeof(SID) || !::IsValidSid(owner.data()) ||
      ::GetLengthSid(owner.data()) > owner.size()) {
    return false;
  }
  return ::IsWellKnownSid(owner.data(), WinBuiltinAdministratorsSid) ||
         ::IsWellKnownSid(owner.data(), WinLocalSystemSid);
}

}  // namespace

void SetObjectOwnerReader(ObjectOwnerReader reader) { ownerReader = reader ? reader : SystemOwnerOf; }

struct AdminEvent::Impl {
  UniqueHandle event;
};

AdminEvent::AdminEvent() : impl_(new Impl) {}
AdminEvent::~AdminEvent() = default;

AdminEvent::Opened AdminEvent::Open(const std::wstring& name) { return OpenIn(ObjectPrefix(), name); }

AdminEvent::Opened AdminEvent::OpenGlobal(const std::wstring& name) { return OpenIn(GlobalName(std::wstring()), name); }

AdminEvent::Opened AdminEvent::OpenIn(const std::wstring& prefix, const std::wstring& name) {
  impl_.reset(new Impl);
  if (prefix.empty()) return Opened::kFailed;
  LocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1,
                                                              descriptor.Receive(), nullptr)) {
    return Opened::kFailed;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  UniqueHandle event(::CreateEventExW(&attributes, (prefix + name).c_str(), CREATE_EVENT_MANUAL_RESET,
                                      SYNCHRONIZE | EVENT_MODIFY_STATE | READ_CONTROL));
  const DWORD error = ::GetLastError();
  if (!event) {
    // An object of that name that refuses administrators, or that is no event.
    return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE ? Opened::kForeign : Opened::kFailed;
  }
  if (error == ERROR_ALREADY_EXISTS && !OwnedByAdministrators(event.get())) {
    ::SetLastError(error);
    return Opened::kForeign;
  }
  impl_->event = std::move(event);
  return error == ERROR_ALREADY_EXISTS ? Opened::kExisting : Opened::kCreated;
}

bool AdminEvent::Signal() { return impl_->event && ::SetEvent(impl_->event.get()) != FALSE; }

bool AdminEvent::IsSignalled() const {
  return impl_->event && ::WaitForSingleObject(impl_->event.get(), 0) == WAIT_OBJECT_0;
}

bool IsMutexOwned(const std::wstring& name) {
  const UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, GlobalName(name).c_str()));
  if (!mutex) return false;
  // Taken at once: nobody owned it; it is given back just as fast.
  const DWORD waited = ::WaitForSingleObject(mutex.get(), 0);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ::ReleaseMutex(mutex.get());
  return waited == WAIT_TIMEOUT;
}

}  // namespace platform

// Folders held open as themselves, and the files opened through them: every
// name resolved relative to the held folder's handle (NtCreateFile), never
// through a link or mount point at it.
#include "platform/files.h"

#include <windows.h>
#include <winternl.h>

#include <utility>
#include <vector>

#include "platform/win32/creation_security_win.h"
#include "platform/win32/files_win.h"
#include "platform/win32/final_path_win.h"
#include "platform/win32/owned_win.h"

namespace platform {

namespace {

using win32::UniqueHandle;

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                        ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using StatusToErrorFn = ULONG(NTAPI*)(NTSTATUS);

constexpr NTSTATUS kStatusNameNotFound = static_cast<NTSTATUS>(0xC0000034L);
constexpr NTSTATUS kStatusNameCollision = static_cast<NTSTATUS>(0xC0000035L);

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Puts the handle into the slot of a held folder, closing what it held.
void Hold(intptr_t* slot, UniqueHandle handle) {
  const UniqueHandle previous(AsHandle(std::exchange(*slot, reinterpret_cast<intptr_t>(handle.Release()))));
}

FARPROC NtFunction(const char* name) {
  // ntdll is in every process from its start; nothing is loaded for it.
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll ? ::GetProcAddress(ntdll, name) : nullptr;
}

// A plain name: no separator, no stream, not the folder itself nor its parent.
bool PlainName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

// Opens or makes a name inside the folder of the handle, the name resolved
// through that handle alone, a link or mount point at it opened as itself.
// The status is the system's; the last error is set from it.
NTSTATUS OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, UniqueHandle* handle, SECURITY_ATTRIBUTES* security = nullptr) {
  handle->Reset();
  const auto create = reinterpret_cast<NtCreateFileFn>(reinterpret_cast<void (*)()>(NtFunction("NtCreateFile")));
  const auto toError =
      reinterpret_cast<StatusToErrorFn>(reinterpret_cast<void (*)()>(NtFunction("RtlNtStatusToDosError")));
  if (!create || !toError) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return static_cast<NTSTATUS>(0xC0000002L);  // not implemented
  }
  UNICODE_STRING text;
  text.Buffer = const_cast<PWSTR>(name.c_str());
  text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder,
                             security ? security->lpSecurityDescriptor : nullptr);
  IO_STATUS_BLOCK io = {};
  HANDLE opened = nullptr;
  const NTSTATUS status =
      create(&opened, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
             share, disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  if (status >= 0) {
    handle->Reset(opened);
    ::SetLastError(ERROR_SUCCESS);
  } else {
    ::SetLastError(toError(status));
  }
  return status;
}

}  // namespace

HeldFolder::HeldFolder() : handle_(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)) {}

HeldFolder::~HeldFolder() { Hold(&handle_, UniqueHandle()); }

bool HeldFolder::Open(const std::wstring& folder) {
  std::wstring path = folder;
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  // Opened for listing, so that its sharing counts, and not shared for
  // deleting: the folder cannot be renamed or removed, and Windows renames no
  // folder above one that is open.
  UniqueHandle handle(::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle.get(), &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !FinalPathIs(handle.get(), path)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  Hold(&handle_, std::move(handle));
  path_ = path;
  return true;
}

bool HeldFolder::OpenChild(const std::wstring& name, HeldFolder* child) const {
  const HANDLE folder = AsHandle(handle_);
  if (folder == INVALID_HANDLE_VALUE || !PlainName(name)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // Held as Open holds a folder: listed, not shared for deleting.
  UniqueHandle handle;
  if (OpenRelative(folder, name, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_IF,
                   FILE_DIRECTORY_FILE, &handle) < 0) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  Hold(&child->handle_, std::move(handle));
  child->path_ = path_ + L"\\" + name;
  return true;
}

bool HeldFolder::OpenMaking(const std::wstring& folder) {
  std::wstring path = folder;
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  if (Open(path)) return true;
  // The deepest folder on the way that is there is held as itself; the rest
  // is made one name at a time inside it.
  std::vector<std::wstring> missing;
  std::wstring existing = path;
  for (;;) {
    const size_t slash = existing.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash + 1 == existing.size() || existing.size() <= 3) return false;
    missing.push_back(existing.substr(slash + 1));
    existing.erase(slash);
    if (existing.size() == 2 && existing[1] == L':') existing.push_back(L'\\');
    if (::GetFileAttributesW(existing.c_str()) != INVALID_FILE_ATTRIBUTES) break;
  }
  HeldFolder current;
  if (!current.Open(existing)) return false;
  for (auto name = missing.rbegin(); name != missing.rend(); ++name) {
    HeldFolder next;
    if (!current.OpenChild(*name, &next)) return false;
    std::swap(current.handle_, next.handle_);
    std::swap(current.path_, next.path_);
  }
  std::swap(handle_, current.handle_);
  std::swap(path_, current.path_);
  return true;
}

bool HeldFolder::OpenFile(const std::wstring& name, File::Mode mode, File* file) const {
  file->Close();
  const HANDLE folder = AsHandle(handle_);
  if (folder == INVALID_HANDLE_VALUE || !PlainName(name) ||
      (mode != File::Mode::Append && mode != File::Mode::CreateWrite)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const bool append = mode == File::Mode::Append;
  // Appending writers share writing (the old and the new launcher during a
  // self-update); a copy is written by us alone.
  const ACCESS_MASK access = append ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
  const ULONG share = append ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  UniqueHandle handle;
  for (int attempt = 0; attempt < kCreateAttempts && !handle; ++attempt) {
    NTSTATUS status = OpenRelative(folder, name, access, share, FILE_OPEN, FILE_NON_DIRECTORY_FILE, &handle);
    if (status >= 0) {
      if (!IsOwnFile(handle.get())) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
      }
      LARGE_INTEGER zero = {};
      if (!append &&
          !(::SetFilePointerEx(handle.get(), zero, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle.get()))) {
        return false;
      }
      break;
    }
    // A folder or a junction at the name is no file of ours; nothing is removed.
    if (status != kStatusNameNotFound) {
      if (::GetLastError() == ERROR_FILE_NOT_FOUND) ::SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
    CreationSecurity security(path_ + L"\\" + name, false);
    status = OpenRelative(folder, name, access, share, FILE_CREATE, FILE_NON_DIRECTORY_FILE, &handle,
                          security.Attributes());
    if (status < 0 && status != kStatusNameCollision) return false;
  }
  if (!handle) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  file->impl_->handle = std::move(handle);
  file->impl_->append = append;
  return true;
}

}  // namespace platform

#include "platform/files.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/win32/creation_security_win.h"
#include "platform/win32/final_path_win.h"

namespace platform {

namespace {

bool AttributesOf(const std::wstring& path, DWORD* attributes) {
  *attributes = ::GetFileAttributesW(path.c_str());
  return *attributes != INVALID_FILE_ATTRIBUTES;
}

// ReadFile and WriteFile take 32-bit counts; larger requests go in pieces.
constexpr size_t kMaxChunk = 1u << 30;

}  // namespace

bool FileExists(const std::wstring& path) {
  DWORD attributes;
  return AttributesOf(path, &attributes) && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  DWORD attributes;
  return AttributesOf(path, &attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ListFolder(const std::wstring& folder, std::vector<std::wstring>* names) {
  names->clear();
  std::wstring pattern = folder;
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern.push_back(L'\\');
  pattern.push_back(L'*');
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // The root of an empty drive has not even "." to report.
    if (::GetLastError() == ERROR_FILE_NOT_FOUND && FolderExists(folder)) return true;
    return false;
  }
  bool ok = true;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names->push_back(name);
  } while (::FindNextFileW(find, &data));
  if (::GetLastError() != ERROR_NO_MORE_FILES) ok = false;
  const DWORD error = ::GetLastError();
  ::FindClose(find);
  if (!ok) ::SetLastError(error);
  return ok;
}

bool DeleteFileAt(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

bool IsOnLocalFixedVolume(const std::wstring& path) {
  // UNC and device paths (\\server\share, \\?\UNC\..., \\.\...) name no local volume.
  if (path.size() < 3 || path[1] != L':' || (path[2] != L'\\' && path[2] != L'/')) return false;
  wchar_t volume[MAX_PATH + 1] = {};
  if (!::GetVolumePathNameW(path.c_str(), volume, MAX_PATH)) {
    // The file is not there yet: its drive decides.
    volume[0] = path[0];
    volume[1] = L':';
    volume[2] = L'\\';
    volume[3] = L'\0';
  }
  return ::GetDriveTypeW(volume) == DRIVE_FIXED;
}

bool CreateFolder(const std::wstring& path) {
  CreationSecurity security(path, true);
  if (::CreateDirectoryW(path.c_str(), security.Attributes())) return true;
  // A folder that is already there is what the caller wanted; a file of that name is not.
  if (::GetLastError() == ERROR_ALREADY_EXISTS && FolderExists(path)) return true;
  return false;
}

bool GetFileSize(const std::wstring& path, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

struct File::Impl {
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool append = false;
};

File::File() : impl_(std::make_unique<Impl>()) {}

File::~File() { Close(); }

File::File(File&& other) noexcept : impl_(std::make_unique<Impl>()) {
  std::swap(impl_->handle, other.impl_->handle);
  std::swap(impl_->append, other.impl_->append);
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    std::swap(impl_->handle, other.impl_->handle);
    std::swap(impl_->append, other.impl_->append);
  }
  return *this;
}

namespace {

// Another process may put something at the name between our removal and our
// creation; that many rounds are given before the open fails.
constexpr int kCreateAttempts = 3;

// The turns of appending writers: a lock held longer than this by anyone
// fails the write instead of holding the launcher.
constexpr int kLockAttempts = 50;
constexpr DWORD kLockRetryMs = 20;

// What was opened is a plain file with no other name: no reparse point (a
// link or junction opened as itself), no folder, no hard link.
bool IsOwnFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) return false;
  return !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
         info.nNumberOfLinks == 1;
}

// Removes whatever holds the name without following it: a file, a file link,
// or a junction or folder link (as itself). A real folder is left alone.
bool RemoveName(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return ::RemoveDirectoryW(path.c_str()) != FALSE;
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return ::DeleteFileW(path.c_str()) != FALSE;
}

// A file made new in the working folder gets its protected access list in
// the call that makes it.
HANDLE OpenNoFollow(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
  CreationSecurity security(path, false);
  return ::CreateFileW(path.c_str(), access, share, disposition == CREATE_NEW ? security.Attributes() : nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A handle that passed IsOwnFile, or INVALID_HANDLE_VALUE with access denied.
HANDLE KeepOwnFile(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE || IsOwnFile(handle)) return handle;
  ::CloseHandle(handle);
  ::SetLastError(ERROR_ACCESS_DENIED);
  return INVALID_HANDLE_VALUE;
}

bool NameTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

}  // namespace

bool File::Open(const std::wstring& path, Mode mode) {
  Close();
  // Appending writers share writing: the old and the new launcher append to
  // one debug log during a self-update. A new file is written by us alone;
  // others may watch it grow.
  const DWORD appendShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
  const DWORD createShare = FILE_SHARE_READ;
  // Readers let others go on writing or even delete the file (the debug log
  // is read while it grows).
  const DWORD readShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE handle = INVALID_HANDLE_VALUE;
  switch (mode) {
    case Mode::Read:
      handle = ::CreateFileW(path.c_str(), GENERIC_READ, readShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
      break;
    case Mode::ReadOwnFile:
      handle = KeepOwnFile(OpenNoFollow(path, GENERIC_READ, readShare, OPEN_EXISTING));
      break;
    case Mode::CreateWrite:
      for (int attempt = 0; attempt < kCreateAttempts && handle == INVALID_HANDLE_VALUE; ++attempt) {
        if (!RemoveName(path)) return false;
        // DELETE lets its writer move it into place through this handle.
        handle = KeepOwnFile(OpenNoFollow(path, GENERIC_WRITE | DELETE, createShare, CREATE_NEW));
        if (handle == INVALID_HANDLE_VALUE && !NameTaken(::GetLastError())) return false;
      }
      break;
    case Mode::Append:
      for (int attempt = 0; attempt < kCreateAttempts && handle == INVALID_HANDLE_VALUE; ++attempt) {
        handle = OpenNoFollow(path, GENERIC_WRITE, appendShare, OPEN_EXISTING);
        if (handle != INVALID_HANDLE_VALUE) {
          if (IsOwnFile(handle)) break;
          ::CloseHandle(handle);
          handle = INVALID_HANDLE_VALUE;
          if (!RemoveName(path)) return false;
        } else if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
          // A junction cannot be opened for writing as a file; it is replaced
          // as any other link. Anything else (a folder, a locked file) fails.
          const DWORD error = ::GetLastError();
          const DWORD attributes = ::GetFileAttributesW(path.c_str());
          if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            ::SetLastError(error);
            return false;
          }
          if (!RemoveName(path)) return false;
        }
        handle = KeepOwnFile(OpenNoFollow(path, GENERIC_WRITE, appendShare, CREATE_NEW));
        if (handle == INVALID_HANDLE_VALUE && !NameTaken(::GetLastError())) return false;
      }
      break;
  }
  if (handle == INVALID_HANDLE_VALUE) return false;
  impl_->handle = handle;
  impl_->append = mode == Mode::Append;
  return true;
}

bool File::IsOpen() const { return impl_ && impl_->handle != INVALID_HANDLE_VALUE; }

bool File::Read(void* buffer, size_t size, size_t* read) {
  *read = 0;
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  DWORD got = 0;
  if (!::ReadFile(impl_->handle, buffer, static_cast<DWORD>(std::min(size, kMaxChunk)), &got, nullptr))
    return false;
  *read = got;
  return true;
}

bool File::Write(const void* data, size_t size) {
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  // Appends of several handles (the old and the new launcher log together
  // during a self-update) take turns on a lock far past any real data, and
  // each one seeks to the end it finds, so none writes over another. Any
  // process that can open the file can take that lock too, so it is asked
  // for without waiting, again and again for about a second at most.
  OVERLAPPED turn = {};
  turn.Offset = 0xFFFFFFFEu;
  turn.OffsetHigh = 0x7FFFFFFFu;
  if (impl_->append) {
    bool locked = false;
    for (int attempt = 0; attempt < kLockAttempts && !locked; ++attempt) {
      if (attempt > 0) ::Sleep(kLockRetryMs);
      locked = ::LockFileEx(impl_->handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &turn);
      if (!locked && ::GetLastError() != ERROR_LOCK_VIOLATION && ::GetLastError() != ERROR_IO_PENDING) return false;
    }
    if (!locked) {
      ::SetLastError(ERROR_LOCK_VIOLATION);
      return false;
    }
    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(impl_->handle, zero, nullptr, FILE_END)) {
      const DWORD error = ::GetLastError();
      ::UnlockFileEx(impl_->handle, 0, 1, 0, &turn);
      ::SetLastError(error);
      return false;
    }
  }
  struct Unlock {
    File::Impl* impl;
    OVERLAPPED* turn;
    ~Unlock() {
      if (impl->append) ::UnlockFileEx(impl->handle, 0, 1, 0, turn);
    }
  } unlock{impl_.get(), &turn};
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(impl_->handle, p, static_cast<DWORD>(std::min(size, kMaxChunk)), &written, nullptr))
      return false;
    if (written == 0) {
      SetLastError(kErrorWriteFault);
      return false;
    }
    p += written;
    size -= written;
  }
  return true;
}

bool File::Size(uint64_t* size) const {
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  LARGE_INTEGER li;
  if (!::GetFileSizeEx(impl_->handle, &li)) return false;
  *size = static_cast<uint64_t>(li.QuadPart);
  return true;
}

bool File::Flush() {
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return ::FlushFileBuffers(impl_->handle) != FALSE;
}

bool File::Truncate() {
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  LARGE_INTEGER zero = {};
  return ::SetFilePointerEx(impl_->handle, zero, nullptr, FILE_BEGIN) && ::SetEndOfFile(impl_->handle);
}

bool File::IsAt(const std::wstring& path) const { return IsOpen() && FinalPathIs(impl_->handle, path); }

intptr_t File::NativeHandle() const {
  return reinterpret_cast<intptr_t>(IsOpen() ? impl_->handle : INVALID_HANDLE_VALUE);
}

bool File::Close() {
  if (!IsOpen()) return true;
  HANDLE handle = impl_->handle;
  impl_->handle = INVALID_HANDLE_VALUE;
  return ::CloseHandle(handle) != FALSE;
}

HeldFolder::HeldFolder() : handle_(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)) {}

HeldFolder::~HeldFolder() {
  if (reinterpret_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool HeldFolder::Open(const std::wstring& folder) {
  std::wstring path = folder;
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  // Opened for listing, so that its sharing counts, and not shared for
  // deleting: the folder cannot be renamed or removed, and Windows renames no
  // folder above one that is open.
  HANDLE handle = ::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !FinalPathIs(handle, path)) {
    ::CloseHandle(handle);
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (reinterpret_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = reinterpret_cast<intptr_t>(handle);
  path_ = path;
  return true;
}

namespace {

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                        ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using StatusToErrorFn = ULONG(NTAPI*)(NTSTATUS);

constexpr NTSTATUS kStatusNameNotFound = static_cast<NTSTATUS>(0xC0000034L);
constexpr NTSTATUS kStatusNameCollision = static_cast<NTSTATUS>(0xC0000035L);

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
                      ULONG options, HANDLE* handle, SECURITY_ATTRIBUTES* security = nullptr) {
  *handle = INVALID_HANDLE_VALUE;
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
    *handle = opened;
    ::SetLastError(ERROR_SUCCESS);
  } else {
    ::SetLastError(toError(status));
  }
  return status;
}

}  // namespace

bool HeldFolder::OpenChild(const std::wstring& name, HeldFolder* child) const {
  const HANDLE folder = reinterpret_cast<HANDLE>(handle_);
  if (folder == INVALID_HANDLE_VALUE || !PlainName(name)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // Held as Open holds a folder: listed, not shared for deleting.
  HANDLE handle;
  if (OpenRelative(folder, name, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_IF,
                   FILE_DIRECTORY_FILE, &handle) < 0) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    ::CloseHandle(handle);
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (reinterpret_cast<HANDLE>(child->handle_) != INVALID_HANDLE_VALUE) {
    ::CloseHandle(reinterpret_cast<HANDLE>(child->handle_));
  }
  child->handle_ = reinterpret_cast<intptr_t>(handle);
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
  const HANDLE folder = reinterpret_cast<HANDLE>(handle_);
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
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kCreateAttempts && handle == INVALID_HANDLE_VALUE; ++attempt) {
    NTSTATUS status = OpenRelative(folder, name, access, share, FILE_OPEN, FILE_NON_DIRECTORY_FILE, &handle);
    if (status >= 0) {
      if (!IsOwnFile(handle)) {
        ::CloseHandle(handle);
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
      }
      LARGE_INTEGER zero = {};
      if (!append && !(::SetFilePointerEx(handle, zero, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle))) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle);
        ::SetLastError(error);
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
  if (handle == INVALID_HANDLE_VALUE) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  file->impl_->handle = handle;
  file->impl_->append = append;
  return true;
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes, uint64_t maxBytes) {
  File file;
  if (!file.Open(path, File::Mode::Read)) return false;
  std::string data;
  uint64_t size = 0;
  if (file.Size(&size) && size <= maxBytes && size < (1u << 30)) data.reserve(static_cast<size_t>(size));
  char chunk[65536];
  for (;;) {
    size_t got = 0;
    if (!file.Read(chunk, sizeof(chunk), &got)) return false;
    if (got == 0) break;
    data.append(chunk, got);
    if (data.size() > maxBytes) {
      SetLastError(kErrorFileTooLarge);
      return false;
    }
  }
  *bytes = std::move(data);
  return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  File file;
  if (!file.Open(path, File::Mode::CreateWrite)) return false;
  if (!file.Write(bytes.data(), bytes.size())) return false;
  return file.Close();
}

}  // namespace platform

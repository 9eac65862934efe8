#include "platform/files.h"

#include <windows.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/win32/creation_security_win.h"
#include "platform/win32/files_win.h"
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
  const win32::UniqueFind find(::FindFirstFileW(pattern.c_str(), &data));
  if (!find) {
    // The root of an empty drive has not even "." to report.
    if (::GetLastError() == ERROR_FILE_NOT_FOUND && FolderExists(folder)) return true;
    return false;
  }
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names->push_back(name);
  } while (::FindNextFileW(find.get(), &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
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

using win32::UniqueHandle;

// The turns of appending writers: a lock held longer than this by anyone
// fails the write instead of holding the launcher.
constexpr int kLockAttempts = 50;
constexpr DWORD kLockRetryMs = 20;

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
UniqueHandle OpenNoFollow(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
  CreationSecurity security(path, false);
  return UniqueHandle(::CreateFileW(path.c_str(), access, share,
                                    disposition == CREATE_NEW ? security.Attributes() : nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// A handle that passed IsOwnFile, or none with access denied.
UniqueHandle KeepOwnFile(UniqueHandle handle) {
  if (!handle || IsOwnFile(handle.get())) return handle;
  handle.Reset();
  ::SetLastError(ERROR_ACCESS_DENIED);
  return handle;
}

bool NameTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

}  // namespace

bool IsOwnFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) return false;
  return !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
         info.nNumberOfLinks == 1;
}

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
  UniqueHandle handle;
  switch (mode) {
    case Mode::Read:
      handle.Reset(::CreateFileW(path.c_str(), GENERIC_READ, readShare, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
      break;
    case Mode::ReadOwnFile:
      handle = KeepOwnFile(OpenNoFollow(path, GENERIC_READ, readShare, OPEN_EXISTING));
      break;
    case Mode::CreateWrite:
      for (int attempt = 0; attempt < kCreateAttempts && !handle; ++attempt) {
        if (!RemoveName(path)) return false;
        // DELETE lets its writer move it into place through this handle.
        handle = KeepOwnFile(OpenNoFollow(path, GENERIC_WRITE | DELETE, createShare, CREATE_NEW));
        if (!handle && !NameTaken(::GetLastError())) return false;
      }
      break;
    case Mode::Append:
      for (int attempt = 0; attempt < kCreateAttempts && !handle; ++attempt) {
        handle = OpenNoFollow(path, GENERIC_WRITE, appendShare, OPEN_EXISTING);
        if (handle) {
          if (IsOwnFile(handle.get())) break;
          handle.Reset();
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
        if (!handle && !NameTaken(::GetLastError())) return false;
      }
      break;
  }
  if (!handle) return false;
  impl_->handle = std::move(handle);
  impl_->append = mode == Mode::Append;
  return true;
}

bool File::IsOpen() const { return impl_ && impl_->handle; }

bool File::Read(void* buffer, size_t size, size_t* read) {
  *read = 0;
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  DWORD got = 0;
  if (!::ReadFile(impl_->handle.get(), buffer, static_cast<DWORD>(std::min(size, kMaxChunk)), &got, nullptr))
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
      locked = ::LockFileEx(impl_->handle.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &turn);
      if (!locked && ::GetLastError() != ERROR_LOCK_VIOLATION && ::GetLastError() != ERROR_IO_PENDING) return false;
    }
    if (!locked) {
      ::SetLastError(ERROR_LOCK_VIOLATION);
      return false;
    }
    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(impl_->handle.get(), zero, nullptr, FILE_END)) {
      const DWORD error = ::GetLastError();
      ::UnlockFileEx(impl_->handle.get(), 0, 1, 0, &turn);
      ::SetLastError(error);
      return false;
    }
  }
  struct Unlock {
    File::Impl* impl;
    OVERLAPPED* turn;
    ~Unlock() {
      if (impl->append) ::UnlockFileEx(impl->handle.get(), 0, 1, 0, turn);
    }
  } unlock{impl_.get(), &turn};
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(impl_->handle.get(), p, static_cast<DWORD>(std::min(size, kMaxChunk)), &written, nullptr))
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
  if (!::GetFileSizeEx(impl_->handle.get(), &li)) return false;
  *size = static_cast<uint64_t>(li.QuadPart);
  return true;
}

bool File::Flush() {
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return ::FlushFileBuffers(impl_->handle.get()) != FALSE;
}

bool File::Truncate() {
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  LARGE_INTEGER zero = {};
  return ::SetFilePointerEx(impl_->handle.get(), zero, nullptr, FILE_BEGIN) && ::SetEndOfFile(impl_->handle.get());
}

bool File::IsAt(const std::wstring& path) const { return IsOpen() && FinalPathIs(impl_->handle.get(), path); }

intptr_t File::NativeHandle() const {
  return reinterpret_cast<intptr_t>(IsOpen() ? impl_->handle.get() : INVALID_HANDLE_VALUE);
}

bool File::Close() {
  if (!IsOpen()) return true;
  // Closed here rather than by the owner: a written file's failed close is a
  // failed write, which its writer must hear of.
  return ::CloseHandle(impl_->handle.Release()) != FALSE;
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

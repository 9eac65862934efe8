#include <windows.h>

#include <algorithm>

#include "platform/held_file.h"

namespace platform {

namespace {

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

bool SameContent(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
         ::CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

}  // namespace

struct HeldFile::Impl {
  HANDLE handle = INVALID_HANDLE_VALUE;
  BY_HANDLE_FILE_INFORMATION opened = {};
};

HeldFile::HeldFile() : impl_(std::make_unique<Impl>()) {}
HeldFile::~HeldFile() { Close(); }
HeldFile::HeldFile(HeldFile&&) noexcept = default;
HeldFile& HeldFile::operator=(HeldFile&&) noexcept = default;

bool HeldFile::Open(const std::wstring& path) {
  if (!impl_) impl_ = std::make_unique<Impl>();
  Close();
  // Shared for reading only: no writer, no rename, no delete while it is held.
  HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                                nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    ::SetLastError(error != ERROR_SUCCESS ? error : ERROR_CANT_ACCESS_FILE);
    return false;
  }
  impl_->handle = handle;
  impl_->opened = info;
  path_ = path;
  return true;
}

bool HeldFile::IsOpen() const { return impl_ && impl_->handle != INVALID_HANDLE_VALUE; }

const std::wstring& HeldFile::Path() const { return path_; }

bool HeldFile::Read(void* buffer, size_t size, size_t* read) {
  *read = 0;
  if (!IsOpen()) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  DWORD got = 0;
  if (!::ReadFile(impl_->handle, buffer, static_cast<DWORD>(std::min<size_t>(size, 1u << 30)), &got, nullptr)) {
    return false;
  }
  *read = got;
  return true;
}

bool HeldFile::Rewind() {
  if (!IsOpen()) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return ::SetFilePointer(impl_->handle, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool HeldFile::Unchanged() const {
  if (!IsOpen()) return false;
  BY_HANDLE_FILE_INFORMATION now, named;
  if (!::GetFileInformationByHandle(impl_->handle, &now) || !SameContent(impl_->opened, now)) return false;
  HANDLE probe = ::CreateFileW(path_.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                               nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  const bool same = ::GetFileInformationByHandle(probe, &named) && SameFile(impl_->opened, named);
  ::CloseHandle(probe);
  return same;
}

intptr_t HeldFile::NativeHandle() const {
  return reinterpret_cast<intptr_t>(IsOpen() ? impl_->handle : INVALID_HANDLE_VALUE);
}

void HeldFile::Close() {
  if (IsOpen()) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(impl_->handle);
    ::SetLastError(error);
    impl_->handle = INVALID_HANDLE_VALUE;
  }
  path_.clear();
}

}  // namespace platform

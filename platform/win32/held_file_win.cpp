#include "platform/held_file.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "platform/win32/owned_win.h"

namespace platform {

namespace {

using win32::UniqueHandle;

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

bool SameContent(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
         ::CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

// Moves the open file to path, replacing a file there, through its own
// handle (opened with DELETE access): the name it was written under plays
// no part. The system takes the new name in its native form.
bool RenameByHandle(HANDLE handle, const std::wstring& path) {
  std::wstring target = path;
  if (path.size() > 2 && path[1] == L':') {
    target = L"\\??\\" + path;
  } else if (path.compare(0, 4, L"\\\\?\\") == 0) {
    target = L"\\??\\" + path.substr(4);
  } else if (path.compare(0, 2, L"\\\\") == 0) {
    target = L"\\??\\UNC\\" + path.substr(2);
  }
  const size_t nameBytes = target.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::copy(target.begin(), target.end(), info->FileName);
  return ::SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace

struct HeldFile::Impl {
  UniqueHandle handle;
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
  UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                                    nullptr));
  if (!handle) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle.get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  impl_->handle = std::move(handle);
  impl_->opened = info;
  path_ = path;
  return true;
}

bool HeldFile::HoldWritten(File* written, const std::wstring& writtenPath, const std::wstring& path) {
  (void)writtenPath;
  Close();
  const HANDLE writer = reinterpret_cast<HANDLE>(written->NativeHandle());
  BY_HANDLE_FILE_INFORMATION was;
  if (writer == INVALID_HANDLE_VALUE) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (!RenameByHandle(writer, path) || !::GetFileInformationByHandle(writer, &was)) {
    const DWORD error = ::GetLastError();
    written->Close();
    ::SetLastError(error);
    return false;
  }
  // A reader cannot open a file while it is open for writing without leaving
  // it open to writers for good, so the writer lets go first; the file then
  // held must be the very file it wrote. Only administrators reach the
  // working folder in between.
  if (!written->Close() || !Open(path)) return false;
  if (!SameFile(was, impl_->opened) || was.nFileSizeHigh != impl_->opened.nFileSizeHigh ||
      was.nFileSizeLow != impl_->opened.nFileSizeLow) {
    Close();
    ::SetLastError(ERROR_FILE_INVALID);
    return false;
  }
  return true;
}

bool HeldFile::IsOpen() const { return impl_ && impl_->handle; }

const std::wstring& HeldFile::Path() const { return path_; }

bool HeldFile::Read(void* buffer, size_t size, size_t* read) {
  *read = 0;
  if (!IsOpen()) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  DWORD got = 0;
  if (!::ReadFile(impl_->handle.get(), buffer, static_cast<DWORD>(std::min<size_t>(size, 1u << 30)), &got, nullptr)) {
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
  return ::SetFilePointer(impl_->handle.get(), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool HeldFile::Unchanged() const {
  if (!IsOpen()) return false;
  BY_HANDLE_FILE_INFORMATION now, named;
  if (!::GetFileInformationByHandle(impl_->handle.get(), &now) || !SameContent(impl_->opened, now)) return false;
  const UniqueHandle probe(::CreateFileW(path_.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return probe && ::GetFileInformationByHandle(probe.get(), &named) && SameFile(impl_->opened, named);
}

intptr_t HeldFile::NativeHandle() const {
  return reinterpret_cast<intptr_t>(IsOpen() ? impl_->handle.get() : INVALID_HANDLE_VALUE);
}

void HeldFile::Close() {
  if (impl_) impl_->handle.Reset();
  path_.clear();
}

}  // namespace platform

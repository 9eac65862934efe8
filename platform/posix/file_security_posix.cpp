#include "platform/file_security.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/error.h"
#include "platform/utf.h"

namespace platform {

namespace {

constexpr uint32_t kErrorNoneMapped = 1332;  // ERROR_NONE_MAPPED: no such account

bool Fail(int err) {
  SetLastError(ErrnoToWindows(err));
  return false;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Makes the folder's entries durable, as the write-through flag asks.
void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Across file systems: the copy is written beside the target under a
// temporary name and renamed over it only when complete, so the target is
// never left half-written; then the source is deleted.
bool CopyAcross(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Fail(errno);
  struct stat st {};
  if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(in);
    return Fail(err);
  }
  std::string temp = FolderOf(to) + "/.tavo-move-XXXXXX";
  int out = ::mkostemp(&temp[0], O_CLOEXEC);
  if (out < 0) {
    int err = errno;
    ::close(in);
    return Fail(err);
  }
  char buffer[65536];
  int err = 0;
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      break;
    }
    if (n == 0) break;
    if (!WriteAll(out, buffer, static_cast<size_t>(n))) {
      err = errno;
      break;
    }
  }
  if (err == 0 && ::fchmod(out, st.st_mode & 07777) != 0) err = errno;
  if (err == 0 && ::fsync(out) != 0) err = errno;
  ::close(in);
  if (::close(out) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), to.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    return Fail(err);
  }
  SyncFolder(FolderOf(to));
  // As on Windows, a copy whose source cannot be deleted still counts as moved.
  ::unlink(from.c_str());
  SyncFolder(FolderOf(from));
  return true;
}

}  // namespace

bool MoveFileReplacing(const std::wstring& existingPath, const std::wstring& newPath) {
  const std::string from = WideToUtf8(existingPath);
  const std::string to = WideToUtf8(newPath);
  struct stat st {};
  if (::stat(to.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Fail(EACCES);
  if (::rename(from.c_str(), to.c_str()) == 0) {
    SyncFolder(FolderOf(to));
    if (FolderOf(from) != FolderOf(to)) SyncFolder(FolderOf(from));
    return true;
  }
  if (errno != EXDEV) return Fail(errno);
  return CopyAcross(from, to);
}

bool GrantFileAccess(const std::wstring& trusteeName, const std::wstring& path, uint32_t accessMask) {
  std::wstring name;
  for (wchar_t c : trusteeName) name.push_back(c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c);
  // Every account of the machine is in "Users"; the file's "others" bits are
  // the nearest thing the file system has.
  if (name != L"users" && name != L"everyone" && name != L"builtin\\users") {
    SetLastError(kErrorNoneMapped);
    return false;
  }
  const std::string native = WideToUtf8(path);
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) return Fail(errno);
  constexpr uint32_t kGenericAll = 0x10000000, kGenericExecute = 0x20000000, kGenericWrite = 0x40000000,
                     kGenericRead = 0x80000000;
  constexpr uint32_t kReadData = 0x1, kWriteData = 0x2, kAppendData = 0x4, kExecute = 0x20;
  mode_t add = 0;
  if (accessMask & (kReadData | kGenericRead | kGenericAll)) add |= S_IROTH;
  // Executing a program or loading a library means mapping it, which needs
  // read permission on this file system.
  if (accessMask & (kExecute | kGenericExecute | kGenericAll)) add |= S_IROTH | S_IXOTH;
  if (accessMask & (kWriteData | kAppendData | kGenericWrite | kGenericAll)) add |= S_IWOTH;
  if (::chmod(native.c_str(), (st.st_mode & 07777) | add) != 0) return Fail(errno);
  return true;
}

}  // namespace platform

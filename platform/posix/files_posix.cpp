#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "platform/error.h"
#include "platform/utf.h"

namespace platform {

namespace {
bool Fail() {
  SetLastError(ErrnoToWindows(errno));
  return false;
}
std::string Native(const std::wstring& path) { return WideToUtf8(path); }
}  // namespace

bool FileExists(const std::wstring& path) {
  struct stat st {};
  if (::stat(Native(path).c_str(), &st) != 0) return Fail();
  return !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::wstring& path) {
  struct stat st {};
  if (::stat(Native(path).c_str(), &st) != 0) return Fail();
  return S_ISDIR(st.st_mode);
}

bool ListFolder(const std::wstring& folder, std::vector<std::wstring>* names) {
  DIR* dir = ::opendir(Native(folder).c_str());
  if (!dir) return Fail();
  names->clear();
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    names->push_back(Utf8ToWide(name));
  }
  ::closedir(dir);
  return true;
}

bool DeleteFileAt(const std::wstring& path) { return ::unlink(Native(path).c_str()) == 0 || Fail(); }

bool IsOnLocalFixedVolume(const std::wstring& path) {
  // The simulated machine's network paths: //server/share and \\server\share,
  // and whatever lies on a network file system of the host.
  const std::string native = Native(path);
  if (native.empty() || native[0] != '/' || native.compare(0, 2, "//") == 0) return false;
  std::string existing = native;
  struct statfs fs {};
  while (::statfs(existing.c_str(), &fs) != 0) {
    const size_t slash = existing.find_last_of('/');
    if (slash == 0 || slash == std::string::npos) {
      existing = "/";
      if (::statfs("/", &fs) != 0) return false;
      break;
    }
    existing.erase(slash);
  }
  constexpr unsigned long kNetworkFileSystems[] = {0x6969 /* NFS */, 0x517B /* SMB */, 0xFF534D42 /* CIFS */,
                                                   0xFE534D42 /* SMB2 */, 0x65735546 /* FUSE */};
  for (unsigned long type : kNetworkFileSystems) {
    if (static_cast<unsigned long>(fs.f_type) == type) return false;
  }
  return true;
}

bool CreateFolder(const std::wstring& path) {
  if (::mkdir(Native(path).c_str(), 0777) == 0 || errno == EEXIST) return true;
  return Fail();
}

bool GetFileSize(const std::wstring& path, uint64_t* size) {
  struct stat st {};
  if (::stat(Native(path).c_str(), &st) != 0) return Fail();
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

struct File::Impl {
  int fd = -1;
};

File::File() : impl_(std::make_unique<Impl>()) {}
File::~File() { Close(); }
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;

namespace {

// Another process may put something at the name between our removal and our
// creation; that many rounds are given before the open fails.
constexpr int kCreateAttempts = 3;

// A regular file with no other name: the only kind a writer keeps.
bool IsOwnFile(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_nlink == 1; }

bool RemoveName(const std::string& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  // A folder of that name is not ours to remove.
  if (errno == EISDIR || errno == EPERM) errno = EACCES;
  return Fail();
}

// Creates the file new; -1 with errno EEXIST when something took the name first.
int CreateNew(const std::string& path, int flags, mode_t mode) {
  return ::open(path.c_str(), flags | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
}

// Opens an existing file for appending without following a link; -1 when
// there is nothing usable, errno ENOENT when the name is free and ELOOP or
// ENXIO (a pipe nobody reads) when something else holds it that is to be replaced.
int OpenOwnForAppend(const std::string& path, int flags) {
  // Non-blocking, so that a pipe planted in the file's place cannot hold the open.
  int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && IsOwnFile(st)) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
  }
  ::close(fd);
  errno = ELOOP;
  return -1;
}

}  // namespace

bool File::Open(const std::wstring& path, Mode mode) {
  Close();
  // On Windows every .exe can be started; the simulated machine marks them so.
  const std::string native = Native(path);
  const bool program = native.size() > 4 && (native.compare(native.size() - 4, 4, ".exe") == 0 ||
                                              native.compare(native.size() - 4, 4, ".EXE") == 0);
  const mode_t permissions = program ? 0777 : 0666;
  int fd = -1;
  switch (mode) {
    case Mode::Read:
      fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
      break;
    case Mode::ReadOwnFile: {
      // Non-blocking, so that a pipe in the file's place cannot hold the open.
      fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
      struct stat st {};
      if (fd >= 0 && (::fstat(fd, &st) != 0 || !IsOwnFile(st))) {
        ::close(fd);
        fd = -1;
        errno = EACCES;
      }
      if (fd < 0 && errno == ELOOP) errno = EACCES;
      if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      break;
    }
    case Mode::CreateWrite:
      for (int attempt = 0; attempt < kCreateAttempts && fd < 0; ++attempt) {
        if (!RemoveName(native)) return false;
        fd = CreateNew(native, O_WRONLY | O_CLOEXEC, permissions);
        if (fd < 0 && errno != EEXIST) break;
      }
      break;
    case Mode::Append:
      for (int attempt = 0; attempt < kCreateAttempts && fd < 0; ++attempt) {
        fd = OpenOwnForAppend(native, O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0) break;
        if (errno != ENOENT && errno != ELOOP && errno != ENXIO) break;
        if (errno != ENOENT && !RemoveName(native)) return false;
        fd = CreateNew(native, O_WRONLY | O_APPEND | O_CLOEXEC, permissions);
        if (fd < 0 && errno != EEXIST) break;
      }
      break;
  }
  if (fd < 0) return Fail();
  impl_->fd = fd;
  struct stat st {};
  if (::fstat(impl_->fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(impl_->fd);
    impl_->fd = -1;
    SetLastError(kErrorAccessDenied);
    return false;
  }
  return true;
}

bool File::IsOpen() const { return impl_ && impl_->fd >= 0; }

bool File::Read(void* buffer, size_t size, size_t* read) {
  *read = 0;
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  for (;;) {
    ssize_t n = ::read(impl_->fd, buffer, size);
    if (n >= 0) {
      *read = static_cast<size_t>(n);
      return true;
    }
    if (errno != EINTR) return Fail();
  }
}

bool File::Write(const void* data, size_t size) {
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(impl_->fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail();
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool File::Size(uint64_t* size) const {
  struct stat st {};
  if (!IsOpen() || ::fstat(impl_->fd, &st) != 0) return Fail();
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool File::Flush() {
  if (!IsOpen()) return false;
  return ::fsync(impl_->fd) == 0 || Fail();
}

bool File::Truncate() {
  if (!IsOpen()) return false;
  return (::ftruncate(impl_->fd, 0) == 0 && ::lseek(impl_->fd, 0, SEEK_SET) == 0) || Fail();
}

bool File::IsAt(const std::wstring& path) const {
  if (!IsOpen()) return false;
  char final[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(impl_->fd);
  const ssize_t n = ::readlink(link.c_str(), final, sizeof(final) - 1);
  if (n <= 0) return false;
  return std::string(final, static_cast<size_t>(n)) == Native(path);
}

intptr_t File::NativeHandle() const { return IsOpen() ? impl_->fd : -1; }

bool File::Close() {
  if (!IsOpen()) return true;
  int fd = impl_->fd;
  impl_->fd = -1;
  return ::close(fd) == 0 || Fail();
}

HeldFolder::HeldFolder() : handle_(-1) {}

HeldFolder::~HeldFolder() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool HeldFolder::Open(const std::wstring& folder) {
  std::string path = Native(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(errno == ELOOP || errno == ENOTDIR ? kErrorAccessDenied : ErrnoToWindows(errno));
    return false;
  }
  // A link anywhere above makes the folder's own path another one.
  char final[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), final, sizeof(final) - 1);
  if (n <= 0 || std::string(final, static_cast<size_t>(n)) != path) {
    ::close(fd);
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = fd;
  path_ = folder;
  return true;
}

bool HeldFolder::OpenMaking(const std::wstring& folder) {
  std::string path = Native(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (Open(folder)) return true;
  // The deepest folder on the way that is there is held as itself; the rest
  // is made one name at a time inside it.
  std::vector<std::wstring> missing;
  std::string existing = path;
  for (;;) {
    const size_t slash = existing.find_last_of('/');
    if (slash == std::string::npos || existing == "/") return false;
    missing.push_back(Utf8ToWide(existing.substr(slash + 1)));
    existing = slash == 0 ? "/" : existing.substr(0, slash);
    struct stat st {};
    if (::lstat(existing.c_str(), &st) == 0) break;
  }
  HeldFolder current;
  if (!current.Open(Utf8ToWide(existing))) return false;
  for (auto name = missing.rbegin(); name != missing.rend(); ++name) {
    HeldFolder next;
    if (!current.OpenChild(*name, &next)) return false;
    std::swap(current.handle_, next.handle_);
  }
  std::swap(handle_, current.handle_);
  return true;
}

namespace {

// A plain name: no separator, not the folder itself nor its parent.
bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

bool HeldFolder::OpenChild(const std::wstring& name, HeldFolder* child) const {
  const std::string native = Native(name);
  if (handle_ < 0 || !PlainName(native)) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  const int dir = static_cast<int>(handle_);
  if (::mkdirat(dir, native.c_str(), 0777) != 0 && errno != EEXIST) return Fail();
  const int fd = ::openat(dir, native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(errno == ELOOP || errno == ENOTDIR ? kErrorAccessDenied : ErrnoToWindows(errno));
    return false;
  }
  if (child->handle_ >= 0) ::close(static_cast<int>(child->handle_));
  child->handle_ = fd;
  return true;
}

bool HeldFolder::OpenFile(const std::wstring& name, File::Mode mode, File* file) const {
  file->Close();
  const std::string native = Native(name);
  if (handle_ < 0 || !PlainName(native) || (mode != File::Mode::Append && mode != File::Mode::CreateWrite)) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  const int dir = static_cast<int>(handle_);
  const int flags = (mode == File::Mode::Append ? O_RDWR | O_APPEND : O_WRONLY) | O_CLOEXEC | O_NOFOLLOW;
  int fd = -1;
  // Another process may take or free the name between the two opens; that
  // many rounds are given.
  for (int attempt = 0; attempt < kCreateAttempts && fd < 0; ++attempt) {
    // Non-blocking, so that a pipe planted at the name cannot hold the open.
    fd = ::openat(dir, native.c_str(), flags | O_NONBLOCK);
    if (fd >= 0) {
      struct stat st {};
      if (::fstat(fd, &st) != 0 || !IsOwnFile(st)) {
        ::close(fd);
        errno = EACCES;
        return Fail();
      }
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      if (mode == File::Mode::CreateWrite && ::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return Fail();
      }
      break;
    }
    if (errno == ELOOP || errno == ENXIO || errno == EISDIR) errno = EACCES;
    if (errno != ENOENT) return Fail();
    fd = ::openat(dir, native.c_str(), flags | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno != EEXIST) return Fail();
  }
  if (fd < 0) {
    errno = EACCES;
    return Fail();
  }
  file->impl_->fd = fd;
  return true;
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes, uint64_t maxBytes) {
  File file;
  if (!file.Open(path, File::Mode::Read)) return false;
  bytes->clear();
  char buffer[65536];
  for (;;) {
    size_t n = 0;
    if (!file.Read(buffer, sizeof buffer, &n)) return false;
    if (n == 0) return true;
    bytes->append(buffer, n);
    if (bytes->size() > maxBytes) {
      bytes->clear();
      SetLastError(kErrorFileTooLarge);
      return false;
    }
  }
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  File file;
  if (!file.Open(path, File::Mode::CreateWrite)) return false;
  if (!file.Write(bytes.data(), bytes.size())) return false;
  return file.Close();
}

}  // namespace platform

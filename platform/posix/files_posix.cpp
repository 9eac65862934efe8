#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/files.h"
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

bool File::Open(const std::wstring& path, Mode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::CreateWrite: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case Mode::Append: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
  }
  // On Windows every .exe can be started; the simulated machine marks them so.
  const std::string native = Native(path);
  const bool program = native.size() > 4 && (native.compare(native.size() - 4, 4, ".exe") == 0 ||
                                              native.compare(native.size() - 4, 4, ".EXE") == 0);
  impl_->fd = ::open(native.c_str(), flags, program ? 0777 : 0666);
  if (impl_->fd < 0) return Fail();
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

bool File::Close() {
  if (!IsOpen()) return true;
  int fd = impl_->fd;
  impl_->fd = -1;
  return ::close(fd) == 0 || Fail();
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

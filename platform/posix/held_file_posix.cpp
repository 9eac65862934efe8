#include "platform/held_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/utf.h"

namespace platform {

namespace {

bool Fail(int err) {
  SetLastError(ErrnoToWindows(err));
  return false;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

}  // namespace

struct HeldFile::Impl {
  int fd = -1;
  struct stat opened {};
};

HeldFile::HeldFile() : impl_(std::make_unique<Impl>()) {}
HeldFile::~HeldFile() { Close(); }
HeldFile::HeldFile(HeldFile&&) noexcept = default;
HeldFile& HeldFile::operator=(HeldFile&&) noexcept = default;

bool HeldFile::Open(const std::wstring& path) {
  if (!impl_) impl_ = std::make_unique<Impl>();
  Close();
  const int fd = ::open(WideToUtf8(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return Fail(errno == ELOOP ? EACCES : errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = S_ISREG(st.st_mode) ? errno : EACCES;
    ::close(fd);
    return Fail(err);
  }
  impl_->fd = fd;
  impl_->opened = st;
  path_ = path;
  return true;
}

bool HeldFile::HoldWritten(File* written, const std::wstring& writtenPath, const std::wstring& path) {
  Close();
  const int writer = static_cast<int>(written->NativeHandle());
  struct stat was {};
  if (writer < 0 || ::fstat(writer, &was) != 0) {
    written->Close();
    return Fail(writer < 0 ? EBADF : errno);
  }
  // No rename through a descriptor here: the file renamed, and the file the
  // name then leads to, must both be the one written.
  if (::rename(WideToUtf8(writtenPath).c_str(), WideToUtf8(path).c_str()) != 0) {
    const int err = errno;
    written->Close();
    return Fail(err);
  }
  written->Close();
  if (!Open(path)) return false;
  if (impl_->opened.st_dev != was.st_dev || impl_->opened.st_ino != was.st_ino ||
      impl_->opened.st_size != was.st_size) {
    Close();
    SetLastError(kErrorFileInvalid);
    return false;
  }
  return true;
}

bool HeldFile::IsOpen() const { return impl_ && impl_->fd >= 0; }

const std::wstring& HeldFile::Path() const { return path_; }

bool HeldFile::Read(void* buffer, size_t size, size_t* read) {
  *read = 0;
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  ssize_t got;
  do {
    got = ::read(impl_->fd, buffer, size);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return Fail(errno);
  *read = static_cast<size_t>(got);
  return true;
}

bool HeldFile::Rewind() {
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return ::lseek(impl_->fd, 0, SEEK_SET) == 0 || Fail(errno);
}

bool HeldFile::Unchanged() const {
  if (!IsOpen()) return false;
  struct stat now {}, named {};
  if (::fstat(impl_->fd, &now) != 0 || ::lstat(WideToUtf8(path_).c_str(), &named) != 0) return false;
  const struct stat& was = impl_->opened;
  // Any write moves the change time; a file put in its place has another inode.
  return named.st_dev == was.st_dev && named.st_ino == was.st_ino && now.st_size == was.st_size &&
         SameTime(now.st_mtim, was.st_mtim) && SameTime(now.st_ctim, was.st_ctim);
}

intptr_t HeldFile::NativeHandle() const { return IsOpen() ? impl_->fd : -1; }

void HeldFile::Close() {
  if (IsOpen()) {
    ::close(impl_->fd);
    impl_->fd = -1;
  }
  path_.clear();
}

}  // namespace platform

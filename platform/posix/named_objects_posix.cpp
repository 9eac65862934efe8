#include "platform/named_objects.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/posix/machine.h"
#include "platform/utf.h"

namespace platform {

namespace {

// The owners that count as administrators: the Administrators group, as the
// launcher names it, and SYSTEM.
const char kOwnedByAdministrators[] = "owner=S-1-5-32-544";
const char kOwnedBySystem[] = "owner=S-1-5-18";
const char kSignalled[] = "signalled\n";
// A holder that is making the object writes its file in far less than this.
constexpr int kShareTries = 100;
constexpr useconds_t kShareStepUs = 10000;

std::string ObjectPath(const std::wstring& name) { return posix::ObjectsFolderPath() + WideToUtf8(name); }

// An open file description's lock on the whole file: two descriptions
// conflict even within one process, and a lock changes its kind at once.
bool Lock(int fd, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[256];
  ssize_t n;
  while ((n = ::pread(fd, buffer, sizeof(buffer), static_cast<off_t>(text.size()))) > 0) text.append(buffer, n);
  return text;
}

// The last error from errno; the descriptor, if any, is closed.
void Fail(int fd) {
  SetLastError(ErrnoToWindows(errno));
  if (fd >= 0) ::close(fd);
}

}  // namespace

struct AdminEvent::Impl {
  int fd = -1;
  ~Impl() {
    if (fd >= 0) ::close(fd);
  }
};

AdminEvent::AdminEvent() : impl_(new Impl) {}
AdminEvent::~AdminEvent() = default;

AdminEvent::Opened AdminEvent::OpenGlobal(const std::wstring& name) { return Open(name); }

AdminEvent::Opened AdminEvent::Open(const std::wstring& name) {
  impl_.reset(new Impl);
  const int fd = ::open(ObjectPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    Fail(fd);
    return Opened::kFailed;
  }
  // Nobody holds the file: the object is made anew here, then held shared
  // like every other holder holds it.
  if (Lock(fd, F_WRLCK)) {
    const std::string text = std::string(kOwnedByAdministrators) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
        !Lock(fd, F_RDLCK)) {
      Fail(fd);
      return Opened::kFailed;
    }
    impl_->fd = fd;
    return Opened::kCreated;
  }
  // Held elsewhere: shared once its maker has written it.
  bool shared = false;
  for (int i = 0; i < kShareTries && !(shared = Lock(fd, F_RDLCK)); ++i) ::usleep(kShareStepUs);
  const std::string text = shared ? ReadAll(fd) : std::string();
  const std::string owner = text.substr(0, text.find('\n'));
  if (owner != kOwnedByAdministrators && owner != kOwnedBySystem) {
    ::close(fd);
    return Opened::kForeign;
  }
  impl_->fd = fd;
  return Opened::kExisting;
}

bool AdminEvent::Signal() {
  if (impl_->fd < 0) return false;
  if (IsSignalled()) return true;
  struct stat st {};
  if (::fstat(impl_->fd, &st) != 0 ||
      ::pwrite(impl_->fd, kSignalled, sizeof(kSignalled) - 1, st.st_size) != static_cast<ssize_t>(sizeof(kSignalled) - 1)) {
    Fail(-1);
    return false;
  }
  return true;
}

bool AdminEvent::IsSignalled() const {
  return impl_->fd >= 0 && ReadAll(impl_->fd).find(std::string("\n") + kSignalled) != std::string::npos;
}

bool IsMutexOwned(const std::wstring& name) {
  const int fd = ::open(ObjectPath(name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  // Owned: another holds the write lock, which a read lock would wait for.
  struct flock lock = {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  const bool owned = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  ::close(fd);
  return owned;
}

}  // namespace platform

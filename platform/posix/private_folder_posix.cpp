#include "platform/private_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/error.h"
#include "platform/posix/machine.h"
#include "platform/utf.h"

namespace platform {

namespace {

std::string WithoutSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::wstring Fail(int err) {
  SetLastError(ErrnoToWindows(err));
  return std::wstring();
}

bool RandomHex(size_t bytes, std::string* out) {
  unsigned char buffer[32];
  if (bytes > sizeof(buffer) || ::getrandom(buffer, bytes, 0) != static_cast<ssize_t>(bytes)) return false;
  *out = HexText(buffer, bytes);
  return true;
}

// Deletes the entries of an open folder, then the folder's own entry in parent.
bool RemoveTreeAt(int parent, const char* name) {
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return false;
  }
  bool ok = true;
  while (struct dirent* entry = ::readdir(dir)) {
    const std::string child = entry->d_name;
    if (child == "." || child == "..") continue;
    struct stat st {};
    if (::fstatat(fd, child.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      ok = RemoveTreeAt(fd, child.c_str()) && ok;
    } else if (::unlinkat(fd, child.c_str(), 0) != 0) {
      ok = false;
    }
  }
  ::closedir(dir);
  return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 && ok;
}

}  // namespace

std::wstring GetSystemTempFolder() {
  const std::string folder = posix::WindowsFolderPath() + "Temp/";
  // Windows always has it; the simulated machine gets it, and the folders
  // above it, on first use.
  for (size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1)) {
    if (::mkdir(folder.substr(0, at).c_str(), 0755) != 0 && errno != EEXIST) return Fail(errno);
  }
  return Utf8ToWide(folder);
}

std::wstring CreatePrivateFolder(const std::wstring& parent, const std::wstring& prefix) {
  std::string base = WideToUtf8(parent);
  if (!base.empty() && base.back() != '/') base.push_back('/');
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string digits;
    if (!RandomHex(8, &digits)) return Fail(errno ? errno : EIO);
    const std::string path = base + WideToUtf8(prefix) + digits;
    if (::mkdir(path.c_str(), 0700) != 0) {
      if (errno == EEXIST) continue;
      return Fail(errno);
    }
    // The creation mask can only take bits away; the mode is set whole anyway.
    if (::chmod(path.c_str(), 0700) != 0) return Fail(errno);
    const std::wstring folder = Utf8ToWide(path + "/");
    if (!IsPrivateFolder(folder, true)) {
      const uint32_t error = LastError();
      ::rmdir(path.c_str());
      SetLastError(error);
      return std::wstring();
    }
    return folder;
  }
  return Fail(EEXIST);
}

bool IsPrivateFolder(const std::wstring& folder, bool /*keepOpen: nothing to keep*/) {
  const std::string path = WithoutSlash(WideToUtf8(folder));
  char resolved[PATH_MAX];
  struct stat st {};
  // A link anywhere on the path makes the resolved path another one.
  if (!::realpath(path.c_str(), resolved) || path != resolved || ::lstat(path.c_str(), &st) != 0) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 07777) != 0700) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  return true;
}

bool RemoveFolderTree(const std::wstring& folder) {
  if (RemoveTreeAt(AT_FDCWD, WithoutSlash(WideToUtf8(folder)).c_str())) return true;
  SetLastError(ErrnoToWindows(errno));
  return false;
}

}  // namespace platform

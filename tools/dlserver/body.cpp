#include "body.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <mutex>
#include <sstream>

#include "rules.h"

namespace dlserver {

namespace {

std::mutex logLock;

bool SafePath(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  std::istringstream in(path);
  std::string part;
  while (std::getline(in, part, '/')) {
    if (part == "..") return false;
  }
  return true;
}

}  // namespace

void AppendLine(const std::string& file, const std::string& line) {
  std::lock_guard<std::mutex> hold(logLock);
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t ignored = ::write(fd, line.data(), line.size());
  (void)ignored;
  ::close(fd);
}

Body::~Body() {
  if (fd >= 0) ::close(fd);
  if (!sentLog.empty()) AppendLine(sentLog, path + "\t" + std::to_string(sent) + "\n");
}

bool Body::Read(long long offset, char* buffer, size_t want, size_t* got) {
  if (fd < 0) {
    size_t n = std::min<size_t>(want, text.size() - static_cast<size_t>(offset));
    std::memcpy(buffer, text.data() + offset, n);
    *got = n;
    return true;
  }
  ssize_t n = ::pread(fd, buffer, want, offset);
  if (n <= 0) return false;
  *got = static_cast<size_t>(n);
  return true;
}

std::shared_ptr<Body> OpenFileBody(const std::string& root, const std::string& path) {
  if (!SafePath(path)) return nullptr;
  std::string full = root + path;
  int fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  auto body = std::make_shared<Body>();
  body->fd = fd;
  body->size = st.st_size;
  body->mtime = static_cast<long long>(st.st_mtime);
  return body;
}

std::string HttpDate(long long time) {
  char text[64];
  time_t t = static_cast<time_t>(time);
  struct tm tm;
  gmtime_r(&t, &tm);
  strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return text;
}

bool ParseRange(const std::string& header, long long size, long long* first, long long* last) {
  if (header.compare(0, 6, "bytes=") != 0 || header.find(',') != std::string::npos) return false;
  const size_t dash = header.find('-', 6);
  if (dash == std::string::npos) return false;
  bool ok = false;
  *first = ToNumber(header.substr(6, dash - 6), &ok);
  if (!ok || *first < 0) return false;
  *last = size - 1;
  if (dash + 1 < header.size()) {
    *last = std::min(ToNumber(header.substr(dash + 1), &ok), size - 1);
    if (!ok || *last < *first) return false;
  }
  return true;
}

std::shared_ptr<Body> TextBody(const std::string& text) {
  auto body = std::make_shared<Body>();
  body->text = text;
  body->size = static_cast<long long>(text.size());
  return body;
}

}  // namespace dlserver

#include "platform/event_log.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "platform/error.h"
#include "platform/posix/machine.h"
#include "platform/utf.h"

namespace platform {

// The simulated machine's Application log: eventlog.tsv, one record a line,
// oldest first: unix-time<TAB>source<TAB>event-id<TAB>string1<TAB>string2...
// A missing file (and the default machine) is an empty log.
struct EventLogReader::Impl {
  std::vector<std::string> lines;  // non-blank lines, oldest first
  size_t next = 0;                 // lines not yet read, counted from the front
};

namespace {

bool ParseInt64(const std::string& text, int64_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || !end || *end != '\0') return false;
  *value = v;
  return true;
}

bool ParseRecord(const std::string& line, EventLogRecord* record) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  if (fields.size() < 3) return false;
  int64_t time = 0, id = 0;
  if (!ParseInt64(fields[0], &time) || !ParseInt64(fields[2], &id) || id < 0 || id > 0xFFFFFFFFll) return false;
  record->timeWritten = time;
  record->eventId = static_cast<uint32_t>(id);
  record->sourceName = Utf8ToWide(fields[1]);
  record->strings.clear();
  for (size_t i = 3; i < fields.size(); ++i) record->strings.push_back(Utf8ToWide(fields[i]));
  return true;
}

}  // namespace

EventLogReader::EventLogReader() = default;
EventLogReader::~EventLogReader() { Close(); }

bool EventLogReader::Open(const std::wstring& logName) {
  Close();
  std::wstring lower;
  for (wchar_t c : logName) lower.push_back(c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c);
  if (lower != L"application") {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  auto impl = std::make_unique<Impl>();
  const std::string path = posix::MachineFile("eventlog.tsv");
  struct stat st {};
  if (!path.empty() && ::stat(path.c_str(), &st) == 0) {
    std::ifstream in(path, std::ios::binary);
    if (!in || S_ISDIR(st.st_mode)) {
      SetLastError(S_ISDIR(st.st_mode) ? kErrorAccessDenied : ErrnoToWindows(errno));
      return false;
    }
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      impl->lines.push_back(line);
    }
    if (in.bad()) {
      SetLastError(kErrorReadFault);
      return false;
    }
  } else if (!path.empty() && errno != ENOENT) {
    SetLastError(ErrnoToWindows(errno));
    return false;
  }
  impl->next = impl->lines.size();
  impl_ = std::move(impl);
  return true;
}

bool EventLogReader::IsOpen() const { return impl_ != nullptr; }

bool EventLogReader::ReadPrevious(EventLogRecord* record) {
  if (!impl_) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (impl_->next == 0) {
    SetLastError(kErrorHandleEof);
    return false;
  }
  const std::string& line = impl_->lines[impl_->next - 1];
  if (!ParseRecord(line, record)) {
    SetLastError(kErrorEventLogFileCorrupt);
    return false;
  }
  --impl_->next;
  return true;
}

void EventLogReader::Close() { impl_.reset(); }

}  // namespace platform

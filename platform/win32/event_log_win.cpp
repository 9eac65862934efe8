#include "platform/event_log.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/error.h"

namespace platform {

struct EventLogReader::Impl {
  HANDLE log = nullptr;
};

namespace {

// A NUL-terminated UTF-16 text at offset inside the record; false when it
// does not end inside the record.
bool TextAt(const BYTE* record, size_t size, size_t offset, std::wstring* text, size_t* next) {
  text->clear();
  if (offset > size) return false;
  for (size_t at = offset; at + sizeof(wchar_t) <= size; at += sizeof(wchar_t)) {
    wchar_t c;
    memcpy(&c, record + at, sizeof(c));
    if (c == L'\0') {
      *next = at + sizeof(wchar_t);
      return true;
    }
    text->push_back(c);
  }
  return false;
}

}  // namespace

EventLogReader::EventLogReader() = default;
EventLogReader::~EventLogReader() { Close(); }

bool EventLogReader::Open(const std::wstring& logName) {
  Close();
  HANDLE log = ::OpenEventLogW(nullptr, logName.c_str());
  if (!log) return false;
  impl_ = std::make_unique<Impl>();
  impl_->log = log;
  return true;
}

bool EventLogReader::IsOpen() const { return impl_ != nullptr; }

bool EventLogReader::ReadPrevious(EventLogRecord* record) {
  if (!impl_) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  const DWORD flags = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ;
  // The record's size first: a one-byte buffer can never hold a record.
  BYTE probe = 0;
  DWORD read = 0, needed = 0;
  if (::ReadEventLogW(impl_->log, flags, 0, &probe, 1, &read, &needed)) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  if (needed < sizeof(EVENTLOGRECORD)) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  std::vector<BYTE> buffer(needed);
  if (!::ReadEventLogW(impl_->log, flags, 0, buffer.data(), needed, &read, &needed)) return false;
  const size_t size = read < buffer.size() ? read : buffer.size();
  if (size < sizeof(EVENTLOGRECORD)) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  EVENTLOGRECORD header;
  memcpy(&header, buffer.data(), sizeof(header));
  const size_t length = header.Length < size ? header.Length : size;
  record->timeWritten = static_cast<int64_t>(header.TimeWritten);
  record->eventId = header.EventID;
  record->strings.clear();
  size_t next = 0;
  if (!TextAt(buffer.data(), length, sizeof(EVENTLOGRECORD), &record->sourceName, &next)) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  size_t at = header.StringOffset;
  for (WORD i = 0; i < header.NumStrings; ++i) {
    std::wstring text;
    if (!TextAt(buffer.data(), length, at, &text, &next)) break;  // a damaged tail keeps what was read
    record->strings.push_back(text);
    at = next;
  }
  return true;
}

void EventLogReader::Close() {
  if (impl_ && impl_->log) ::CloseEventLog(impl_->log);
  impl_.reset();
}

}  // namespace platform

#include "platform/event_log.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/error.h"
#include "platform/win32/event_log_record.h"
#include "platform/win32/owned_win.h"

namespace platform {

struct EventLogReader::Impl {
  win32::UniqueEventLog log;
};

EventLogReader::EventLogReader() = default;
EventLogReader::~EventLogReader() { Close(); }

bool EventLogReader::Open(const std::wstring& logName) {
  Close();
  win32::UniqueEventLog log(::OpenEventLogW(nullptr, logName.c_str()));
  if (!log) return false;
  impl_ = std::make_unique<Impl>();
  impl_->log = std::move(log);
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
  if (::ReadEventLogW(impl_->log.get(), flags, 0, &probe, 1, &read, &needed)) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  if (needed < sizeof(EVENTLOGRECORD)) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  std::vector<BYTE> buffer(needed);
  if (!::ReadEventLogW(impl_->log.get(), flags, 0, buffer.data(), needed, &read, &needed)) return false;
  const size_t size = read < buffer.size() ? read : buffer.size();
  if (size < sizeof(EVENTLOGRECORD)) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  return ParseEventLogRecord(buffer.data(), size, record);
}

void EventLogReader::Close() { impl_.reset(); }

}  // namespace platform

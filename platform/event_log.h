#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The read error of a corrupt event log file (ERROR_EVENTLOG_FILE_CORRUPT).
constexpr uint32_t kErrorEventLogFileCorrupt = 1500;

// One record of a Windows event log, as the log stores it.
struct EventLogRecord {
  int64_t timeWritten = 0;  // seconds since 1970 (UTC)
  uint32_t eventId = 0;     // the stored identifier, qualifier bits included
  std::wstring sourceName;
  std::vector<std::wstring> strings;
};

// A Windows event log of the local machine, read from the newest record
// backwards, one record at a time (OpenEventLogW / ReadEventLogW with a
// sequential backwards read on Windows; the simulated machine's eventlog.tsv,
// one record a line, oldest first, for its "Application" log).
class EventLogReader {
 public:
  EventLogReader();
  ~EventLogReader();
  EventLogReader(const EventLogReader&) = delete;
  EventLogReader& operator=(const EventLogReader&) = delete;

  // False, with the last error set, when the log cannot be opened.
  bool Open(const std::wstring& logName);
  bool IsOpen() const;
  // The next older record. False at the end of the log (last error 38,
  // ERROR_HANDLE_EOF) or when a read fails (its error). On Windows each read
  // first asks for the record's size with a one-byte buffer.
  bool ReadPrevious(EventLogRecord* record);
  void Close();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform

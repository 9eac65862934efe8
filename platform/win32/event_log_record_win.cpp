#include "platform/win32/event_log_record.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/error.h"

namespace platform {

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

bool ParseEventLogRecord(const void* data, size_t size, EventLogRecord* record) {
  const BYTE* bytes = static_cast<const BYTE*>(data);
  if (!bytes || size < sizeof(EVENTLOGRECORD)) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  EVENTLOGRECORD header;
  memcpy(&header, bytes, sizeof(header));
  const size_t length = header.Length < size ? header.Length : size;
  // Every record closes with its length again; the texts end before it, and
  // the strings end where the record's data begins.
  size_t end = length;
  if (header.Length <= size && length >= sizeof(EVENTLOGRECORD) + sizeof(DWORD)) end = length - sizeof(DWORD);
  EventLogRecord parsed;
  parsed.timeWritten = static_cast<int64_t>(header.TimeWritten);
  parsed.eventId = header.EventID;
  size_t next = 0;
  if (!TextAt(bytes, end, sizeof(EVENTLOGRECORD), &parsed.sourceName, &next)) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  if (header.DataLength > 0 && header.DataOffset >= header.StringOffset && header.DataOffset < end) {
    end = header.DataOffset;
  }
  // Strings inside the header or at an odd offset belong to a damaged record:
  // none of them is taken, rather than text made of other fields.
  size_t at = header.StringOffset;
  const bool placed = at >= sizeof(EVENTLOGRECORD) && at % sizeof(wchar_t) == 0;
  for (WORD i = 0; placed && i < header.NumStrings; ++i) {
    std::wstring text;
    if (!TextAt(bytes, end, at, &text, &next)) break;  // a damaged tail keeps what was read
    parsed.strings.push_back(text);
    at = next;
  }
  *record = std::move(parsed);
  return true;
}

}  // namespace platform

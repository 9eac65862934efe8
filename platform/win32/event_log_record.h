#pragma once
#include <cstddef>

#include "platform/event_log.h"

namespace platform {

// Reads one EVENTLOGRECORD as ReadEventLogW hands it over: `size` bytes at
// `data`. The source name must end inside the record; the strings are read
// from StringOffset up to the record's own tail (its data, its closing length),
// and a damaged tail keeps the strings read before it. False, with the last
// error ERROR_INVALID_DATA, when the record has no header or no source name.
bool ParseEventLogRecord(const void* data, size_t size, EventLogRecord* record);

}  // namespace platform

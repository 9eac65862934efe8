// One Application-log record as ReadEventLogW hands it over, built byte by byte: the Windows Installer's record is the
// only proof that an installation ran, so a damaged one must never lend the launcher strings it does not hold.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/win32/event_log_record.h"

namespace {

using Strings = std::vector<std::wstring>;

std::string Utf16(const std::wstring& text, bool terminated = true) {
  std::string bytes(reinterpret_cast<const char*>(text.c_str()), text.size() * sizeof(wchar_t));
  if (terminated) bytes.append(sizeof(wchar_t), '\0');
  return bytes;
}

template <typename T>
void Patch(std::string* record, size_t offset, T value) {
  record->replace(offset, sizeof(T), reinterpret_cast<const char*>(&value), sizeof(T));
}

// Header, source, computer, padding, strings, data, padding, closing length.
std::string Record(DWORD eventId, const Strings& strings, const std::string& data = "",
                   bool lastTerminated = true) {
  EVENTLOGRECORD header{};
  std::string body = Utf16(L"MsiInstaller") + Utf16(L"TAVO-PC");
  while ((sizeof(header) + body.size()) % 4) body.push_back('\0');
  header.StringOffset = static_cast<DWORD>(sizeof(header) + body.size());
  for (size_t i = 0; i < strings.size(); ++i) body += Utf16(strings[i], lastTerminated || i + 1 < strings.size());
  header.NumStrings = static_cast<WORD>(strings.size());
  header.DataOffset = static_cast<DWORD>(sizeof(header) + body.size());
  header.DataLength = static_cast<DWORD>(data.size());
  body += data;
  while ((sizeof(header) + body.size()) % 4) body.push_back('\0');
  header.Length = static_cast<DWORD>(sizeof(header) + body.size() + sizeof(DWORD));
  header.Reserved = 0x654c664c;  // "LfLe"
  header.TimeWritten = 1700000000;
  header.EventID = eventId;
  std::string record(reinterpret_cast<const char*>(&header), sizeof(header));
  record += body;
  Patch(&record, record.size(), header.Length);
  return record;
}

// Strings that fill whole DWORDs, so that no zero padding follows them; without
// its last terminator, kOdd fills whole DWORDs instead.
const Strings kStatus = {L"TAVO Total Shield", L"9.0", L"1041", L"1603", L"TAVO Security"};
const Strings kOdd = {L"TAVO Total Shield", L"9.0", L"1041", L"1603", L"TAVO"};
const size_t kNumStrings = offsetof(EVENTLOGRECORD, NumStrings);
const size_t kStringOffset = offsetof(EVENTLOGRECORD, StringOffset);
const size_t kLength = offsetof(EVENTLOGRECORD, Length);

TEST(EventLogRecordWin, TheInstallersRecordIsReadWhole) {
  // Qualifier bits stay in the identifier; its low 16 bits are the event.
  for (DWORD id : {1033u, 0x40000409u}) {
    const std::string record = Record(id, kStatus);
    platform::EventLogRecord parsed;
    parsed.strings = {L"stale"};
    ASSERT_TRUE(platform::ParseEventLogRecord(record.data(), record.size(), &parsed));
    EXPECT_EQ(L"MsiInstaller", parsed.sourceName);
    EXPECT_EQ(id, parsed.eventId);
    EXPECT_EQ(1033u, parsed.eventId & 0xFFFF);
    EXPECT_EQ(1700000000, parsed.timeWritten);
    EXPECT_EQ(kStatus, parsed.strings);
  }
}

TEST(EventLogRecordWin, DamagedRecordsGiveOnlyTheStringsTheyHold) {
  struct Case {
    const char* name;
    std::string record;
    Strings strings;
  };
  const std::string good = Record(1033, kStatus);
  const DWORD stringOffset = *reinterpret_cast<const DWORD*>(good.data() + kStringOffset);
  std::vector<Case> cases;
  cases.push_back({"more strings counted than held", good, kStatus});
  Patch<WORD>(&cases.back().record, kNumStrings, 7);
  cases.push_back({"the last string has no terminator", Record(1033, kOdd, "", false),
                   Strings(kOdd.begin(), kOdd.end() - 1)});
  cases.push_back({"strings run into the data", Record(1033, kStatus, std::string("AB\0\0", 4)), kStatus});
  Patch<WORD>(&cases.back().record, kNumStrings, 6);
  // The buffer holds more than the record: bytes after its length are not its own.
  cases.push_back({"the record's length ends before the last string", good, Strings(kStatus.begin(), kStatus.end() - 1)});
  Patch<DWORD>(&cases.back().record, kLength, static_cast<DWORD>(good.size() - Utf16(kStatus.back()).size()));
  cases.push_back({"the buffer ends inside the strings", good.substr(0, good.size() - 14),
                   Strings(kStatus.begin(), kStatus.end() - 1)});
  cases.push_back({"strings at an odd offset", good, {}});
  Patch<DWORD>(&cases.back().record, kStringOffset, stringOffset + 1);
  cases.push_back({"strings inside the header", good, {}});
  Patch<DWORD>(&cases.back().record, kStringOffset, 0);
  cases.push_back({"strings beyond the record", good, {}});
  Patch<DWORD>(&cases.back().record, kStringOffset, 0x7FFFFFF0);
  cases.push_back({"zero strings", Record(1033, {}), {}});
  for (const Case& c : cases) {
    platform::EventLogRecord parsed;
    ASSERT_TRUE(platform::ParseEventLogRecord(c.record.data(), c.record.size(), &parsed)) << c.name;
    EXPECT_EQ(L"MsiInstaller", parsed.sourceName) << c.name;
    EXPECT_EQ(c.strings, parsed.strings) << c.name;
  }
}

// Shorter than the header, the header alone, a length shorter than the header, a source name
// without its terminator.
TEST(EventLogRecordWin, ARecordWithoutHeaderOrSourceNameIsRefused) {
  const std::string good = Record(1033, kStatus);
  std::string shortLength = good;
  Patch<DWORD>(&shortLength, kLength, sizeof(EVENTLOGRECORD) - 8);
  for (const std::string& bytes : {good.substr(0, sizeof(EVENTLOGRECORD) - 1), good.substr(0, sizeof(EVENTLOGRECORD)),
                                   shortLength, good.substr(0, sizeof(EVENTLOGRECORD)) + Utf16(L"MsiInstaller", false)}) {
    platform::EventLogRecord parsed;
    parsed.sourceName = L"kept";
    platform::SetLastError(0);
    EXPECT_FALSE(platform::ParseEventLogRecord(bytes.data(), bytes.size(), &parsed)) << bytes.size();
    EXPECT_EQ(platform::kErrorInvalidData, platform::LastError());
    EXPECT_EQ(L"kept", parsed.sourceName);
  }
}

}  // namespace

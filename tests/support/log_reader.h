#pragma once
#include <string>
#include <vector>

namespace tavo_test {

struct LogEntry {
  std::wstring stamp;  // "yyyy/mm/dd hh:mm:ss.mmm"
  std::wstring level;  // "情報" or "エラー"
  std::wstring text;
};

struct DebugLogFile {
  bool hasBom = false;
  int byteOrderMarks = 0;    // marks anywhere in the file
  bool crlfEverywhere = true;  // every line ends with CR LF
  std::vector<std::wstring> lines;
  std::vector<LogEntry> entries;  // lines that have the entry shape
};

// Reads a UTF-16LE debug log.
DebugLogFile ReadDebugLog(const std::wstring& path);
// The texts of the entries, in order.
std::vector<std::wstring> EntryTexts(const DebugLogFile& log);

}  // namespace tavo_test

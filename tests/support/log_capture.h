#pragma once
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

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

// Points the process's debug log at a fresh file for as long as it lives, and
// reads the entries back; the previous path and state are restored after.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::wstring> Texts() const;

 private:
  TempDir dir_;
  std::wstring path_;
  std::wstring previousPath_;
  bool previousEnabled_ = false;
};

}  // namespace tavo_test

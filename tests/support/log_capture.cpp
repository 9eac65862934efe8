#include "tests/support/log_capture.h"

#include "base/debug_log.h"
#include "platform/utf.h"

namespace tavo_test {

DebugLogFile ReadDebugLog(const std::wstring& path) {
  DebugLogFile log;
  std::string bytes = ReadBytes(path);
  log.hasBom = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
  std::wstring text = platform::Utf16LeToWide(bytes);
  for (wchar_t c : text) log.byteOrderMarks += c == 0xFEFF;
  if (log.hasBom) text.erase(0, 1);
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find(L'\n', start);
    if (lf == std::wstring::npos) {
      log.crlfEverywhere = false;
      log.lines.push_back(text.substr(start));
      break;
    }
    if (lf == start || text[lf - 1] != L'\r') log.crlfEverywhere = false;
    size_t end = (lf > start && text[lf - 1] == L'\r') ? lf - 1 : lf;
    log.lines.push_back(text.substr(start, end - start));
    start = lf + 1;
  }
  for (const auto& line : log.lines) {
    // "[stamp] [level] [text]"
    if (line.size() < 30 || line[0] != L'[' || line[24] != L']') continue;
    size_t levelEnd = line.find(L"] [", 27);
    if (line.compare(25, 2, L" [") != 0 || levelEnd == std::wstring::npos || line.back() != L']') continue;
    LogEntry entry;
    entry.stamp = line.substr(1, 23);
    entry.level = line.substr(27, levelEnd - 27);
    entry.text = line.substr(levelEnd + 3, line.size() - levelEnd - 4);
    log.entries.push_back(entry);
  }
  return log;
}

LogCapture::LogCapture() : path_(dir_.File(L"TAVODebugLog.txt")) {
  previousPath_ = Log().Path();
  previousEnabled_ = Log().Enabled();
  Log().SetPath(path_);
  Log().SetEnabled(true);
}

LogCapture::~LogCapture() {
  Log().SetPath(previousPath_);
  Log().SetEnabled(previousEnabled_);
}

std::vector<std::wstring> LogCapture::Texts() const {
  std::vector<std::wstring> texts;
  for (const auto& e : ReadDebugLog(path_).entries) texts.push_back(e.text);
  return texts;
}

}  // namespace tavo_test

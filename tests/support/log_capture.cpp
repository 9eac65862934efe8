#include "tests/support/log_capture.h"

#include "base/debug_log.h"
#include "platform/files.h"
#include "platform/utf.h"

namespace tavo_test {

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

std::vector<LogCapture::Entry> LogCapture::Entries() const {
  std::string bytes = ReadBytes(path_);
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') bytes.erase(0, 2);
  std::wstring text = platform::Utf16LeToWide(bytes);
  std::vector<Entry> entries;
  size_t start = 0;
  for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    std::wstring line = text.substr(start, end - start);
    // "[yyyy/mm/dd hh:mm:ss.mmm] [level] [text]"
    size_t levelStart = line.find(L"] [");
    size_t textStart = levelStart == std::wstring::npos ? std::wstring::npos : line.find(L"] [", levelStart + 3);
    if (textStart == std::wstring::npos || line.size() < textStart + 4) continue;
    Entry entry;
    entry.error = line.compare(levelStart + 3, textStart - levelStart - 3, L"エラー") == 0;
    entry.text = line.substr(textStart + 3, line.size() - textStart - 4);
    entries.push_back(entry);
  }
  return entries;
}

std::vector<std::wstring> LogCapture::Texts() const {
  std::vector<std::wstring> texts;
  for (const Entry& entry : Entries()) texts.push_back(entry.text);
  return texts;
}

bool LogCapture::Contains(const std::wstring& text) const { return Find(text) >= 0; }

int LogCapture::Find(const std::wstring& text, int from) const {
  std::vector<std::wstring> texts = Texts();
  for (size_t i = from < 0 ? 0 : static_cast<size_t>(from); i < texts.size(); ++i) {
    if (texts[i] == text) return static_cast<int>(i);
  }
  return -1;
}

void LogCapture::Clear() { WriteBytes(path_, ""); }

}  // namespace tavo_test

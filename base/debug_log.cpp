#include "base/debug_log.h"

#include "base/paths.h"
#include "base/text.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"

DebugLog& Log() {
  static DebugLog log;
  return log;
}

void LogErrors(std::initializer_list<std::wstring> lines) {
  const uint32_t error = platform::LastError();
  for (const std::wstring& line : lines) {
    platform::SetLastError(error);
    Log().Error(line);
  }
  platform::SetLastError(error);
}

void DebugLog::SetPath(const std::wstring& path) {
  std::lock_guard<std::mutex> hold(lock_);
  path_ = path;
}

void DebugLog::SetFallbackPath(const std::wstring& path) {
  std::lock_guard<std::mutex> hold(lock_);
  fallback_ = path;
}

void DebugLog::SetEnabled(bool enabled) {
  std::lock_guard<std::mutex> hold(lock_);
  enabled_ = enabled;
}

bool DebugLog::Enabled() const {
  std::lock_guard<std::mutex> hold(lock_);
  return enabled_;
}

std::wstring DebugLog::Path() const {
  std::lock_guard<std::mutex> hold(lock_);
  return path_;
}

bool DebugLog::Info(const std::wstring& text) { return Write(Level::Information, text); }

bool DebugLog::Error(const std::wstring& text) {
  // The code is read first, before anything here can change it.
  const uint32_t code = platform::LastError();
  bool ok = Write(Level::Error, FormatText(L"%ls (ERRORCODE %d)", text.c_str(), static_cast<int>(code)));
  platform::SetLastError(code);
  return ok;
}

bool DebugLog::ErrorPlain(const std::wstring& text) { return Write(Level::Error, text); }

bool DebugLog::Write(Level level, const std::wstring& text) {
  // Logging must never disturb the caller's view of the last system error.
  const uint32_t savedError = platform::LastError();
  const wchar_t* levelText = level == Level::Error ? L"エラー" : L"情報";
  const std::wstring entryText = RemoveLineBreaks(text);

  bool result = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!enabled_) {
      platform::SetLastError(savedError);
      return true;
    }
    if (path_.empty()) {
      std::wstring module = platform::GetModulePath();
      path_ = ParentFolder(module) + L"DebugLog.txt";
    }
    const platform::LocalTime t = platform::GetLocalTime();
    auto format = [&](const wchar_t* levelName, const std::wstring& entry) {
      return FormatText(L"[%04d/%02d/%02d %02d:%02d:%02d.%03d] [%ls] [%ls]\r\n", t.year, t.month, t.day, t.hour,
                        t.minute, t.second, t.millisecond, levelName, entry.c_str());
    };
    const std::wstring line = format(levelText, entryText);
    result = Append(path_, line);
    if (!result && !fallback_.empty() && fallback_ != path_) {
      const std::wstring givenUp = path_;
      path_ = fallback_;
      Append(path_, format(L"情報", FormatText(L"デバッグログ %ls に書き込めないため、このファイルに書き込みます。",
                                               givenUp.c_str())));
      result = Append(path_, line);
    }
  }
  platform::SetLastError(savedError);
  return result;
}

bool DebugLog::Append(const std::wstring& path, const std::wstring& line) {
  try {
    // The name is resolved once, through the held folder: whatever is done
    // to the folder's path afterwards, or put at the name as a link, is not
    // followed, and nothing there is removed or replaced.
    platform::HeldFolder folder;
    platform::File file;
    if (!folder.Open(ParentFolder(path)) || !folder.OpenFile(FileNameOf(path), platform::File::Mode::Append, &file)) {
      return false;
    }
    uint64_t size = 0;
    if (!file.Size(&size)) return false;
    // A file that is there already is written only when it is a launcher's
    // log: "/log" naming any other file leaves that file as it was.
    if (size > 0) {
      char head[sizeof(kLogStart) - 1] = {};
      size_t got = 0;
      if (!file.Read(head, sizeof(head), &got) || !IsLauncherLogStart(std::string(head, got))) {
        platform::SetLastError(platform::kErrorAccessDenied);
        return false;
      }
    }
    std::string bytes;
    // A new file starts with the byte-order mark; an existing one never gets a second.
    if (size == 0) bytes = "\xFF\xFE";
    bytes += platform::WideToUtf16Le(line);
    const bool written = file.Write(bytes.data(), bytes.size());
    return file.Close() && written;
  } catch (...) {
    return false;
  }
}

bool IsLauncherLogStart(const std::string& head) {
  return head.size() >= sizeof(kLogStart) - 1 && head.compare(0, sizeof(kLogStart) - 1, kLogStart) == 0;
}

#include "install/install_result.h"

#include <algorithm>
#include <cwchar>
#include <utility>

#include "base/debug_log.h"
#include "base/paths.h"
#include "base/run_result.h"
#include "base/text.h"
#include "base/working_paths.h"
#include "config/launch_settings.h"
#include "env/installed_edition.h"
#include "install/install_run.h"
#include "platform/code_page.h"
#include "platform/event_log.h"
#include "platform/files.h"
#include "platform/utf.h"

const wchar_t kInstallerLogFolderName[] = L"tavo";

namespace {

constexpr uint32_t kMsiInstallerEventId = 1033;
// Windows Installer codes that mean the installation went through.
constexpr int32_t kExitSuccess = 0;
constexpr int32_t kExitRebootRequired = 3010;
constexpr int32_t kExitRestartInitiated = 1641;  // the installer has started a restart
constexpr int32_t kExitInstallServiceFailure = 1601;
constexpr size_t kMaxListedNumbers = 3;

const wchar_t kServiceStopText[] =
    L"サービス 'TAVO Service' (tvkr) を停止できませんでした。システム サービスを停止する特権を持っていることを確認してください。";
const wchar_t kServiceDeleteText[] =
    L"サービス 'TAVO Service' (tvkr) を削除できませんでした。システム サービスを削除する特権を持っていることを確認してください。";

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) { return ToLowerAscii(a) == ToLowerAscii(b); }

// The edition's name the installer writes into its record; null for a
// ProductType that names no edition.
const wchar_t* RecordProductName(int32_t productType) {
  const Edition* edition = EditionOf(productType);
  return edition != nullptr ? edition->productName : nullptr;
}

bool IsOneOf(wchar_t c, const wchar_t* set) { return c != L'\0' && std::wcschr(set, c) != nullptr; }

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool IsNumberChar(wchar_t c) { return (c >= L'0' && c <= L'9') || c == L'-'; }

// A run glued to a path, a version or a word before it ("KB2999226", "v.1920").
bool BindsBefore(wchar_t c) { return IsAsciiLetter(c) || IsOneOf(c, L"./\\_"); }
// A run glued to what follows it ("50%", "1920abc", "12/").
bool BindsAfter(wchar_t c) { return IsAsciiLetter(c) || IsOneOf(c, L"%/\\_"); }

struct NumberList {
  std::vector<std::wstring> entries;
  bool truncated = false;  // "..." has been appended; nothing more is taken
};

// Takes the free-standing numbers of one line, from its first error keyword on.
void ScanLineForNumbers(const std::wstring& line, const std::wstring& codeText, NumberList* list) {
  size_t start = std::wstring::npos;
  for (const wchar_t* keyword : {L" error ", L" Error ", L"エラー"}) {
    size_t at = line.find(keyword);
    if (at < start) start = at;
  }
  if (start == std::wstring::npos) return;
  size_t i = start;
  const size_t n = line.size();
  while (i < n) {
    if (!IsNumberChar(line[i])) {
      ++i;
      continue;
    }
    const size_t runStart = i;
    while (i < n && IsNumberChar(line[i])) ++i;
    const std::wstring run = line.substr(runStart, i - runStart);
    if (runStart > 0 && BindsBefore(line[runStart - 1])) continue;
    if (i < n && BindsAfter(line[i])) continue;
    // A lone dash ("Error 1920 - ...") is punctuation, not a number.
    if (run.find_first_of(L"0123456789") == std::wstring::npos) continue;
    if (run == codeText) continue;
    if (std::find(list->entries.begin(), list->entries.end(), run) != list->entries.end()) continue;
    if (list->entries.size() >= kMaxListedNumbers) {
      list->entries.push_back(L"...");
      list->truncated = true;
      return;
    }
    list->entries.push_back(run);
  }
}

}  // namespace

std::vector<std::wstring> ReadLogLines(const std::wstring& path) {
  std::string bytes;
  return platform::ReadWholeFile(path, &bytes) ? LogLines(std::move(bytes)) : std::vector<std::wstring>();
}

std::vector<std::wstring> LogLines(std::string bytes) {
  std::vector<std::wstring> lines;
  std::wstring text;
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text = platform::Utf8ToWide(bytes.substr(3));
  } else {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') bytes.erase(0, 2);
    if (bytes.size() % 2 != 0) bytes.pop_back();  // a torn last character
    text = platform::Utf16LeToWide(bytes);
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool ReadExitCodeFromEventLog(const LaunchSettings& settings, int64_t startTime, int32_t* exitCode) {
  platform::EventLogReader log;
  if (!log.Open(L"Application")) return false;
  const wchar_t* productName = RecordProductName(settings.ProductType);
  platform::EventLogRecord record;
  while (log.ReadPrevious(&record)) {
    // Records are read newest first: an older one means the installer left none.
    if (record.timeWritten < startTime) {
      Log().Info(L"Windowsログの取得を終了しました");
      return false;
    }
    if (!EqualsIgnoringCase(record.sourceName, L"MsiInstaller")) continue;
    if ((record.eventId & 0xFFFF) != kMsiInstallerEventId || record.strings.empty()) continue;
    if (!productName) continue;
    const std::wstring& product = record.strings[0];
    if (!Contains(product, productName) && !Contains(product, L"TAVO Security")) continue;
    Log().Info(L"Windowsログから終了コードを取得しました）");
    if (record.strings.size() >= 4) {
      *exitCode = ParseDecimalInt(record.strings[3]);
      Log().Info(FormatText(L"Windowsインストーラーの記録の状態：%d", *exitCode));
    }
    return true;
  }
  Log().Info(L"Windowsログの取得に失敗しました");
  return false;
}

std::wstring FindInstallerLogFile(const std::wstring& folder) {
  std::vector<std::wstring> names;
  if (!platform::ListFolder(folder, &names)) return std::wstring();
  std::wstring best;
  std::string bestKey;
  for (const std::wstring& name : names) {
    if (Contains(name, L"callback")) continue;
    if (!Contains(name, L".log") || !Contains(name, L"liveinstaller_")) continue;
    if (platform::FolderExists(JoinPath(folder, name))) continue;
    // The names carry the time the log was begun, so the last name in byte
    // order (of the system's code page) is this run's log; an earlier
    // installation's log stays in the folder and must not decide the outcome.
    std::string key = platform::WideToSystemCodePage(name);
    if (best.empty() || key > bestKey) {
      best = name;
      bestKey = key;
    }
  }
  return best;
}

int32_t ClassifyInstallerLog(const std::wstring& path) { return ClassifyInstallerLog(ReadLogLines(path)); }

int32_t ClassifyInstallerLog(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\r\n";
  if (text.empty()) return kLogClassNone;
  if (Contains(text, L"MainEngineThread is returning 0") || Contains(text, L"MainEngineThread is returning 3010")) {
    return kLogClassReturned0;
  }
  if (Contains(text, L"MainEngineThread is returning 1601")) return kLogClass1601;
  if (Contains(text, L"MainEngineThread is returning 1603")) {
    if (Contains(text, kServiceStopText)) return kLogClassServiceStop;
    if (Contains(text, kServiceDeleteText)) return kLogClassServiceDelete;
    return kLogClass1603;
  }
  if (Contains(text, L"MainEngineThread is returning 1618")) return kLogClass1618;
  return kLogClassUnknown;
}

std::wstring ExtractInstallerErrorNumbers(const std::wstring& path, int32_t code) {
  return ExtractInstallerErrorNumbers(ReadLogLines(path), code);
}

std::wstring ExtractInstallerErrorNumbers(const std::vector<std::wstring>& lines, int32_t code) {
  const std::wstring codeText = FormatText(L"%d", code);

  // The failing action: the last action started before the first one that
  // ended with return value 3 (failure).
  long startLine = -1, endLine = -1;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::wstring& line = lines[i];
    if (Contains(line, L"Action start")) {
      startLine = static_cast<long>(i);
      continue;
    }
    if (!Contains(line, L"Action ended")) continue;
    endLine = static_cast<long>(i);
    const size_t at = line.find(L"Return value ");
    if (at == std::wstring::npos) continue;
    size_t valueStart = at + std::wcslen(L"Return value ");
    size_t valueEnd = valueStart;
    while (valueEnd < line.size() && IsNumberChar(line[valueEnd])) ++valueEnd;
    if (ParseDecimalInt(line.substr(valueStart, valueEnd - valueStart)) == 3) break;
  }

  NumberList list;
  if (startLine >= 0 && endLine >= startLine) {
    for (long i = startLine; i <= endLine && !list.truncated; ++i) ScanLineForNumbers(lines[i], codeText, &list);
  }
  if (list.entries.empty()) return std::wstring();
  std::wstring message = L" [";
  for (size_t i = 0; i < list.entries.size(); ++i) {
    if (i > 0) message += L", ";
    message += list.entries[i];
  }
  return message + L"]";
}

InstallVerdict DetermineInstallOutcome(const InstallRun& run, int64_t startTime, int32_t exitCode,
                                       bool earlierNotExecuted) {
  Log().Info(FormatText(L"インストーラーの終了コード：%d", exitCode));
  int32_t code = exitCode;
  if (!ReadExitCodeFromEventLog(run.Settings, startTime, &code)) {
    // The installer's own code is then all there is: it says why (1619, 1620, 1625, ...).
    run.Result.UnrecordedExitCode = code;
    return {InstallOutcome::NotExecuted, -1, false};
  }
  const std::wstring folder = JoinPath(run.Paths.WorkFolder, kInstallerLogFolderName);
  const std::wstring name = FindInstallerLogFile(folder);
  int32_t logClass = kLogClassNone;
  if (!name.empty()) {
    const std::wstring path = JoinPath(folder, name);
    logClass = ClassifyInstallerLog(path);
    if (logClass == kLogClass1601) code = kExitInstallServiceFailure;
    run.Result.InstallerMessage = ExtractInstallerErrorNumbers(path, code);
  }
  if (code == kExitRebootRequired) {
    Log().Info(L"インストーラーが再起動を求めています。(終了コード：3010)");
    run.Result.RestartRequested = true;
  }
  if (code == kExitRestartInitiated) {
    Log().Info(L"インストーラーが再起動を開始しました。(終了コード：1641)");
    run.Result.RestartStarted = true;
  }
  if (code == kExitSuccess || code == kExitRebootRequired || code == kExitRestartInitiated) {
    return {InstallOutcome::Success, code, false};
  }
  if (earlierNotExecuted) {
    // An earlier package of this run was not executed: that stays the verdict.
    Log().Info(L"プログラムの実行をキャンセルしました。");
    return {InstallOutcome::Failure, code, false};
  }
  if (logClass != kLogClassNone && logClass != kLogClass1603 && logClass != kLogClassUnknown) {
    return {InstallOutcome::Failure, logClass, true};
  }
  return {InstallOutcome::Failure, code, false};
}

#include "app/command_line.h"

#include <cwchar>
#include <initializer_list>

#include "app/launcher_context.h"
#include "base/paths.h"
#include "base/text.h"
#include "install/package_execution.h"
#include "platform/folders.h"
#include "platform/process.h"

namespace {

const wchar_t kHandedPidSwitch[] = L"/sourcepid:";

// A process id handed over: a decimal number from 1 to 4294967295.
bool ParseProcessId(const std::wstring& text, uint32_t* pid) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
  }
  if (value == 0 || value > 0xFFFFFFFFull) return false;
  *pid = static_cast<uint32_t>(value);
  return true;
}

// A switch as deployment tools spell it: "/" or "-", then one of the names (lower case).
bool IsSwitch(const std::wstring& lower, std::initializer_list<const wchar_t*> names) {
  if (lower.size() < 2 || (lower[0] != L'/' && lower[0] != L'-')) return false;
  for (const wchar_t* name : names) {
    if (lower.compare(1, std::wstring::npos, name) == 0) return true;
  }
  return false;
}

// "/name <value>", or "/name=<value>" and "/name:<value>" as other installers
// write it (the name in lower case). *i moves to the last argument taken.
bool TakeValue(const std::vector<std::wstring>& args, size_t* i, const wchar_t* name, std::wstring* value) {
  const std::wstring lower = ToLowerAscii(args[*i]);
  if (IsSwitch(lower, {name})) {
    if (*i + 1 >= args.size()) return false;
    *value = args[++*i];
    return true;
  }
  const size_t end = std::wcslen(name) + 1;
  if (lower.size() <= end + 1 || !IsSwitch(lower.substr(0, end), {name}) || (lower[end] != L'=' && lower[end] != L':')) {
    return false;
  }
  *value = args[*i].substr(end + 1);
  return true;
}

}  // namespace

void ApplyArguments(const std::vector<std::wstring>& args, LauncherContext* context) {
  context->SourceSettingsPath.clear();
  context->StartedBySourceLauncher = false;
  context->UnknownArguments.clear();
  uint32_t sourcePid = 0, handedPid = 0;
  bool quiet = false;
  size_t sourceValue = 0;  // the argument that is the value of the last "/O"
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    const std::wstring lower = ToLowerAscii(arg);
    const bool hasValue = i + 1 < args.size();
    uint32_t pid = 0;
    if (arg == L"/N") {
      context->NoUpdate = true;
    } else if (arg == L"/O" || (arg.compare(0, 3, L"/O:") == 0 && ParseProcessId(arg.substr(3), &pid))) {
      // The last "/O" with a value counts. Its value is looked at as a
      // switch too, as launchers have always done.
      if (hasValue) {
        context->SourceSettingsPath = args[i + 1];
        context->StartedBySourceLauncher = true;
        sourcePid = pid;
        sourceValue = i + 1;
      }
    } else if (IsSwitch(lower, {L"quiet", L"q", L"qn", L"silent", L"verysilent", L"s"})) {
      context->Silent = true;
      quiet = true;
    } else if (IsSwitch(lower, {L"passive", L"qb", L"qb-", L"qb!", L"qb-!", L"qr"})) {
      context->Silent = true;
      context->Passive = true;
    } else if (IsSwitch(lower, {L"norestart"})) {
      // Accepted as tools append it: the launcher never restarts the machine.
    } else if (IsSwitch(lower, {L"noupdate"})) {
      context->SkipSelfUpdate = true;
    } else if (IsSwitch(lower, {L"?", L"h", L"help"})) {
      context->ShowUsage = true;
    } else if (TakeValue(args, &i, L"log", &context->LogPath) || TakeValue(args, &i, L"proxy", &context->Proxy)) {
      // The value is taken.
    } else if (lower.compare(0, std::wcslen(kHandedPidSwitch), kHandedPidSwitch) == 0 &&
               ParseProcessId(arg.substr(std::wcslen(kHandedPidSwitch)), &pid)) {
      handedPid = pid;
    } else if (i > 0 && i != sourceValue) {
      context->UnknownArguments.push_back(arg);
    }
  }
  // With both, the run shows nothing.
  if (quiet) context->Passive = false;
  // Launchers that hand their id over separately leave "/O" as it always was.
  context->SourceProcessId = handedPid != 0 ? handedPid : sourcePid;
}

std::wstring ProxyForLog(const std::wstring& proxy) {
  const size_t at = proxy.rfind(L'@');
  return at == std::wstring::npos ? proxy : proxy.substr(at + 1);
}

std::wstring CommandLineForLog(const std::vector<std::wstring>& args) {
  std::vector<std::wstring> shown;
  for (size_t i = 0; i < args.size(); ++i) {
    // The proxy's value, in whichever spelling, goes without its user name and password.
    std::wstring proxy;
    size_t last = i;
    if (i > 0 && TakeValue(args, &last, L"proxy", &proxy)) {
      if (last == i) {  // "/proxy=<value>" or "/proxy:<value>"
        shown.push_back(args[i].substr(0, args[i].size() - proxy.size()) + ProxyForLog(proxy));
      } else {
        shown.push_back(args[i]);
        shown.push_back(ProxyForLog(proxy));
        i = last;
      }
      continue;
    }
    shown.push_back(args[i]);
  }
  std::wstring line;
  for (const std::wstring& arg : shown) {
    if (!line.empty()) line += L' ';
    const bool quote = arg.empty() || arg.find_first_of(L" \t") != std::wstring::npos;
    line += quote ? L"\"" + arg + L"\"" : arg;
  }
  return line;
}

bool ParseArguments(LauncherContext* context) {
  std::vector<std::wstring> args;
  if (!platform::GetProcessArguments(&args)) return false;
  ApplyArguments(args, context);
  context->CommandLineText = CommandLineForLog(args);
  return true;
}

std::wstring GetTempFolder() { return platform::GetTempFolder(); }

std::wstring GetLauncherFolder() {
  std::wstring module = platform::GetModulePath();
  if (module.empty()) return std::wstring();
  return ParentFolder(module);
}

void SetLogPaths(LauncherContext* context, const std::wstring& debugLogPath) {
  context->DebugLogPath = debugLogPath;
  context->InstallerLogPath = JoinPath(ParentFolder(debugLogPath), kInstallerVerboseLogName);
}

// Support staff ask people for the log in their temporary folder.
std::wstring DefaultDebugLogPath(const LauncherContext& context) { return context.UserTempFolder + L"TAVODebugLog.txt"; }

bool LoadCommonData(LauncherContext* context) {
  context->UserTempFolder = GetTempFolder();
  if (context->UserTempFolder.empty()) return false;
  context->UserTempFolder = EnsureTrailingSeparator(context->UserTempFolder);
  context->LauncherFolder = GetLauncherFolder();
  if (context->LauncherFolder.empty()) return false;
  context->LauncherFolder = EnsureTrailingSeparator(context->LauncherFolder);
  context->LaunchSettingsPath = context->LauncherFolder + L"SetupLauncherV2.xml";
  if (context->SourceSettingsPath.empty()) context->SourceSettingsPath = context->LaunchSettingsPath;
  context->NotificationPath = context->LauncherFolder + L"SetupNotification.xml";
  // A log named on the command line is taken as a full path, so that the
  // installer's log beside it means the same to every program it is handed to.
  std::wstring debugLog = DefaultDebugLogPath(*context);
  if (!context->LogPath.empty()) {
    debugLog = platform::GetFullPath(context->LogPath);
    if (debugLog.empty()) debugLog = context->LogPath;
  }
  SetLogPaths(context, debugLog);
  return true;
}

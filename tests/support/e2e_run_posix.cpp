#include "tests/support/e2e_run_posix.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>

#include "app/paths.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "tests/support/child_process_posix.h"
#include "tests/support/sim_installer_posix.h"

namespace tavo_test {

namespace {

const char kKilledMarker[] = "[killed after timeout]";
const char kSeparator[] = "------------------------------------------------------------\n";

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string XmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

bool MakeFolders(const std::wstring& folder) {
  for (size_t at = folder.find(L'/', 1); at != std::wstring::npos; at = folder.find(L'/', at + 1)) {
    platform::CreateFolder(folder.substr(0, at));
  }
  return platform::FolderExists(folder);
}

std::string Narrow(const std::wstring& text) { return platform::WideToUtf8(text); }

}  // namespace

std::string E2eResult::LastScreen() const {
  size_t at = screen.rfind(kSeparator);
  return at == std::string::npos ? screen : screen.substr(at + sizeof(kSeparator) - 1);
}

std::vector<std::wstring> E2eResult::Errors() const {
  std::vector<std::wstring> errors;
  for (const auto& e : log.entries) {
    if (e.level == L"エラー") errors.push_back(e.text);
  }
  return errors;
}

E2eRun::E2eRun(const Paths& paths) : paths_(paths) {
  launcher_ = work_.File(L"launcher/");
  source_ = work_.File(L"source/");
  if (!MakeFolders(launcher_) || !MakeFolders(source_ + L"packages/") || !MakeFolders(source_ + L"server/")) {
    error_ = "cannot create the launcher and source folders";
    return;
  }
  if (!CopyFileTo(paths_.setupExe, Narrow(launcher_) + "Setup.exe", true)) {
    error_ = "cannot copy " + paths_.setupExe;
    return;
  }
  // The server's own folders are made before the machine is selected, so
  // that they do not depend on the machine's temporary folder.
  std::string why;
  if (!server_.Start(&why)) {
    error_ = "loopback server: " + why;
    return;
  }
  machine_ = std::make_unique<SimMachine>();
  machine_->SetWindows(10, 0, 1, 9, 1);
  if (!InstallSimulatedInstaller()) {
    error_ = "cannot put the simulated Windows Installer into the machine";
    return;
  }
}

E2eRun::~E2eRun() = default;

std::wstring E2eRun::MachineTempFolder() const { return platform::GetTempFolder(); }

std::wstring E2eRun::DebugLogPath() const { return JoinPath(MachineTempFolder(), L"TAVODebugLog.txt"); }

std::string E2eRun::BaseUrl() const { return Narrow(server_.BaseUrl()); }

std::string E2eRun::DeadServerUrl() {
  return "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/";
}

bool E2eRun::Publish(const E2eServerTree& tree) {
  std::string json = "{\n  \"package_dir\": \"packages\",\n  \"packages\": [";
  for (size_t i = 0; i < tree.packages.size(); ++i) {
    const E2ePackage& p = tree.packages[i];
    if (!p.existingFile && !WriteBytes(PackageSourceFolder() + platform::Utf8ToWide(p.file), p.content)) {
      error_ = "cannot write the package " + p.file;
      return false;
    }
    json += i ? ",\n    {" : "\n    {";
    json += "\"file\": " + JsonString(p.file) + ", \"name\": " + JsonString(p.name) +
            ", \"version\": " + JsonString(p.version) + ", \"exec_type\": " + std::to_string(p.execType) +
            ", \"architecture\": " + std::to_string(p.architecture) +
            ", \"product_type\": " + std::to_string(p.productType) + ", \"target_os\": " + std::to_string(p.targetOs) +
            ", \"error_skip\": " + std::to_string(p.errorSkip) + ", \"hash\": " + JsonString(p.hash);
    if (!p.saveFilePath.empty()) json += ", \"save_file_path\": " + JsonString(p.saveFilePath);
    json += "}";
  }
  json += "\n  ]";
  if (tree.versionFile) {
    json += ",\n  \"version_file\": {\"last_version\": " + std::to_string(tree.lastVersion) +
            ", \"settings_version\": " + std::to_string(tree.settingsVersion) +
            ", \"notification_version\": " + std::to_string(tree.notificationVersion);
    if (!tree.setupExe.empty()) json += ", \"setup_exe\": " + JsonString(tree.setupExe);
    json += ", \"latest\": {";
    bool first = true;
    for (const auto& kv : tree.latest) {
      json += (first ? "" : ", ") + JsonString(kv.first) + ": " + JsonString(kv.second);
      first = false;
    }
    json += "}}";
  }
  if (tree.publishNotices) {
    json += ",\n  \"notification_version\": " + std::to_string(tree.notificationVersion) + ",\n  \"notices\": [";
    for (size_t i = 0; i < tree.notices.size(); ++i) {
      const E2eNotice& n = tree.notices[i];
      json += (i ? ", " : "") + std::string("{\"title\": ") + JsonString(n.title) + ", \"url\": " + JsonString(n.url) +
              ", \"color\": " + JsonString(n.color) + ", \"condition_type\": " + std::to_string(n.conditionType) +
              ", \"condition_value\": " + std::to_string(n.conditionValue) + "}";
    }
    json += "]";
  }
  json += "\n}\n";
  const std::wstring description = source_ + L"description.json";
  if (!WriteBytes(description, json)) {
    error_ = "cannot write the description";
    return false;
  }
  const std::string tool = paths_.sourceDir + "/tools/publish/publish.py";
  std::string root = Narrow(server_.LocalPath("/"));
  ChildResult result =
      RunChild({"/usr/bin/env", "python3", tool, Narrow(description), root, "--base-url", BaseUrl()}, {}, "", 120);
  if (result.exitCode != 0) {
    error_ = "publish.py failed: " + result.output;
    return false;
  }
  return true;
}

std::string E2eRun::SettingsXml(const E2eSettings& s, const std::string& defaultServer) {
  std::vector<std::string> servers = s.servers;
  if (servers.empty()) servers.push_back(defaultServer);
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<LaunchData>\r\n  <LaunchBase>\r\n";
  x += "    <ProductType>" + std::to_string(s.productType) + "</ProductType>\r\n";
  x += "    <PackageType>" + std::to_string(s.packageType) + "</PackageType>\r\n";
  x += "    <LineupType>11</LineupType>\r\n    <PackageVersionWin>10.0</PackageVersionWin>\r\n";
  x += "    <PackageVersionMac>0.0</PackageVersionMac>\r\n    <ManualType>99</ManualType>\r\n";
  x += "    <DownloaderVersion>" + std::to_string(s.downloaderVersion) + "</DownloaderVersion>\r\n";
  x += "    <SetupLauncherXMLVersion>" + std::to_string(s.settingsVersion) + "</SetupLauncherXMLVersion>\r\n";
  x += "    <ProviderType>KOTA</ProviderType>\r\n";
  x += "    <InstallType>" + std::to_string(s.installType) + "</InstallType>\r\n";
  x += "    <EnableServerCheck>0</EnableServerCheck>\r\n  </LaunchBase>\r\n";
  x += "  <DownloadServerData>\r\n    <DownloadServerCount>" + std::to_string(servers.size()) +
       "</DownloadServerCount>\r\n";
  for (size_t i = 0; i < servers.size(); ++i) {
    x += "    <DownloadServer" + std::to_string(i) + ">" + XmlText(servers[i]) + "</DownloadServer" +
         std::to_string(i) + ">\r\n";
  }
  x += "  </DownloadServerData>\r\n";
  auto two = [](size_t i) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02zu", i);
    return std::string(buffer);
  };
  // The counts are the highest index, as the delivered files write them.
  const size_t packages = s.conflictPackages.size();
  x += "  <ConfrictRegistory>\r\n    <ConfrictDataCount>" + std::to_string(packages ? packages - 1 : 0) +
       "</ConfrictDataCount>\r\n";
  for (size_t i = 0; i < packages; ++i) {
    x += "    <ConfrictPackage" + two(i) + " PackageName=\"" + XmlText(s.conflictPackages[i].first) + "\">" +
         XmlText(s.conflictPackages[i].second) + "</ConfrictPackage" + two(i) + ">\r\n";
  }
  x += "  </ConfrictRegistory>\r\n";
  auto names = [&](const char* parent, const char* count, const char* item, const std::vector<std::string>& list) {
    std::string out = std::string("  <") + parent + ">\r\n    <" + count + ">" +
                      std::to_string(list.empty() ? 0 : list.size() - 1) + "</" + count + ">\r\n";
    for (size_t i = 0; i < list.size(); ++i) {
      out += std::string("    <") + item + two(i) + ">" + XmlText(list[i]) + "</" + item + two(i) + ">\r\n";
    }
    return out + "  </" + parent + ">\r\n";
  };
  x += names("ConflictSoftware", "ConflictSoftwareCount", "ConflictSoftwareName", s.conflictSoftware);
  x += names("ConflictSecurityCenter", "ConflictSecurityCenterCount", "ConflictSecurityCenterName",
             s.conflictSecurityCenter);
  x += "</LaunchData>\r\n";
  return x;
}

bool E2eRun::WriteSettings(const E2eSettings& settings) {
  return WriteLauncherFile("SetupLauncherV2.xml", SettingsXml(settings, BaseUrl()));
}

std::string E2eRun::NoticesXml(const std::vector<E2eNotice>& notices, int version) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<NotificationDataSet>\r\n";
  x += "  <NotificationVersion>" + std::to_string(version) + "</NotificationVersion>\r\n";
  x += "  <NotificationDataValueCount>" + std::to_string(notices.size()) + "</NotificationDataValueCount>\r\n";
  for (size_t i = 0; i < notices.size(); ++i) {
    char tag[48];
    std::snprintf(tag, sizeof tag, "NotificationDataValue%02zu", i);
    const E2eNotice& n = notices[i];
    x += std::string("  <") + tag + "><NFDTitle>" + XmlText(n.title) + "</NFDTitle><NFDURL>" + XmlText(n.url) +
         "</NFDURL><STRCOLOR>" + n.color + "</STRCOLOR><NFDConditionType>" + std::to_string(n.conditionType) +
         "</NFDConditionType><NFDConditionValue>" + std::to_string(n.conditionValue) + "</NFDConditionValue></" +
         tag + ">\r\n";
  }
  return x + "</NotificationDataSet>\r\n";
}

bool E2eRun::WriteNotices(const std::vector<E2eNotice>& notices, int version) {
  return WriteLauncherFile("SetupNotification.xml", NoticesXml(notices, version));
}

bool E2eRun::WriteLauncherFile(const std::string& relative, const std::string& bytes) {
  const std::wstring path = launcher_ + platform::Utf8ToWide(relative);
  const size_t slash = path.find_last_of(L'/');
  if (slash != std::wstring::npos) MakeFolders(path.substr(0, slash + 1));
  return WriteBytes(path, bytes);
}

std::string E2eRun::ReadLauncherFile(const std::string& relative) const {
  return ReadBytes(launcher_ + platform::Utf8ToWide(relative));
}

E2eResult E2eRun::Run(const std::vector<std::string>& args, const std::string& keys, int timeoutSeconds) {
  std::vector<std::string> argv = {Narrow(launcher_) + "Setup.exe"};
  argv.insert(argv.end(), args.begin(), args.end());
  const auto start = std::chrono::steady_clock::now();
  // Standard output is a pipe, so the terminal front end draws plain text.
  ChildResult child = RunChild(argv, {{"TERM", "dumb"}}, keys, timeoutSeconds);
  E2eResult result;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.screen = child.output;
  result.timedOut = child.output.find(kKilledMarker) != std::string::npos;
  result.exitCode = child.exitCode;
  result.log = ReadDebugLog(DebugLogPath());
  return result;
}

std::string SimPackage(const std::string& productName, const std::string& productVersion,
                       const std::vector<std::string>& lines) {
  std::string text = "ProductName=" + productName + "\nProductVersion=" + productVersion + "\n";
  for (const auto& line : lines) text += line + "\n";
  return text;
}

::testing::AssertionResult LogIsWhole(const DebugLogFile& log) {
  if (log.lines.empty()) return ::testing::AssertionFailure() << "the debug log is empty or missing";
  if (!log.hasBom) return ::testing::AssertionFailure() << "the debug log does not start with a byte-order mark";
  if (log.byteOrderMarks != 1) {
    return ::testing::AssertionFailure() << "the debug log holds " << log.byteOrderMarks << " byte-order marks";
  }
  if (!log.crlfEverywhere) return ::testing::AssertionFailure() << "a line of the debug log does not end with CR LF";
  if (log.entries.size() != log.lines.size()) {
    for (const auto& line : log.lines) {
      bool shaped = false;
      for (const auto& e : log.entries) {
        if (line.find(e.text) != std::wstring::npos && line.find(e.stamp) != std::wstring::npos) shaped = true;
      }
      if (!shaped) return ::testing::AssertionFailure() << "a line is no entry: " << Utf8(line);
    }
    return ::testing::AssertionFailure() << "some lines of the debug log are no entries";
  }
  for (const auto& e : log.entries) {
    if (e.level != L"情報" && e.level != L"エラー") {
      return ::testing::AssertionFailure() << "unknown level " << Utf8(e.level) << " in " << Utf8(e.text);
    }
  }
  return ::testing::AssertionSuccess();
}

bool EntryIs(const LogEntry& entry, const std::wstring& text) {
  if (entry.text == text) return true;
  // An error entry carries the system error after its text.
  const std::wstring coded = text + L" (ERRORCODE ";
  return entry.level == L"エラー" && entry.text.compare(0, coded.size(), coded) == 0 && entry.text.back() == L')';
}

::testing::AssertionResult LogHasInOrder(const DebugLogFile& log, const std::vector<std::wstring>& texts) {
  size_t from = 0;
  for (const auto& text : texts) {
    int at = -1;
    for (size_t i = from; i < log.entries.size() && at < 0; ++i) {
      if (EntryIs(log.entries[i], text)) at = static_cast<int>(i);
    }
    if (at < 0) {
      ::testing::AssertionResult failure = ::testing::AssertionFailure();
      failure << "missing (in this order) the entry: " << Utf8(text) << "\n--- debug log ---\n";
      for (const auto& e : log.entries) failure << "[" << Utf8(e.level) << "] " << Utf8(e.text) << "\n";
      return failure;
    }
    from = static_cast<size_t>(at) + 1;
  }
  return ::testing::AssertionSuccess();
}

bool LogHasError(const DebugLogFile& log, const std::wstring& text) {
  for (const auto& e : log.entries) {
    if (e.level == L"エラー" && EntryIs(e, text)) return true;
  }
  return false;
}

bool LogHasEntry(const DebugLogFile& log, const std::wstring& text) {
  for (const auto& e : log.entries) {
    if (EntryIs(e, text)) return true;
  }
  return false;
}

bool LogHasPrefix(const DebugLogFile& log, const std::wstring& prefix) {
  for (const auto& e : log.entries) {
    if (e.text.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

}  // namespace tavo_test

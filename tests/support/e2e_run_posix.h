#pragma once
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/log_reader.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"

namespace tavo_test {

// One package of a published download server tree: the file the server
// serves (for the simulated Windows Installer, a package text) and its row of
// DownloadConfig.xml. The digest is computed by the publishing tool unless
// `hash` says otherwise.
struct E2ePackage {
  std::string file = "tavo_tns.msi";
  std::string content;
  std::string name = "TAVO Net Shield";
  std::string version = "10.0.2032.10";
  int execType = 1;
  int architecture = 99;
  int productType = 99;
  int targetOs = 0;
  int errorSkip = 0;
  std::string hash = "auto";  // "auto", "0" or a text used as given
  std::string saveFilePath;
  // A file that already lies in the package folder (a large sparse file, for
  // example) and is published as it is; `content` is then not written.
  bool existingFile = false;
};

struct E2eNotice {
  std::string title;
  std::string url = "https://www.tavo-security.jp/support/";
  std::string color = "204,0,0";
  int conditionType = 2;
  int conditionValue = 99;
};

// What the publishing tool is asked to build.
struct E2eServerTree {
  std::vector<E2ePackage> packages;
  bool versionFile = true;
  long long lastVersion = 2000000;
  long long settingsVersion = 0;
  long long notificationVersion = 0;
  std::string setupExe;  // a newer launcher to publish (a path), or empty
  std::map<std::string, std::string> latest;  // "TNS" -> "10.0.2032.10"
  bool publishNotices = false;
  std::vector<E2eNotice> notices;
};

// The launcher settings file beside Setup.exe.
struct E2eSettings {
  int productType = 5;
  int packageType = 1;
  int installType = 0;
  long long downloaderVersion = 2000000;
  long long settingsVersion = 1;
  std::vector<std::string> servers;  // empty: the run's own server
  std::vector<std::pair<std::string, std::string>> conflictPackages;  // display name, registry key
  std::vector<std::string> conflictSoftware;
  std::vector<std::string> conflictSecurityCenter;
};

struct E2eResult {
  std::string screen;  // everything Setup.exe printed
  DebugLogFile log;    // the machine's TAVODebugLog.txt after the run
  bool timedOut = false;
  int exitCode = -1;  // -1 when the launcher did not exit by itself (a crash, a kill)
  double seconds = 0;

  bool ScreenHas(const std::string& text) const { return screen.find(text) != std::string::npos; }
  // The last screen drawn (the text after the last separator line).
  std::string LastScreen() const;
  // Entries at error level.
  std::vector<std::wstring> Errors() const;
};

// A whole run of the real launcher: a fresh simulated machine (Windows 10 x64
// workstation, the simulated Windows Installer in its system folder), a
// loopback download server whose tree is built by tools/publish/publish.py,
// and a launcher folder with a copy of Setup.exe and its settings file.
// Every object has its own machine, server and folders, so runs may go on in
// parallel processes.
class E2eRun {
 public:
  struct Paths {
    std::string setupExe;   // the Setup.exe of this build
    std::string sourceDir;  // the project's source folder (for the publishing tool)
  };

  explicit E2eRun(const Paths& paths);
  ~E2eRun();
  E2eRun(const E2eRun&) = delete;
  E2eRun& operator=(const E2eRun&) = delete;

  // False with a reason when the machine, the server or the launcher could not be set up.
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  SimMachine& machine() { return *machine_; }
  LoopbackServer& server() { return server_; }

  std::wstring LauncherFolder() const { return launcher_; }
  std::wstring MachineTempFolder() const;
  std::wstring DebugLogPath() const;
  // The server's base address, "http://127.0.0.1:<port>/".
  std::string BaseUrl() const;
  // A base address on which nothing listens.
  static std::string DeadServerUrl();

  // Builds the server tree with the publishing tool; false (and a reason in
  // error()) when the tool failed.
  bool Publish(const E2eServerTree& tree);
  bool WriteSettings(const E2eSettings& settings);
  static std::string SettingsXml(const E2eSettings& settings, const std::string& defaultServer);
  bool WriteNotices(const std::vector<E2eNotice>& notices, int version = 1);
  static std::string NoticesXml(const std::vector<E2eNotice>& notices, int version);
  // Any file beside the launcher ("TNS/tns_nt64_jpn.pkg").
  bool WriteLauncherFile(const std::string& relative, const std::string& bytes);
  std::string ReadLauncherFile(const std::string& relative) const;
  // The folder the publishing tool takes the packages from.
  std::wstring PackageSourceFolder() const { return source_ + L"packages/"; }

  // Starts the copy of Setup.exe with the arguments, hands it the keys on
  // standard input and waits for it to end.
  E2eResult Run(const std::vector<std::string>& args = {}, const std::string& keys = std::string(),
                int timeoutSeconds = 60);

 private:
  Paths paths_;
  std::string error_;
  TempDir work_;  // made before the machine, so it lies outside the machine's temporary folder
  std::wstring launcher_;
  std::wstring source_;
  LoopbackServer server_;
  std::unique_ptr<SimMachine> machine_;
};

// A package text for the simulated Windows Installer: the edition and version
// it installs, then the given lines.
std::string SimPackage(const std::string& productName, const std::string& productVersion,
                       const std::vector<std::string>& lines = {});

// The log is whole: one byte-order mark at the start, every line ended by CR
// LF and shaped as an entry "[stamp] [level] [text]" with a known level.
::testing::AssertionResult LogIsWhole(const DebugLogFile& log);
// Whether an entry says this text: exactly, or, at error level, followed by
// the system error " (ERRORCODE n)".
bool EntryIs(const LogEntry& entry, const std::wstring& text);
// The texts occur as entries in this order (others may lie between them).
::testing::AssertionResult LogHasInOrder(const DebugLogFile& log, const std::vector<std::wstring>& texts);
// An entry with this text at error level ("エラー").
bool LogHasError(const DebugLogFile& log, const std::wstring& text);
// An entry with this text at any level.
bool LogHasEntry(const DebugLogFile& log, const std::wstring& text);
// An entry whose text begins with this prefix.
bool LogHasPrefix(const DebugLogFile& log, const std::wstring& prefix);

}  // namespace tavo_test

// The Windows pieces of the installation engine, run under Wine: starting a
// real child program, moving and securing a real file, the event log, and
// whole install-thread runs against the loopback download server.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "app/paths.h"
#include "install/install_result.h"
#include "install/install_thread.h"
#include "install/package_execution.h"
#include "platform/error.h"
#include "platform/event_log.h"
#include "platform/file_security.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/run_process.h"
#include "tests/install/install_test_util.h"
#include "tests/support/log_capture.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace {

using install_test::ConfigPackage;
using install_test::CountInLog;
using install_test::LogHasInOrder;
using install_test::RecordingClock;
using install_test::RecordingSink;
using install_test::StepsUpTo;
using tavo_test::LogCapture;
using tavo_test::LoopbackServer;
using tavo_test::ReadBytes;
using tavo_test::TempDir;
using tavo_test::WriteBytes;

// The child built beside the tests: ends with the code of its first argument.
std::wstring ChildExe() { return ParentFolder(platform::GetModulePath()) + L"exit_code_child.exe"; }
std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// --- RunProcess -------------------------------------------------------------------

TEST(RunProcessWin, AChildsExitCodeAllThirtyTwoBits) {
  ASSERT_TRUE(platform::FileExists(ChildExe())) << "exit_code_child.exe is not built";
  for (uint32_t code : {0u, 1u, 1603u, 3010u, 0xC0000005u}) {
    int32_t exitCode = 12345;
    uint32_t error = 99;
    EXPECT_TRUE(platform::RunProcess(&error, Quoted(ChildExe()) + L" " + std::to_wstring(code), L"", true, true,
                                     platform::kInfiniteWait, &exitCode));
    EXPECT_EQ(static_cast<int32_t>(code), exitCode) << code;
  }
}

TEST(RunProcessWin, ArgumentsFollowAfterOneBlankAndTheWindowMayBeHidden) {
  int32_t exitCode = 0;
  EXPECT_TRUE(platform::RunProcess(nullptr, Quoted(ChildExe()), L"42", true, false, platform::kInfiniteWait,
                                   &exitCode));
  EXPECT_EQ(42, exitCode);
}

TEST(RunProcessWin, AMissingProgramIsNotCreated) {
  TempDir dir;
  int32_t exitCode = 12345;
  uint32_t error = 0;
  EXPECT_FALSE(platform::RunProcess(&error, Quoted(dir.File(L"missing.exe")), L"", true, true,
                                    platform::kInfiniteWait, &exitCode));
  EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_NOT_FOUND), error);
  EXPECT_EQ(12345, exitCode);
}

TEST(RunProcessWin, WithoutWaitingOrAfterTheTimeout) {
  int32_t exitCode = 12345;
  EXPECT_TRUE(platform::RunProcess(nullptr, Quoted(ChildExe()) + L" 7", L"", false, true, 0, &exitCode));
  EXPECT_EQ(12345, exitCode);
  EXPECT_TRUE(platform::RunProcess(nullptr, Quoted(ChildExe()) + L" 7 3000", L"", true, true, 20, &exitCode));
  EXPECT_EQ(platform::kStillActive, exitCode);
}

// --- file moves and access ----------------------------------------------------------

TEST(FileSecurityWin, MoveFileReplacingReplacesAndReportsMissingFiles) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File(L"new.dll"), "new"));
  ASSERT_TRUE(WriteBytes(dir.File(L"tguiScan.dll"), "old"));
  EXPECT_TRUE(platform::MoveFileReplacing(dir.File(L"tguiScan.dll"), dir.File(L"tguiScanDeleteFile")));
  EXPECT_TRUE(platform::MoveFileReplacing(dir.File(L"new.dll"), dir.File(L"tguiScan.dll")));
  EXPECT_EQ("new", ReadBytes(dir.File(L"tguiScan.dll")));
  EXPECT_EQ("old", ReadBytes(dir.File(L"tguiScanDeleteFile")));
  EXPECT_FALSE(platform::FileExists(dir.File(L"new.dll")));
  EXPECT_FALSE(platform::MoveFileReplacing(dir.File(L"new.dll"), dir.File(L"tguiScan.dll")));
  EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_NOT_FOUND), platform::LastError());
}

// True when the file's access list allows the group "Users" the mask.
bool UsersAllowed(const std::wstring& path, uint32_t mask) {
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  PSID users = nullptr;
  ::ConvertStringSidToSidW(L"S-1-5-32-545", &users);
  bool found = false;
  for (DWORD i = 0; acl && users && i < acl->AceCount && !found; ++i) {
    void* ace = nullptr;
    if (!::GetAce(acl, i, &ace)) continue;
    auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    found = ::EqualSid(&allowed->SidStart, users) && (allowed->Mask & mask) == mask;
  }
  if (users) ::LocalFree(users);
  ::LocalFree(descriptor);
  return found;
}

bool RunningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

TEST(FileSecurityWin, GrantFileAccessAddsAnEntryForUsers) {
  TempDir dir;
  const std::wstring file = dir.File(L"tguiScan.dll");
  ASSERT_TRUE(WriteBytes(file, "x"));
  EXPECT_TRUE(platform::GrantFileAccess(L"Users", file, platform::kFileGenericExecute));
  // Wine accepts an access list but keeps only what the Unix permission bits
  // can hold (owner and everyone), so the entry can be read back on Windows only.
  if (!RunningUnderWine()) {
    EXPECT_TRUE(UsersAllowed(file, platform::kFileGenericExecute));
  }
  EXPECT_EQ("x", ReadBytes(file));
  EXPECT_FALSE(platform::GrantFileAccess(L"Users", dir.File(L"missing.dll"), platform::kFileGenericExecute));
  EXPECT_FALSE(platform::GrantFileAccess(L"No Such Group Of Users", file, platform::kFileGenericExecute));
}

// --- the event log -----------------------------------------------------------------

TEST(EventLogWin, TheApplicationLogOpensAndIsReadBackwards) {
  platform::EventLogReader reader;
  ASSERT_TRUE(reader.Open(L"Application"));
  platform::EventLogRecord record;
  // Wine keeps no records: the first read ends the log.
  int read = 0;
  while (read < 5 && reader.ReadPrevious(&record)) ++read;
  if (read == 0) {
    EXPECT_EQ(platform::kErrorHandleEof, platform::LastError());
  }
}

TEST(EventLogWin, NoInstallerRecordMeansNotExecuted) {
  LogCapture log;
  LauncherContext context;
  TempDir work;
  context.WorkFolder = work.path();
  context.Settings.ProductType = 1;
  const int64_t start = static_cast<int64_t>(::time(nullptr)) + 5;  // no record can be that new
  int32_t code = 0;
  EXPECT_FALSE(ReadExitCodeFromEventLog(context.Settings, start, &code));
  EXPECT_EQ(0, code);
  EXPECT_TRUE(log.Contains(L"Windowsログの取得に失敗しました") || log.Contains(L"Windowsログの取得を終了しました"));
  int32_t detail = 0;
  bool logClass = false, notExecuted = false;
  EXPECT_EQ(InstallOutcome::NotExecuted, DetermineInstallOutcome(&context, start, &detail, &logClass, &notExecuted));
  EXPECT_EQ(-1, detail);
  EXPECT_TRUE(notExecuted);
  EXPECT_FALSE(logClass);
}

// --- whole runs ---------------------------------------------------------------------

class InstallThreadWin : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
    context_.Settings.ProductType = 1;
    context_.Settings.DownloadServers = {server_.BaseUrl()};
    context_.WorkFolder = work_.path();
    context_.DownloadConfigPath = work_.File(L"DownloadConfig.xml");
    context_.LauncherFolder = launcher_.path();
    context_.InstallerMessage = L"(unchanged)";
  }
  ConfigPackage Served(const std::string& name, const std::string& bytes, int execType = 1) {
    EXPECT_TRUE(server_.WriteFile("/pkg/" + name, bytes));
    ConfigPackage package;
    package.url = server_.Url("/pkg/" + name);
    package.fileName = std::wstring(name.begin(), name.end());
    package.execType = execType;
    return package;
  }
  ConfigPackage Command(const std::wstring& command, int successCode) {
    ConfigPackage package = Served("tool.txt", "x", 2);
    package.execCommand = command;
    package.execSuccessCode = successCode;
    return package;
  }
  void Serve(const std::vector<ConfigPackage>& packages) {
    ASSERT_TRUE(server_.WriteFile("/DownloadConfig.xml", install_test::DownloadConfigXml(packages)));
  }
  int32_t RunThread() {
    CInstallThread thread(context_, clock_);
    thread.NotifyWindow = &sink_;
    return thread.Run();
  }
  ::testing::AssertionResult Finished(int32_t result, int32_t detail, const std::vector<int>& steps) {
    if (sink_.Steps() != steps) return ::testing::AssertionFailure() << "unexpected step sequence";
    if (sink_.DoneCount() != 1 || !sink_.DoneIsLast()) {
      return ::testing::AssertionFailure() << "WM_INSTALL_DONE must be sent once, last";
    }
    if (sink_.Result() != result || sink_.Detail() != detail) {
      return ::testing::AssertionFailure() << "result " << sink_.Result() << " detail " << sink_.Detail();
    }
    return ::testing::AssertionSuccess();
  }

  LogCapture log_;
  LoopbackServer server_;
  TempDir work_;
  TempDir launcher_;
  LauncherContext context_;
  RecordingClock clock_;
  RecordingSink sink_;
};

TEST_F(InstallThreadWin, Result1WhenTheCommandSucceeds) {
  Serve({Command(Quoted(ChildExe()) + L" 5", 5)});
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(Finished(1, 5, StepsUpTo(10)));
  EXPECT_TRUE(LogHasInOrder(log_, {L"以下のコマンドを実行します。", Quoted(ChildExe()) + L" 5", L"インストールの実行処理（成功）",
                                  L"インストール処理を完了しました。", L"tguiScan.dllを置き換えました。"}));
}

TEST_F(InstallThreadWin, Result7WithTheCommandsExitCode) {
  Serve({Command(Quoted(ChildExe()) + L" 1603", 0)});
  EXPECT_EQ(7, RunThread());
  EXPECT_TRUE(Finished(7, 1603, StepsUpTo(10)));
  EXPECT_EQ(L"(unchanged)", context_.InstallerMessage);
  EXPECT_TRUE(LogHasInOrder(log_, {L"プログラムの実行に失敗しました（エラー値）。", L"インストールに失敗しました。"}));
}

TEST_F(InstallThreadWin, Result15WhenAnInstallerLeavesNoRecord) {
  std::string child = ReadBytes(ChildExe());
  ASSERT_FALSE(child.empty());
  Serve({Served("setup.exe", child)});
  EXPECT_EQ(15, RunThread());
  EXPECT_TRUE(Finished(15, -1, StepsUpTo(10)));
  EXPECT_TRUE(LogHasInOrder(log_, {L"以下のインストールコマンドを実行します。", Quoted(work_.File(L"setup.exe")),
                                  L"プログラムの実行をキャンセルしました。", L"インストールに失敗しました。"}));
}

TEST_F(InstallThreadWin, Result15ThroughTheSystemsWindowsInstaller) {
  Serve({Served("tavo.msi", "not a Windows Installer database")});
  EXPECT_EQ(15, RunThread());
  EXPECT_TRUE(Finished(15, -1, StepsUpTo(10)));
  EXPECT_TRUE(LogHasInOrder(log_, {L"以下のインストールコマンドを実行します。",
                                  NetworkMsiCommand(platform::GetSystemFolder(), work_.File(L"tavo.msi"),
                                                    work_.File(L"TAVOInstallLog.txt"), work_.File(L"dpkg.xml")),
                                  L"プログラムの実行をキャンセルしました。"}));
}

TEST_F(InstallThreadWin, Result3Through9BeforeTheInstallation) {
  struct Case {
    const char* name;
    int32_t result;
    int lastStep;
  };
  for (const Case& c : {Case{"no server", 3, 2}, Case{"no configuration", 4, 4}, Case{"bad configuration", 5, 6},
                        Case{"package missing", 6, 8}, Case{"hash mismatch", 9, 8}}) {
    ASSERT_TRUE(server_.ClearRules());
    context_.Settings.DownloadServers = {server_.BaseUrl()};
    ConfigPackage package = Served("tavo.msi", "x");
    const std::string name = c.name;
    if (name == "no server") {
      context_.Settings.DownloadServers = {L"http://127.0.0.1:" + std::to_wstring(tavo_test::UnusedLoopbackPort()) +
                                           L"/"};
    }
    if (name == "no configuration") {
      ASSERT_TRUE(server_.SetRule("/DownloadConfig.xml", "status=404"));
    }
    if (name == "bad configuration") package.name.clear();
    if (name == "package missing") {
      ASSERT_TRUE(server_.SetRule("/pkg/tavo.msi", "status=404"));
    }
    if (name == "hash mismatch") package.hash = L"0123456789abcdef0123456789abcdef";
    Serve({package});
    sink_.Clear();
    EXPECT_EQ(c.result, RunThread()) << c.name;
    EXPECT_TRUE(Finished(c.result, 0, StepsUpTo(c.lastStep))) << c.name;
  }
}

TEST_F(InstallThreadWin, LocalInstallRunsTheEditionsInstallerBesideTheLauncher) {
  context_.Settings.InstallType = 1;
  ASSERT_TRUE(platform::CreateFolder(launcher_.File(L"TTS")));
  ASSERT_TRUE(WriteBytes(launcher_.File(L"TTS\\tts_nt64_jpn.exe"), ReadBytes(ChildExe())));
  EXPECT_EQ(15, RunThread()) << "the stand-in leaves no Windows Installer record";
  EXPECT_TRUE(Finished(15, -1, {9, 10}));
  EXPECT_TRUE(LogHasInOrder(log_, {L"ローカルインストールを行います。", L"以下のコマンドを実行します。",
                                  Quoted(launcher_.File(L"TTS\\tts_nt64_jpn.exe")),
                                  L"プログラムの実行をキャンセルしました"}));
  EXPECT_TRUE(server_.Requests().empty());
}

}  // namespace

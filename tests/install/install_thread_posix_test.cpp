// Whole runs of the install thread on simulated machines: the download
// server is the loopback server, the installers are the simulated Windows
// Installer and its stand-ins, nothing inside the launcher is replaced.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "app/paths.h"
#include "app/ui_call_queue.h"
#include "env/installed_edition.h"
#include "app/worker_threads.h"
#include "install/install_thread.h"
#include "install/package_execution.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "tests/install/install_test_util.h"
#include "tests/support/log_capture.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sim_installer_posix.h"
#include "tests/support/sim_machine_posix.h"
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
using tavo_test::SimMachine;
using tavo_test::TempDir;
using tavo_test::WriteBytes;
using Lines = std::vector<std::wstring>;

const wchar_t kUnchanged[] = L"(unchanged)";
const std::string kProduct = "ProductName=TAVO Total Shield\nProductVersion=9.0.1.2\n";

class InstallThreadRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
    ASSERT_TRUE(tavo_test::InstallSimulatedInstaller()) << "the simulated Windows Installer is not built";
    context_.Settings.ProductType = 1;
    context_.Settings.DownloadServers = {server_.BaseUrl()};
    context_.WorkFolder = EnsureTrailingSeparator(platform::GetTempFolder());
    context_.DownloadConfigPath = context_.WorkFolder + L"DownloadConfig.xml";
    context_.LauncherFolder = launcher_.path();
    context_.InstallerMessage = kUnchanged;
  }

  // A file on the server at /pkg/<name>, listed as a package of that name.
  ConfigPackage Served(const std::string& name, const std::string& bytes, int execType = 1) {
    EXPECT_TRUE(server_.WriteFile("/pkg/" + name, bytes));
    ConfigPackage package;
    package.url = server_.Url("/pkg/" + name);
    package.fileName = platform::Utf8ToWide(name);
    package.execType = execType;
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
  std::wstring Work(const wchar_t* name) const { return context_.WorkFolder + name; }
  std::wstring MsiCommand(const wchar_t* packageName) const {
    return NetworkMsiCommand(platform::GetSystemFolder(), Work(packageName), Work(L"TAVOInstallLog.txt"),
                             Work(L"dpkg.xml"));
  }
  std::string EventLog() const { return machine_.ReadFile("eventlog.tsv"); }

  SimMachine machine_;
  LogCapture log_;
  LoopbackServer server_;
  TempDir launcher_;
  LauncherContext context_;
  RecordingClock clock_;
  RecordingSink sink_;
};

// --- success ------------------------------------------------------------------

TEST_F(InstallThreadRun, Result1InstallsThroughTheWindowsInstaller) {
  ConfigPackage big = Served("big.bin", std::string(200 * 1024 - 10, 'b'), 3);
  big.fileSizeKb = 200;
  Serve({Served("dpkg.xml", "<dpkg/>", 3), big, Served("tavo.msi", kProduct + "ExitCode=0\n")});
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(Finished(1, 0, StepsUpTo(10)));
  EXPECT_EQ(L"", context_.InstallerMessage) << "the product's log was found and named no error";
  EXPECT_EQ((std::vector<uint32_t>{1000, 1000}), clock_.waits);
  EXPECT_EQ((Lines{L"100KB/200KB", L"200KB/200KB"}), sink_.ProgressBetween(7, 8)) << "the download progress goes to the window";
  EXPECT_TRUE(LogHasInOrder(
      log_, {L"インストールスレッドを実行します。", L"インストール処理を実行します。", L"ネットワークインストールを実行します。",
             L"ネットワーク接続確認を行います。", L"接続を確認しました。", L"ネットワーク接続を確認しました。",
             L"設定ファイルのダウンロードを行います。", L"設定ファイル(DLConfig)のダウンロードに成功しました。",
             L"設定ファイルの解析を行います。", L"設定ファイルの解析に成功しました。",
             L"パッケージのダウンロードを行います。", L"パッケージのダウンロードに成功しました。",
             L"インストール処理を行います。", L"パッケージのインストールを行います。",
             L"以下のインストールコマンドを実行します。", MsiCommand(L"tavo.msi"),
             L"Windowsログから終了コードを取得しました）", L"インストールの実行処理（成功）",
             L"インストール処理を完了しました。", L"オンラインラインモードで実行します。",
             L"DLLファイルが存在しないため、ファイルのコピーを実行しません。", L"tguiScan.dllを置き換えました。",
             L"インストールスレッドを実行しました。"}));
  // The product is installed: the edition check now sees it.
  std::wstring name;
  EXPECT_TRUE(GetInstalledProductName(&name));
  EXPECT_EQ(L"TAVO Total Shield", name);
  // The Windows Installer got the distribution file and wrote the verbose log.
  std::wstring verbose = platform::Utf16LeToWide(ReadBytes(Work(L"TAVOInstallLog.txt")).substr(2));
  EXPECT_NE(std::wstring::npos, verbose.find(L"DISTRIBUTION_PACKAGE = " + Work(L"dpkg.xml")));
  EXPECT_NE(std::wstring::npos, verbose.find(L"IGNORE_CONFLICTS = 1"));
  EXPECT_EQ("<dpkg/>", ReadBytes(Work(L"dpkg.xml")));
}

TEST_F(InstallThreadRun, Result1ReplacesTheScannerLibraryWithTheDownloadedOne) {
  Serve({Served("tguiScan.dll", "new scanner library", 3), Served("tavo.msi", kProduct)});
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(Finished(1, 0, StepsUpTo(10)));
  std::wstring installDir;
  ASSERT_TRUE(GetInstallDir(&installDir));
  EXPECT_EQ("new scanner library", ReadBytes(EnsureTrailingSeparator(installDir) + L"tguiScan.dll"));
  EXPECT_EQ("installed by TAVO Total Shield 9.0.1.2\n", ReadBytes(Work(L"tguiScanDeleteFile")));
  EXPECT_TRUE(LogHasInOrder(log_, {L"DLLファイルのコピーに成功しました。", L"tguiScan.dllを置き換えました。"}));
}

TEST_F(InstallThreadRun, Result1WhenTheInstallerAsksForARestart) {
  Serve({Served("tavo.msi", kProduct + "ExitCode=3010\nLiveLogReturn=3010\n")});
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(Finished(1, 3010, StepsUpTo(10))) << "the detail is the installer's code";
}

TEST_F(InstallThreadRun, Result1WithoutPackages) {
  Serve({});
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(Finished(1, 0, StepsUpTo(10)));
  EXPECT_EQ(kUnchanged, context_.InstallerMessage);
  EXPECT_TRUE(LogHasInOrder(log_, {L"インストール処理を完了しました。", L"tguiScan.dllを置き換えました。"}));
  EXPECT_EQ("", EventLog());
}

// --- failures before the installation ---------------------------------------------

TEST_F(InstallThreadRun, Result3WhenNoServerAnswersThreeTimes) {
  context_.Settings.DownloadServers = {
      platform::Utf8ToWide("http://127.0.0.1:" + std::to_string(tavo_test::UnusedLoopbackPort()) + "/")};
  EXPECT_EQ(3, RunThread());
  EXPECT_TRUE(Finished(3, 0, {1, 2}));
  EXPECT_EQ(3, CountInLog(log_, L"接続確認に失敗しました。"));
  EXPECT_EQ(0, CountInLog(log_, L"ネットワーク接続を確認しました。"));
  EXPECT_TRUE(clock_.waits.empty());
  EXPECT_EQ(0, CountInLog(log_, L"tguiScan.dllを置き換えました。"));
}

TEST_F(InstallThreadRun, AServerThatIsDownIsPassedOverByTheProbe) {
  const std::wstring down =
      platform::Utf8ToWide("http://127.0.0.1:" + std::to_string(tavo_test::UnusedLoopbackPort()) + "/");
  context_.Settings.DownloadServers = {down, server_.BaseUrl()};
  Serve({});
  EXPECT_EQ(1, RunThread());
  EXPECT_EQ(1, CountInLog(log_, L"接続確認に失敗しました。"));
  EXPECT_EQ(1, CountInLog(log_, L"ネットワーク接続を確認しました。"));
}

TEST_F(InstallThreadRun, Result4WhenTheConfigurationCannotBeDownloaded) {
  Serve({});
  ASSERT_TRUE(server_.SetRule("/DownloadConfig.xml", "status=404"));
  EXPECT_EQ(4, RunThread());
  EXPECT_TRUE(Finished(4, 0, StepsUpTo(4)));
  EXPECT_EQ((std::vector<uint32_t>{1000}), clock_.waits);
  EXPECT_TRUE(LogHasInOrder(log_, {L"設定ファイルのダウンロードを行います。", L"設定ファイル(DLConfig)のダウンロードに失敗しました。",
                                  L"設定ファイルのダウンロードに失敗しました。", L"インストールスレッドを実行しました。"}));
}

TEST_F(InstallThreadRun, Result5WhenARequiredValueIsMissing) {
  ConfigPackage package = Served("tavo.msi", kProduct);
  package.version.clear();
  Serve({package});
  EXPECT_EQ(5, RunThread());
  EXPECT_TRUE(Finished(5, 0, StepsUpTo(6)));
  EXPECT_TRUE(LogHasInOrder(log_, {L"設定ファイルの解析を行います。", L"設定ファイルの解析に失敗しました。"}));
  EXPECT_TRUE(server_.RequestsFor("/pkg/tavo.msi").empty());
}

TEST_F(InstallThreadRun, Result6WhenAPackageCannotBeDownloaded) {
  ConfigPackage missing = Served("tavo.msi", kProduct);
  ASSERT_TRUE(server_.SetRule("/pkg/tavo.msi", "status=404"));
  Serve({missing});
  EXPECT_EQ(6, RunThread());
  EXPECT_TRUE(Finished(6, 0, StepsUpTo(8)));
  EXPECT_EQ(3u, server_.RequestsFor("/pkg/tavo.msi").size());
  EXPECT_TRUE(LogHasInOrder(log_, {L"パッケージのダウンロードを行います。", L"ファイルのダウンロードに失敗しました。"}));
  EXPECT_EQ("", EventLog()) << "nothing is installed";
}

TEST_F(InstallThreadRun, Result9WhenAPackageFailsItsHash) {
  ConfigPackage package = Served("tavo.msi", kProduct);
  package.hash = L"0123456789abcdef0123456789abcdef";
  Serve({package});
  EXPECT_EQ(9, RunThread());
  EXPECT_TRUE(Finished(9, 0, StepsUpTo(8)));
  EXPECT_TRUE(LogHasInOrder(log_, {L"ハッシュデータに誤りがあります。", L"ファイルのダウンロードに失敗しました。"}));
  EXPECT_EQ("", EventLog());
}

// --- installer outcomes ----------------------------------------------------------

const std::string kFailingAction =
    "LiveLogLine=Action start 10:00:00: InstallServices.\n"
    "LiveLogLine=MSI (s) Product: TAVO -- Error 1920. Service 'TAVO Service' (tvkr) failed to start.\n"
    "LiveLogLine=MSI (s) Product: TAVO -- Error 1920 again\n"
    "LiveLogLine=MSI (s) Product: TAVO -- error 2203: Database\n"
    "LiveLogLine=Action ended 10:00:03: InstallServices. Return value 3.\n";

struct OutcomeCase {
  const char* name;
  std::string package;  // the simulated installer's package, after the product lines
  int32_t result;
  int32_t detail;
  const wchar_t* message;  // InstallerMessage afterwards
  std::vector<std::wstring> lines;
};

class InstallOutcomeRun : public InstallThreadRun, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(InstallOutcomeRun, ResultDetailMessageAndLog) {
  const OutcomeCase& c = GetParam();
  Serve({Served("tavo.msi", kProduct + c.package)});
  EXPECT_EQ(c.result, RunThread());
  EXPECT_TRUE(Finished(c.result, c.detail, StepsUpTo(10)));
  EXPECT_EQ(std::wstring(c.message), context_.InstallerMessage);
  EXPECT_TRUE(LogHasInOrder(log_, c.lines));
  if (c.result != 1) {
    EXPECT_TRUE(LogHasInOrder(log_, {L"インストールの実行に失敗しました（戻り値エラー）。", L"スキップモードを実行しません。",
                                    L"インストールに失敗しました。", L"インストールスレッドを実行しました。"}));
    EXPECT_EQ(0, CountInLog(log_, L"tguiScan.dllを置き換えました。"));
  }
}

const Lines kTaken = {L"Windowsログから終了コードを取得しました）"};

INSTANTIATE_TEST_SUITE_P(
    Results, InstallOutcomeRun,
    ::testing::Values(
        OutcomeCase{"ExitCodeWithoutProductLog", "ExitCode=1603\nLiveLog=0\n", 7, 1603, kUnchanged, kTaken},
        OutcomeCase{"ExitCodeWithAn1603Log", "ExitCode=1603\n" + kFailingAction, 7, 1603, L" [1920, 2203]", kTaken},
        OutcomeCase{"ExitZeroButTheRecordSays1603", "ExitCode=0\nEventStatus=1603\nLiveLog=0\n", 7, 1603, kUnchanged,
                    kTaken},
        OutcomeCase{"RecordWithoutStatusKeepsTheFullExitCode", "ExitCode=1603\nEventStrings=3\nLiveLog=0\n", 7, 1603,
                    kUnchanged, kTaken},
        OutcomeCase{"Class0", "ExitCode=1603\nLiveLogReturn=0\n", 8, 0, L"", kTaken},
        OutcomeCase{"Class1", "ExitCode=1603\nLiveLogReturn=1601\n" + kFailingAction +
                                  "LiveLogLine=Action start 1: A.\nLiveLogLine= Error 1601 .\n",
                    8, 1, L" [1920, 2203]", kTaken},
        OutcomeCase{"Class1NumbersAgainst1601",
                    "ExitCode=1603\nLiveLogReturn=1601\nLiveLogLine=Action start 1: A.\n"
                    "LiveLogLine= Error 1601 and 1603 .\nLiveLogLine=Action ended 2: A. Return value 3.\n",
                    8, 1, L" [1603]", kTaken},
        OutcomeCase{"Class4ServiceNotStopped", "ExitCode=1603\nLiveLogService=stop\n", 8, 4, L"", kTaken},
        OutcomeCase{"Class5ServiceNotDeleted", "ExitCode=1603\nLiveLogService=delete\n", 8, 5, L"", kTaken},
        OutcomeCase{"Class7AnotherInstallation", "ExitCode=1618\n", 8, 7, L"", kTaken},
        OutcomeCase{"NotExecutedWithoutRecord", "EventLog=0\n", 15, -1, kUnchanged,
                    {L"Windowsログの取得に失敗しました", L"プログラムの実行をキャンセルしました。"}},
        OutcomeCase{"NotExecutedWithAnOlderRecord", "EventTimeOffset=-3600\n", 15, -1, kUnchanged,
                    {L"Windowsログの取得を終了しました", L"プログラムの実行をキャンセルしました。"}},
        OutcomeCase{"NotExecutedWhenTheRecordNamesAnotherEdition", "EventProduct=TAVO Net Shield\n", 15, -1,
                    kUnchanged, {L"Windowsログの取得に失敗しました"}},
        OutcomeCase{"NotExecutedWhenTheRecordHasAnotherSource", "EventSource=Other Installer\n", 15, -1, kUnchanged,
                    {L"Windowsログの取得に失敗しました"}},
        OutcomeCase{"TavoSecurityRecordCounts", "EventProduct=TAVO Security\nExitCode=1603\nLiveLog=0\n", 7, 1603,
                    kUnchanged, kTaken}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

// --- package kinds and skip mode ----------------------------------------------------

TEST_F(InstallThreadRun, ExecType2SucceedsOnItsOwnSuccessCode) {
  for (int exitCode : {5, 0}) {
    ConfigPackage command = Served("tool.txt", "x", 2);
    command.execCommand = L"/bin/sh -c \"exit " + std::to_wstring(exitCode) + L"\"";
    command.execSuccessCode = 5;
    Serve({command});
    log_.Clear();
    RecordingSink sink;
    CInstallThread thread(context_, clock_);
    thread.NotifyWindow = &sink;
    const int32_t result = thread.Run();
    if (exitCode == 5) {
      EXPECT_EQ(1, result);
      EXPECT_TRUE(LogHasInOrder(log_, {L"以下のコマンドを実行します。", command.execCommand, L"インストールの実行処理（成功）"}));
    } else {
      EXPECT_EQ(7, result);
      EXPECT_EQ(0, sink.Detail()) << "the detail is the command's exit code";
      EXPECT_TRUE(LogHasInOrder(log_, {L"プログラムの実行に失敗しました（エラー値）。", L"スキップモードを実行しません。"}));
    }
  }
}

TEST_F(InstallThreadRun, ExecType2CommandsExpandThePathMacros) {
  ConfigPackage msi = Served("cmd.msi", kProduct + "ExitCode=1603\nLiveLog=0\n", 3);
  ConfigPackage command = Served("tool.txt", "x", 2);
  command.execCommand = L"\"*SYSTEM32*/msiexec.exe\" /i \"*USERTEMP*cmd.msi\" /qn";
  command.execSuccessCode = 1603;
  Serve({msi, command});
  EXPECT_EQ(1, RunThread()) << "the 32-bit exit code 1603 is compared whole";
  std::wstring system = platform::GetSystemFolder();
  system.pop_back();
  EXPECT_TRUE(LogHasInOrder(log_, {L"以下のコマンドを実行します。",
                                  L"\"" + system + L"/msiexec.exe\" /i \"" + Work(L"cmd.msi") + L"\" /qn"}));
}

TEST_F(InstallThreadRun, ExecType2WithoutCommandSucceedsAndOneThatCannotStartFails) {
  ConfigPackage empty = Served("a.txt", "x", 2);
  Serve({empty});
  EXPECT_EQ(1, RunThread());
  EXPECT_EQ(0, CountInLog(log_, L"以下のコマンドを実行します。"));

  ConfigPackage broken = Served("b.txt", "x", 2);
  broken.execCommand = L"\"" + Work(L"no-such-program.exe") + L"\"";
  Serve({broken});
  log_.Clear();
  RecordingSink sink;
  CInstallThread thread(context_, clock_);
  thread.NotifyWindow = &sink;
  EXPECT_EQ(7, thread.Run());
  EXPECT_EQ(0, sink.Detail());
  EXPECT_TRUE(LogHasInOrder(log_, {L"プログラムの実行に失敗しました。", L"スキップモードを実行しません。"}));
}

TEST_F(InstallThreadRun, ExecType3IsDownloadedButNotRun) {
  Serve({Served("tavo.msi", kProduct, 3)});
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(platform::FileExists(Work(L"tavo.msi")));
  EXPECT_EQ(0, CountInLog(log_, L"以下のインストールコマンドを実行します。"));
  EXPECT_EQ(0, CountInLog(log_, L"以下のコマンドを実行します。"));
  EXPECT_EQ("", EventLog());
}

TEST_F(InstallThreadRun, PackagesForOtherMachinesAreNeitherDownloadedNorRun) {
  ConfigPackage other = Served("other.msi", kProduct);
  other.architecture = 1;
  other.productType = 2;
  Serve({other, Served("tavo.msi", kProduct)});
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(server_.RequestsFor("/pkg/other.msi").empty());
  EXPECT_EQ(1, CountInLog(log_, L"以下のインストールコマンドを実行します。"));
}

TEST_F(InstallThreadRun, ErrorSkipOnTheFirstOfTwoPackages) {
  ConfigPackage first = Served("a.msi", kProduct + "ExitCode=1603\nLiveLog=0\n");
  first.errorSkip = 1;
  Serve({first, Served("b.msi", kProduct + "LiveLogName=liveinstaller_b.log\n")});
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(Finished(1, 0, StepsUpTo(10)));
  EXPECT_TRUE(LogHasInOrder(log_, {MsiCommand(L"a.msi"), L"インストールの実行に失敗しました（戻り値エラー）。",
                                  L"スキップモードを実行します。", MsiCommand(L"b.msi"), L"インストールの実行処理（成功）",
                                  L"インストール処理を完了しました。"}));
}

TEST_F(InstallThreadRun, WithoutErrorSkipTheFirstFailureStops) {
  Serve({Served("a.msi", kProduct + "ExitCode=1603\nLiveLog=0\n"), Served("b.msi", kProduct)});
  EXPECT_EQ(7, RunThread());
  EXPECT_TRUE(Finished(7, 1603, StepsUpTo(10)));
  EXPECT_EQ(0, CountInLog(log_, MsiCommand(L"b.msi")));
  EXPECT_EQ(1, CountInLog(log_, L"スキップモードを実行しません。"));
}

TEST_F(InstallThreadRun, ASkippedNotExecutedPackageThenASuccessIsASuccess) {
  ConfigPackage first = Served("a.msi", kProduct + "EventLog=0\nLiveLog=0\n");
  first.errorSkip = 1;
  Serve({first, Served("b.msi", kProduct + "LiveLog=0\n")});
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(Finished(1, 0, StepsUpTo(10)));
  EXPECT_TRUE(LogHasInOrder(log_, {L"プログラムの実行をキャンセルしました。", L"スキップモードを実行します。",
                                  MsiCommand(L"b.msi"), L"インストールの実行処理（成功）"}));
}

TEST_F(InstallThreadRun, ASkippedNotExecutedPackageThenAFailureStaysNotExecuted) {
  ConfigPackage first = Served("a.msi", kProduct + "EventLog=0\nLiveLog=0\n");
  first.errorSkip = 1;
  Serve({first, Served("c.msi", kProduct + "ExitCode=1603\nLiveLogService=stop\n")});
  EXPECT_EQ(15, RunThread());
  EXPECT_TRUE(Finished(15, 1603, StepsUpTo(10))) << "the log class is not applied once a package was not executed";
  EXPECT_EQ(2, CountInLog(log_, L"プログラムの実行をキャンセルしました。"));
  EXPECT_TRUE(LogHasInOrder(log_, {L"スキップモードを実行します。", MsiCommand(L"c.msi"),
                                  L"プログラムの実行をキャンセルしました。", L"スキップモードを実行しません。"}));
}

TEST_F(InstallThreadRun, AnUpperCaseMsiExtensionRunsTheFileItself) {
  Serve({Served("setup.MSI", kProduct)});
  EXPECT_EQ(7, RunThread());
  EXPECT_TRUE(Finished(7, 0, StepsUpTo(10)));
  EXPECT_TRUE(LogHasInOrder(log_, {L"以下のインストールコマンドを実行します。", L"\"" + Work(L"setup.MSI") + L"\"",
                                  L"インストールの実行に失敗しました。", L"スキップモードを実行しません。"}));
  EXPECT_EQ("", EventLog()) << "the Windows Installer was not involved";
}

TEST_F(InstallThreadRun, AnInstallerExeRunsItself) {
  Serve({Served("setup.pkg", kProduct + "LiveLogName=liveinstaller_setup.log\n", 3),
         Served("setup.exe", ReadBytes(platform::Utf8ToWide(tavo_test::SimulatedInstallerPath())))});
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(Finished(1, 0, StepsUpTo(10)));
  EXPECT_TRUE(LogHasInOrder(log_, {L"以下のインストールコマンドを実行します。", L"\"" + Work(L"setup.exe") + L"\"",
                                  L"インストールの実行処理（成功）"}));
}

// --- the local install --------------------------------------------------------------

class LocalInstallRun : public InstallThreadRun {
 protected:
  void SetUp() override {
    InstallThreadRun::SetUp();
    context_.Settings.InstallType = 1;
  }
  std::wstring Beside(const wchar_t* relative) const { return launcher_.path() + relative; }
};

TEST_F(LocalInstallRun, TtspOn64BitWindowsRunsItsInstallerBesideTheLauncher) {
  context_.Settings.ProductType = 6;
  ASSERT_TRUE(tavo_test::InstallInstallerStandIn(Beside(L"TTSP/ttsp_nt64_jpn.exe"),
                                                 "ProductName=TAVO Total Shield Plus\nProductVersion=9.0.1.2\n"));
  ASSERT_TRUE(WriteBytes(Beside(L"TTSP/ttsp_nt32_jpn.exe"), "not this one"));
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(Finished(1, 0, {9, 10}));
  EXPECT_TRUE(LogHasInOrder(log_, {L"インストール処理を実行します。", L"ローカルインストールを行います。", L"以下のコマンドを実行します。",
                                  L"\"" + Beside(L"TTSP/ttsp_nt64_jpn.exe") + L"\"", L"プログラムの実行に成功しました。",
                                  L"オフラインモードで実行します。", L"tguiScan.dllを置き換えました。"}));
  EXPECT_TRUE(server_.Requests().empty()) << "nothing is downloaded";
  std::wstring name;
  EXPECT_TRUE(GetInstalledProductName(&name));
  EXPECT_EQ(L"TAVO Total Shield Plus", name);
}

TEST_F(LocalInstallRun, TtsOn32BitWindowsAndTheOfflineLibrary) {
  machine_.SetWindows(10, 0, 1, 0, 0);
  ASSERT_TRUE(tavo_test::InstallInstallerStandIn(Beside(L"TTS/tts_nt32_jpn.exe"), kProduct));
  ASSERT_TRUE(platform::CreateFolder(Beside(L"tools")));
  ASSERT_TRUE(WriteBytes(Beside(L"tools/x86_tguiScan.dll"), "x86 library"));
  ASSERT_TRUE(WriteBytes(Beside(L"tools/x64_tguiScan.dll"), "x64 library"));
  EXPECT_EQ(1, RunThread());
  EXPECT_TRUE(Finished(1, 0, {9, 10}));
  std::wstring installDir;
  ASSERT_TRUE(GetInstallDir(&installDir));
  EXPECT_EQ("x86 library", ReadBytes(EnsureTrailingSeparator(installDir) + L"tguiScan.dll"));
  EXPECT_TRUE(LogHasInOrder(log_, {L"DLLファイルのコピーに成功しました。", L"tguiScan.dllを置き換えました。"}));
}

TEST_F(LocalInstallRun, AMissingInstallerIsResult7) {
  EXPECT_EQ(7, RunThread());
  EXPECT_TRUE(Finished(7, 0, {9, 10}));
  EXPECT_TRUE(LogHasInOrder(log_, {L"以下のコマンドを実行します。", L"\"" + Beside(L"TTS/tts_nt64_jpn.exe") + L"\"",
                                  L"インストールスレッドを実行しました。"}));
}

TEST_F(LocalInstallRun, FailuresAndNotExecuted) {
  struct Case {
    std::string package;
    int32_t result;
    int32_t detail;
    const wchar_t* line;
  };
  const Case cases[] = {
      {"ExitCode=1603\nLiveLog=0\n", 7, 1603, L"プログラムの実行に失敗しました（戻り値エラー）。"},
      {"ExitCode=1603\nLiveLogService=stop\nLiveLogName=liveinstaller_1.log\n", 8, 4,
       L"プログラムの実行に失敗しました（戻り値エラー）。"},
      {"EventLog=0\n", 15, -1, L"プログラムの実行をキャンセルしました"},
  };
  for (const Case& c : cases) {
    SimMachine machine;
    ASSERT_TRUE(tavo_test::InstallSimulatedInstaller());
    context_.WorkFolder = EnsureTrailingSeparator(platform::GetTempFolder());
    ASSERT_TRUE(tavo_test::InstallInstallerStandIn(Beside(L"TTS/tts_nt64_jpn.exe"), kProduct + c.package));
    RecordingSink sink;
    CInstallThread thread(context_, clock_);
    thread.NotifyWindow = &sink;
    log_.Clear();
    EXPECT_EQ(c.result, thread.Run()) << c.package;
    EXPECT_EQ((std::vector<int>{9, 10}), sink.Steps());
    EXPECT_EQ(c.detail, sink.Detail()) << c.package;
    EXPECT_EQ(1, CountInLog(log_, c.line)) << c.package;
  }
}

// --- the thread itself -----------------------------------------------------------------

TEST_F(InstallThreadRun, MessagesAreHandledOnTheWindowsThreadWhileTheWorkerWaits) {
  Serve({Served("tavo.msi", kProduct)});
  std::vector<std::pair<uint32_t, std::thread::id>> handled;
  UiCallQueue window([&](uint32_t message, uintptr_t, intptr_t) {
    handled.push_back({message, std::this_thread::get_id()});
    return 0;
  });
  window.BindToCurrentThread();
  CInstallThread thread(context_, clock_);
  thread.NotifyWindow = &window;
  ASSERT_TRUE(thread.Start());
  while (handled.empty() || handled.back().first != WM_INSTALL_DONE) window.Pump(100);
  thread.Join();
  EXPECT_EQ(1, thread.ExitCode());
  for (const auto& h : handled) EXPECT_EQ(std::this_thread::get_id(), h.second);
}

TEST_F(InstallThreadRun, AStartedThreadDeletesItself) {
  Serve({});
  int32_t result = 0;
  bool done = false;
  UiCallQueue window([&](uint32_t message, uintptr_t, intptr_t lParam) {
    if (message == WM_INSTALL_DONE) {
      result = static_cast<int32_t>(lParam);
      done = true;
    }
    return 0;
  });
  window.BindToCurrentThread();
  ASSERT_TRUE(StartInstallThread(context_, &window, clock_));
  while (!done) window.Pump(100);
  WaitForDetachedWorkers();
  EXPECT_EQ(1, result);
}

TEST_F(InstallThreadRun, ATemporaryObjectRunsTheEnvironmentChecks) {
  machine_.SetRegistryString(L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info", L"ProductName",
                             L"TAVO Net Shield");
  CInstallThread checks(context_);
  EXPECT_EQ(16, checks.RunEnvironmentChecks(CheckCaller::Frame));
  EXPECT_EQ(16, context_.ResultCode);
}

}  // namespace

// Whole runs of the real Setup.exe of this build on simulated machines: one
// test per way a run can end. Each starts the launcher as a user would (with
// its settings file beside it, against a loopback download server whose tree
// the publishing tool made), answers with keys on standard input, and then
// reads what the user saw and what the debug log says.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/posix/registry_file.h"
#include "platform/utf.h"
#include "tests/e2e/e2e_test_base.h"
#include "tests/support/sim_installer_posix.h"

namespace tavo_test {
namespace {

const wchar_t kInfoKey[] = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";

// Every run ends the same way: the launcher stops by itself, its last log
// entry is the end line, and the log is whole.
void ExpectCleanEnd(const E2eResult& result) {
  EXPECT_FALSE(result.timedOut) << result.screen;
  EXPECT_EQ(0, result.exitCode) << "the launcher sets no exit status of its own\n" << result.screen;
  EXPECT_TRUE(LogIsWhole(result.log));
  ASSERT_FALSE(result.log.entries.empty());
  EXPECT_EQ(L"プログラムを開始します。", result.log.entries.front().text);
  EXPECT_EQ(L"プログラムを終了します。", result.log.entries.back().text);
}

std::wstring InstalledProductName(E2eRun& run) {
  platform::posix::RegistryFile registry;
  if (!registry.Load(run.machine().folder() + "registry.reg")) return L"(unreadable registry)";
  const platform::posix::RegistryKeyData* key = registry.FindKey(kInfoKey);
  if (key == nullptr) return std::wstring();
  for (const auto& value : key->values) {
    if (value.name == L"ProductName") return value.text;
  }
  return std::wstring();
}

void InstallProduct(E2eRun& run, const std::wstring& name, const std::wstring& version) {
  run.machine().SetRegistryString(kInfoKey, L"ProductName", name);
  run.machine().SetRegistryString(kInfoKey, L"ProductVersion", version);
  run.machine().SetRegistryString(kInfoKey, L"InstallDir", L"C:\\Program Files\\TAVO\\TAVO Security\\");
}

int CountEntries(const DebugLogFile& log, const std::wstring& text) {
  int count = 0;
  for (const auto& e : log.entries) count += EntryIs(e, text) ? 1 : 0;
  return count;
}

// --- result 1 ------------------------------------------------------------------

TEST_F(WholeRunTest, SuccessShowsTheCompletionPageInsideTheFrame) {
  Prepare(TreeWith(NetShieldPackage()));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, SuccessPage()));
  EXPECT_TRUE(r.ScreenHas("ステップ: □インストール → ■完了\n")) << r.screen;
  // The start-up dialog fetched the version file and found nothing newer.
  EXPECT_TRUE(r.ScreenHas("=== インストーラーを起動しています ===\n"));
  EXPECT_TRUE(r.ScreenHas("  最新のインストーラー情報を取得しました\n"));
  EXPECT_TRUE(r.ScreenHas("状態: プログラムのインストールが完了しました。\n"));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"ランチャーを再起動しません。", L"お知らせ画面をスキップします。",
                                    L"インストールスレッドを開始します。", L"接続を確認しました。",
                                    L"設定ファイル(DLConfig)のダウンロードに成功しました。",
                                    L"設定ファイルの解析に成功しました。", L"ハッシュ解析処理を完了しました。",
                                    L"パッケージのダウンロードに成功しました。",
                                    L"以下のインストールコマンドを実行します。",
                                    L"Windowsログから終了コードを取得しました）", L"インストールの実行処理（成功）",
                                    L"インストール処理を完了しました。", L"tguiScan.dllを置き換えました。",
                                    L"インストールが完了した為、完了画面に遷移します。", L"完了画面に遷移します。",
                                    L"インストールスレッドを実行しました。", L"インストールウィザード処理を完了しました。"}));
  EXPECT_TRUE(r.Errors().size() == 2u && LogHasError(r.log, L"通知データファイルの読み込みに失敗しました。"))
      << "only the missing notices file is an error";
  EXPECT_EQ(L"TAVO Net Shield", InstalledProductName(run()));
  // Every request carried the launcher's user agent.
  const auto requests = run().server().Requests();
  ASSERT_FALSE(requests.empty());
  for (const auto& request : requests) EXPECT_EQ("KOTA Install Launcher", request.userAgent) << request.path;
  EXPECT_EQ(1u, run().server().RequestsFor("/packages/tavo_tns.msi").size());
}

TEST_F(WholeRunTest, SuccessWithPackageTypeZeroEndsWithoutTheCompletionPage) {
  E2eSettings settings;
  settings.packageType = 0;
  Prepare(TreeWith(NetShieldPackage()), settings);
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_FALSE(r.ScreenHas("=== インストールが完了しました ===")) << r.screen;
  EXPECT_TRUE(r.ScreenHas("状態: プログラムのインストールが完了しました。\n")) << r.screen;
  EXPECT_TRUE(LogHasInOrder(r.log, {L"インストール処理を完了しました。", L"インストールが完了した為、ランチャーを終了します。",
                                    L"インストールウィザード処理を完了しました。"}));
  EXPECT_FALSE(LogHasEntry(r.log, L"完了画面に遷移します。"));
  EXPECT_EQ(L"TAVO Net Shield", InstalledProductName(run()));
}

TEST_F(WholeRunTest, NoticesPageIsShownAndConfirmedBeforeTheInstallation) {
  Prepare(TreeWith(NetShieldPackage()));
  E2eNotice everyone;
  everyone.title = "【重要】TAVO Net Shield 10.0 をご利用のお客様へ_BR_Windows 10 での動作について";
  E2eNotice otherSystem;  // Windows 7 x64 only: not listed on Windows 10
  otherSystem.title = "Windows 7 をご利用のお客様へ";
  otherSystem.conditionValue = 9;
  ASSERT_TRUE(run().WriteNotices({everyone, otherSystem}));
  const E2eResult r = run().Run({}, "n");
  ExpectCleanEnd(r);
  EXPECT_TRUE(r.ScreenHas("=== 重要なお知らせ ===\nステップ: ■お知らせ → □インストール → □完了\n")) << r.screen;
  EXPECT_TRUE(r.ScreenHas("プログラムのご利用前に必ず内容をご確認ください。\n"));
  EXPECT_TRUE(r.ScreenHas("    【重要】TAVO Net Shield 10.0 をご利用のお客様へ\n    Windows 10 での動作について\n"))
      << r.screen;
  EXPECT_FALSE(r.ScreenHas("Windows 7 をご利用のお客様へ"));
  EXPECT_TRUE(r.ScreenHas("ボタン: [確認(N)] [最小化(M)] [閉じる(X)]\nフォーカス: 確認(N)\n"));
  EXPECT_TRUE(ShowsPage(r, SuccessPage()));
  EXPECT_TRUE(r.ScreenHas("ステップ: □お知らせ → □インストール → ■完了\n"));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"通知情報が存在しないため通知画面を表示します。", L"以下の通知情報を追加しました。",
                                    L"【重要】TAVO Net Shield 10.0 をご利用のお客様へWindows 10 での動作について",
                                    L"「確認」ボタンをクリックしました。", L"競合製品を確認します。",
                                    L"TAVO製品のインストールをチェックします。", L"インストールスレッドを開始します。",
                                    L"インストール処理を完了しました。", L"完了画面に遷移します。"}));
  EXPECT_EQ(1, CountEntries(r.log, L"以下の通知情報を追加しました。"));
  EXPECT_TRUE(r.Errors().empty()) << Utf8(r.Errors().front());
}

TEST_F(WholeRunTest, NewerNoticesFromTheServerAreShown) {
  E2eServerTree tree = TreeWith(NetShieldPackage());
  tree.notificationVersion = 5;
  tree.publishNotices = true;
  E2eNotice notice;
  notice.title = "サーバーからの新しいお知らせ";
  tree.notices = {notice};
  Prepare(tree);
  E2eNotice old;
  old.title = "古いお知らせ";
  ASSERT_TRUE(run().WriteNotices({old}, 1));
  const std::string localNotices = run().ReadLauncherFile("SetupNotification.xml");
  const E2eResult r = run().Run({}, "n");
  ExpectCleanEnd(r);
  EXPECT_TRUE(r.ScreenHas("    サーバーからの新しいお知らせ\n")) << r.screen;
  EXPECT_FALSE(r.ScreenHas("古いお知らせ"));
  EXPECT_TRUE(ShowsPage(r, SuccessPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"通知ファイルを更新します。", L"以下のプログラムのダウンロードに成功しました。"}));
  // The notices beside the launcher are left as they were.
  EXPECT_EQ(localNotices, run().ReadLauncherFile("SetupNotification.xml"));
}

TEST_F(WholeRunTest, LocalInstallRunsTheEditionInstallerBesideTheLauncher) {
  E2eSettings settings;
  settings.installType = 1;
  settings.servers = {E2eRun::DeadServerUrl()};  // the local install never goes to the network
  ASSERT_TRUE(run().WriteSettings(settings));
  const std::wstring installer = run().LauncherFolder() + L"TNS/tns_nt64_jpn.exe";
  ASSERT_TRUE(InstallInstallerStandIn(installer, NetShieldPackage()));
  ASSERT_TRUE(run().WriteLauncherFile("TNS/cfg.xml", "<cfg/>\n"));
  ASSERT_TRUE(run().WriteLauncherFile("TNS/dpkg.xml", "<dpkg/>\n"));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(r.ScreenHas("  プログラムを起動しています...\n  プログラムの起動が完了しました\n")) << r.screen;
  EXPECT_TRUE(ShowsPage(r, SuccessPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"バージョンアップは行いません。", L"ローカルインストールを行います。",
                                    L"以下のコマンドを実行します。", L"\"" + installer + L"\"",
                                    L"Windowsログから終了コードを取得しました）", L"プログラムの実行に成功しました。",
                                    L"インストールが完了した為、完了画面に遷移します。"}));
  EXPECT_FALSE(LogHasEntry(r.log, L"ネットワークインストールを実行します。"));
  EXPECT_EQ(L"TAVO Net Shield", InstalledProductName(run()));
}

// --- result 3 ------------------------------------------------------------------

TEST_F(WholeRunTest, DeadServerAtStartUpEndsOnTheConnectionErrorPage) {
  E2eSettings settings;
  settings.servers = {E2eRun::DeadServerUrl()};
  ASSERT_TRUE(run().WriteSettings(settings));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, ServerUnreachablePage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"以下のプログラムのダウンロードに失敗しました。",
                                    L"インストールランチャーバージョンファイルの取得に失敗しました。",
                                    L"エラー画面に遷移します(インストールランチャーバージョンファイルの取得に失敗)。",
                                    L"エラー番号:3", L"エラー画面に遷移します(メイン画面)。"}));
  EXPECT_FALSE(LogHasEntry(r.log, L"インストールスレッドを開始します。"));
}

TEST_F(WholeRunTest, DeadServerWithoutStartUpFailsTheConnectionCheckThreeTimes) {
  E2eSettings settings;
  settings.servers = {E2eRun::DeadServerUrl()};
  ASSERT_TRUE(run().WriteSettings(settings));
  const E2eResult r = run().Run({"/N"});
  ExpectCleanEnd(r);
  EXPECT_FALSE(r.ScreenHas("インストーラーを起動しています"));
  EXPECT_TRUE(ShowsPage(r, ServerUnreachablePage()));
  EXPECT_EQ(3, CountEntries(r.log, L"接続確認に失敗しました。"));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"ネットワーク接続確認を行います。", L"接続確認に失敗しました。",
                                    L"完了画面に遷移します。", L"エラー番号:3"}));
  EXPECT_FALSE(LogHasEntry(r.log, L"設定ファイルのダウンロードを行います。"));
}

// --- result 4 ------------------------------------------------------------------

TEST_F(WholeRunTest, DownloadConfigurationNotFoundEndsWithResult4) {
  Prepare(TreeWith(NetShieldPackage()));
  ASSERT_TRUE(run().server().SetRule("/DownloadConfig.xml", "status=404"));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, ConfigDownloadFailedPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"ネットワーク接続を確認しました。",
                                    L"設定ファイル(DLConfig)のダウンロードに失敗しました。",
                                    L"設定ファイルのダウンロードに失敗しました。", L"エラー番号:4"}));
  EXPECT_TRUE(LogHasError(r.log, L"設定ファイルのダウンロードに失敗しました。"));
  EXPECT_FALSE(LogHasEntry(r.log, L"設定ファイルの解析を行います。"));
}

// --- result 5 ------------------------------------------------------------------

TEST_F(WholeRunTest, MalformedDownloadConfigurationEndsWithResult5) {
  Prepare(TreeWith(NetShieldPackage()));
  ASSERT_TRUE(run().server().WriteFile("/DownloadConfig.xml", "<DownloadConfig><PackageDownloadServerCount>1"));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, ConfigBrokenPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"設定ファイル(DLConfig)のダウンロードに成功しました。",
                                    L"設定ファイルの解析処理を実行します。", L"設定ファイルの解析に失敗しました。",
                                    L"設定ファイルの解析に失敗しました。", L"エラー番号:5"}));
  EXPECT_FALSE(LogHasEntry(r.log, L"パッケージのダウンロードを行います。"));
}

// --- result 6 ------------------------------------------------------------------

TEST_F(WholeRunTest, PackageThatCannotBeDownloadedInThreeAttemptsEndsWithResult6) {
  Prepare(TreeWith(NetShieldPackage()));
  ASSERT_TRUE(run().server().SetRule("/packages/tavo_tns.msi", "status=404"));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, PackageDownloadFailedPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"以下のファイルをダウンロードします。",
                                    L"以下のプログラムのダウンロードに失敗しました。(リトライ:0)",
                                    L"以下のプログラムのダウンロードに失敗しました。(リトライ:1)",
                                    L"以下のプログラムのダウンロードに失敗しました。(リトライ:2)",
                                    L"ファイルのダウンロードに失敗しました。", L"エラー番号:6"}));
  EXPECT_EQ(3u, run().server().RequestsFor("/packages/tavo_tns.msi").size());
  EXPECT_FALSE(LogHasEntry(r.log, L"以下のインストールコマンドを実行します。"));
  EXPECT_EQ(L"", InstalledProductName(run()));
}

TEST_F(WholeRunTest, NewerLauncherThatCannotBeDownloadedEndsWithResult6AtStartUp) {
  E2eServerTree tree = TreeWith(NetShieldPackage());
  tree.lastVersion = 3000000;  // newer than the settings' 2000000
  Prepare(tree);
  ASSERT_TRUE(run().server().SetRule("/launcher/Setup.exe", "status=404"));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, PackageDownloadFailedPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"ランチャーをバージョンアップします。",
                                    L"以下のプログラムのダウンロードに失敗しました。(リトライ:0)",
                                    L"以下のプログラムのダウンロードに失敗しました。(リトライ:2)",
                                    L"最新のインストーラーの取得に失敗しました。",
                                    L"エラー画面に遷移します(最新のインストーラーの取得に失敗)。", L"エラー番号:6"}));
  EXPECT_EQ(3u, run().server().RequestsFor("/launcher/Setup.exe").size());
  EXPECT_FALSE(LogHasEntry(r.log, L"インストールスレッドを開始します。"));
}

// --- results 7 and 8 ---------------------------------------------------------

TEST_F(WholeRunTest, FailingInstallerEndsWithResult7AndTheErrorNumbersOfItsLog) {
  Prepare(TreeWith(NetShieldPackage({"ExitCode=1603", "LiveLogLine=Action start 10:00:00: InstallServices.",
                                     "LiveLogLine=MSI (s) Product: TAVO -- Error 1920. Service failed.",
                                     "LiveLogLine=Action ended 10:00:03: InstallServices. Return value 3."})));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, InstallerFailedPage("1603 [1920]", "Windows Installer サービスが原因で問題が発生した可能性があります。")));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"以下のインストールコマンドを実行します。", L"Windowsログから終了コードを取得しました）",
                                    L"インストールの実行に失敗しました（戻り値エラー）。", L"スキップモードを実行しません。",
                                    L"インストールに失敗しました。", L"エラー番号:7"}));
  EXPECT_FALSE(LogHasEntry(r.log, L"tguiScan.dllを置き換えました。"));
}

TEST_F(WholeRunTest, FailingInstallerWithoutItsOwnLogShowsItsExitCode) {
  Prepare(TreeWith(NetShieldPackage({"ExitCode=1605", "LiveLog=0"})));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, InstallerFailedPage("1605", "Windows Installer サービスが原因で問題が発生した可能性があります。")));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"インストールに失敗しました。", L"エラー番号:7"}));
}

TEST_F(WholeRunTest, ServiceThatCouldNotBeStoppedEndsWithResult8Detail4) {
  Prepare(TreeWith(NetShieldPackage({"ExitCode=1603", "LiveLogService=stop"})));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, InstallerFailedPage("1603", "TAVOサービスの停止に失敗した可能性があります。")));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"インストールの実行に失敗しました（戻り値エラー）。", L"インストールに失敗しました。",
                                    L"エラー番号:8"}));
}

TEST_F(WholeRunTest, AnotherInstallationInProgressEndsWithResult8Detail7) {
  Prepare(TreeWith(NetShieldPackage({"ExitCode=1618"})));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, InstallerFailedPage("1618", "Windows Updateや別の製品のインストールが実行されている可能性があります。")));
  EXPECT_TRUE(LogHasEntry(r.log, L"エラー番号:8"));
}

// --- result 9 ------------------------------------------------------------------

TEST_F(WholeRunTest, PackageWithAWrongDigestEndsWithResult9AndRunsNothing) {
  E2eServerTree tree = TreeWith(NetShieldPackage());
  tree.packages[0].hash = "0123456789abcdef0123456789abcdef";
  Prepare(tree);
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, HashMismatchPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"ダウンロードしたファイルのハッシュ値", L"設定ファイルのハッシュ値",
                                    L"0123456789ABCDEF0123456789ABCDEF", L"ハッシュデータに誤りがあります。",
                                    L"0123456789abcdef0123456789abcdef", L"ファイルのダウンロードに失敗しました。",
                                    L"エラー番号:9"}));
  EXPECT_FALSE(LogHasEntry(r.log, L"以下のインストールコマンドを実行します。"));
  EXPECT_EQ(L"", InstalledProductName(run()));
}

// --- results 12 and 13 -------------------------------------------------------

TEST_F(WholeRunTest, ConflictInTheRegistryEndsWithResult12BeforeAnythingIsDownloaded) {
  E2eSettings settings;
  settings.conflictPackages = {{"Example Antivirus", "SOFTWARE\\Example\\Antivirus"}};
  Prepare(TreeWith(NetShieldPackage()), settings);
  run().machine().SetRegistryString(L"SOFTWARE\\Example\\Antivirus", L"Version", L"5.1");
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, {"競合するウイルス対策ソフトウェアをアンインストールしてください",
                            {"競合するウイルス対策ソフトウェアを検出しました。",
                             "検出したウイルス対策ソフトウェア：Example Antivirus",
                             "上記ウイルス対策ソフトウェアをアンインストールし、再度インストールを実行してください。"},
                            "<競合するウイルス対策ソフトウェアを検出した場合は？>",
                            kErrorButtons()}));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"競合製品を確認します。", L"競合製品を検出しました。（レジストリで検出）",
                                    L"Example Antivirus", L"SOFTWARE\\Example\\Antivirus",
                                    L"以下の競合製品を検出しました（レジストリ検索で検出）。", L"Example Antivirus",
                                    L"競合製品を検出しました。(お知らせ画面スキップ)",
                                    L"エラー画面に遷移します(競合製品を検出)。", L"エラー番号:12"}));
  EXPECT_TRUE(run().server().RequestsFor("/DownloadConfig.xml").empty());
}

TEST_F(WholeRunTest, ConflictFoundWhenTheNoticesAreConfirmedEndsWithResult12) {
  E2eSettings settings;
  settings.conflictSoftware = {"example antivirus"};
  Prepare(TreeWith(NetShieldPackage()), settings);
  run().machine().SetRegistryString(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ExampleAV",
                                    L"DisplayName", L"Example AntiVirus Pro");
  E2eNotice notice;
  notice.title = "インストール前に他社製セキュリティソフトをアンインストールしてください";
  ASSERT_TRUE(run().WriteNotices({notice}));
  const E2eResult r = run().Run({}, "n");
  ExpectCleanEnd(r);
  EXPECT_TRUE(r.ScreenHas("=== 重要なお知らせ ===\n"));
  EXPECT_TRUE(ShowsPage(r, {"競合するウイルス対策ソフトウェアをアンインストールしてください",
                            {"検出したウイルス対策ソフトウェア：Example AntiVirus Pro"},
                            "<競合するウイルス対策ソフトウェアを検出した場合は？>",
                            kErrorButtons()}));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"「確認」ボタンをクリックしました。",
                                    L"インストールソフトウェア一覧にレジストリキーで検出したソフトウェアが存在しません。",
                                    L"以下の競合製品を検出しました（ソフトウェア検索で検出）。", L"Example AntiVirus Pro",
                                    L"競合製品を検出しました。", L"エラー番号:12"}));
  EXPECT_FALSE(LogHasEntry(r.log, L"インストールスレッドを開始します。"));
}

TEST_F(WholeRunTest, SecurityCenterLeftoverEndsWithResult13AndContinuingInstalls) {
  E2eSettings settings;
  settings.conflictSecurityCenter = {"Example Antivirus"};
  Prepare(TreeWith(NetShieldPackage()), settings);
  run().machine().WriteFile("securitycenter.ini",
                            "[AntiVirusProduct 0]\ndisplayName=Example Antivirus 2020\ncompanyName=Example Inc.\n"
                            "productState=266240\n");
  const E2eResult r = run().Run({}, "c");
  ExpectCleanEnd(r);
  // First the result-13 screen with its continue button ...
  const std::string leftover = "=== 競合するウイルス対策ソフトウェアを検出しました ===\n\n"
                               "すでにアンインストールされた競合するウイルス対策ソフトウェアの消し忘れの情報を検出しました。\n"
                               "検出したウイルス対策ソフトウェア：Example Antivirus 2020\n"
                               "このままインストールを続行するには、「インストールの続行」ボタンをクリックしてください。\n\n"
                               "ボタン: [インストールの続行(C)] [終了（N）] [最小化(M)] [閉じる(X)]\n"
                               "フォーカス: インストールの続行(C)\n";
  EXPECT_TRUE(r.ScreenHas(leftover)) << r.screen;
  // ... then, after C, the installation and its completion page.
  EXPECT_TRUE(ShowsPage(r, SuccessPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"ウイルス対策製品 1", L"ウイルス対策製品名：Example Antivirus 2020",
                                    L"以下の競合製品を検出しました（セキュリティセンターで検出）。",
                                    L"Example Antivirus 2020", L"Example Antivirus",
                                    L"検出した製品は消し忘れの可能性があります。",
                                    L"エラー画面に遷移します(セキュリティセンターで上書き対象の競合製品を検出)。",
                                    L"エラー番号:13", L"インストールの続行ボタンをクリックしました。",
                                    L"インストールスレッドを開始します。", L"インストール処理を完了しました。",
                                    L"インストールが完了した為、完了画面に遷移します。"}));
  // The checks do not run again after continuing.
  EXPECT_EQ(1, CountEntries(r.log, L"競合製品を確認します。"));
  EXPECT_EQ(L"TAVO Net Shield", InstalledProductName(run()));
}

// --- result 15 -----------------------------------------------------------------

TEST_F(WholeRunTest, InstallerWithoutAnEventLogRecordEndsWithResult15) {
  Prepare(TreeWith(NetShieldPackage({"ExitCode=0", "EventLog=0"})));
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, NotExecutedPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"以下のインストールコマンドを実行します。", L"プログラムの実行をキャンセルしました。",
                                    L"インストールの実行に失敗しました（戻り値エラー）。", L"インストールに失敗しました。",
                                    L"エラー番号:15"}));
}

// --- results 16 and 17 -------------------------------------------------------

TEST_F(WholeRunTest, AnotherEditionInstalledEndsWithResult16) {
  Prepare(TreeWith(NetShieldPackage()));
  InstallProduct(run(), L"TAVO Virus Guard", L"10.0.2032.10");
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, {"インストール中にエラーが発生しました",
                            {"すでに別のTAVO製品がインストールされています。",
                             "上書きインストールによるアップグレード・ダウングレードはできません。対応方法につきましては、"
                             "「別のTAVO製品が検出され、インストールに失敗する場合は？」をクリックして確認してください。"},
                            "<別のTAVO製品が検出され、インストールに失敗する場合は？>",
                            kErrorButtons()}));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"TAVO製品のインストール:インストールされています。",
                                    L"インストールされているTAVO製品：10.0.2032.10",
                                    L"TAVO製品のインストールをチェックします。", L"TAVO Virus Guardがインストールされています。",
                                    L"既にTAVO製品がインストールされていますが、アップグレードできません。",
                                    L"エラー画面に遷移します(別ラインナップのTAVO製品を検出)。", L"エラー番号:16"}));
  EXPECT_TRUE(run().server().RequestsFor("/DownloadConfig.xml").empty());
  EXPECT_EQ(L"TAVO Virus Guard", InstalledProductName(run()));
}

// The help link of the page is reached with the keyboard and opens the FAQ
// entry of the edition in the browser.
TEST_F(WholeRunTest, HelpLinkOfResult16OpensTheFaqOfTheEdition) {
  Prepare(TreeWith(NetShieldPackage()));
  InstallProduct(run(), L"TAVO Virus Guard", L"10.0.2032.10");
  const E2eResult r = run().Run({}, "\x1b[Z\r");  // Shift+Tab to the link, Enter
  ExpectCleanEnd(r);
  EXPECT_TRUE(r.ScreenHas("フォーカス: 別のTAVO製品が検出され、インストールに失敗する場合は？\n")) << r.screen;
  const std::string opened = run().machine().ReadFile("shell.log");
  EXPECT_NE(std::string::npos, opened.find("site_domain=default")) << opened;
  EXPECT_EQ(1u, static_cast<size_t>(std::count(opened.begin(), opened.end(), '\n'))) << opened;
}

TEST_F(WholeRunTest, LatestVersionInstalledEndsWithResult17) {
  Prepare(TreeWith(NetShieldPackage()));
  InstallProduct(run(), L"TAVO Net Shield", L"10.0.2032.10");
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, {"すでに最新バージョンのTAVO製品がインストールされています", {}, "", kErrorButtons()}));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"TAVO Net Shieldがインストールされています。", L"最新バージョンを取得します。",
                                    L"既にTAVO製品がインストールされていますが、アップグレード不要です。",
                                    L"エラー画面に遷移します(最新のTAVO製品を検出)。", L"エラー番号:17"}));
  EXPECT_TRUE(run().server().RequestsFor("/DownloadConfig.xml").empty());
}

TEST_F(WholeRunTest, OlderVersionInstalledIsUpgraded) {
  Prepare(TreeWith(NetShieldPackage()));
  InstallProduct(run(), L"TAVO Net Shield", L"9.0.2032.2");
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, SuccessPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"インストールされているTAVO製品：9.0.2032.2", L"TAVO Net Shieldがインストールされています。",
                                    L"最新バージョンを取得します。", L"インストール処理を完了しました。"}));
  EXPECT_FALSE(LogHasEntry(r.log, L"既にTAVO製品がインストールされていますが、アップグレード不要です。"));
}

// --- result 21 -----------------------------------------------------------------

TEST_F(WholeRunTest, WindowsServerEndsWithResult21WithoutTouchingTheServer) {
  Prepare(TreeWith(NetShieldPackage()));
  run().machine().SetWindows(10, 0, 3, 9, 1);  // Windows Server 2016
  const E2eResult r = run().Run();
  ExpectCleanEnd(r);
  EXPECT_TRUE(ShowsPage(r, UnsupportedOsPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"実行環境のOSの確認を実行します。", L"サポート対象外のOSです。",
                                    L"オペレーティングシステム：Windows Server 2016",
                                    L"エラー画面に遷移します(インストール対象外のOSを検出)。", L"エラー番号:21"}));
  EXPECT_TRUE(LogHasError(r.log, L"サポート対象外のOSです。"));
  EXPECT_TRUE(run().server().Requests().empty());
}

// --- closing ---------------------------------------------------------------------

TEST_F(WholeRunTest, ClosingDuringTheInstallationIsRefusedAndTheInstallationGoesOn) {
  Prepare(TreeWith(NetShieldPackage()));
  const E2eResult r = run().Run({}, "x\r");  // the frame's close button, then OK
  ExpectCleanEnd(r);
  EXPECT_TRUE(r.ScreenHas("=== [情報] ===\nプログラムのインストール中に、インストーラーを終了することはできません。\n"
                          "プログラムのインストール処理が完了するまでしばらくお待ちください。\nボタン: [OK]\n"))
      << r.screen;
  EXPECT_TRUE(r.ScreenHas("応答: [情報] OK\n"));
  EXPECT_TRUE(ShowsPage(r, SuccessPage()));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"インストールスレッドを開始します。", L"閉じるボタンをクリックしました。",
                                    L"インストール処理を完了しました。"}));
  EXPECT_TRUE(LogHasError(r.log, L"プログラムのインストール中に、インストーラーを終了することはできません。"
                                 L"プログラムのインストール処理が完了するまでしばらくお待ちください。"));
  EXPECT_EQ(L"TAVO Net Shield", InstalledProductName(run()));
}

TEST_F(WholeRunTest, ClosingTheErrorScreenAsksFirst) {
  E2eSettings settings;
  settings.servers = {E2eRun::DeadServerUrl()};
  ASSERT_TRUE(run().WriteSettings(settings));
  const E2eResult r = run().Run({}, "xy");
  ExpectCleanEnd(r);
  EXPECT_TRUE(r.ScreenHas("=== [確認] ===\nプログラムを終了します。\nよろしいですか？\nボタン: [はい(Y)] [いいえ(N)]\n"))
      << r.screen;
  EXPECT_TRUE(r.ScreenHas("応答: [確認] はい(Y)\n"));
  EXPECT_TRUE(LogHasInOrder(r.log, {L"エラー番号:3", L"閉じるボタンをクリックしました。",
                                    L"インストールウィザード処理を完了しました。"}));
}

// --- the debug log across runs ---------------------------------------------------

TEST_F(WholeRunTest, ASecondRunAppendsToTheSameLog) {
  E2eSettings settings;
  settings.servers = {E2eRun::DeadServerUrl()};
  ASSERT_TRUE(run().WriteSettings(settings));
  const E2eResult first = run().Run();
  const E2eResult second = run().Run();
  ExpectCleanEnd(second);
  EXPECT_EQ(2 * first.log.entries.size(), second.log.entries.size());
  EXPECT_EQ(2, CountEntries(second.log, L"プログラムを開始します。"));
}

}  // namespace
}  // namespace tavo_test

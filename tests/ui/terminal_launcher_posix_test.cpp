// Whole runs of the Linux Setup.exe through its terminal front end: keys piped
// into standard input, the screens read from standard output as a script would.
#include <gtest/gtest.h>

#include <string>

#include "platform/utf.h"
#include "tests/support/child_process_posix.h"
#include "tests/support/log_reader.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::SimMachine;

const char kSettings[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><LaunchData><LaunchBase><ProductType>5</ProductType>"
    "<PackageType>1</PackageType></LaunchBase>"
    "<ConfrictRegistory><ConfrictDataCount>1</ConfrictDataCount>"
    "<ConfrictPackage00 PackageName=\"Contoso AV\">SOFTWARE\\Contoso\\AV</ConfrictPackage00>"
    "</ConfrictRegistory></LaunchData>";

const char kNotices[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><NotificationDataSet><NotificationVersion>1</NotificationVersion>"
    "<NotificationDataValueCount>1</NotificationDataValueCount><NotificationDataValue00>"
    "<NFDTitle>システム更新のお知らせ</NFDTitle><NFDURL>https://notices.example.test/1</NFDURL>"
    "<STRCOLOR>255,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue>"
    "</NotificationDataValue00></NotificationDataSet>";

class TerminalLauncherRun : public ::testing::Test {
 protected:
  void SetUp() override {
    launcherFolder_ = machine_.folder() + "Launcher/";
    ASSERT_EQ(0, system(("mkdir -p '" + launcherFolder_ + "'").c_str()));
    ASSERT_TRUE(tavo_test::CopyFileTo(TAVO_SETUP_EXE, launcherFolder_ + "Setup.exe", true));
    machine_.WriteFile("Launcher/SetupLauncherV2.xml", kSettings);
  }
  tavo_test::ChildResult Run(const std::string& keys) {
    return tavo_test::RunChild({launcherFolder_ + "Setup.exe", "/N"},
                               {{"SETUP_MACHINE", machine_.folder()}, {"TERM", "xterm-256color"}}, keys);
  }
  tavo_test::DebugLogFile ReadLog() {
    return tavo_test::ReadDebugLog(machine_.TempFolder() + L"TAVODebugLog.txt");
  }
  // Indexes of the entries, each after the one before; -1 from the first missing on.
  std::vector<int> InOrder(const tavo_test::DebugLogFile& log, const std::vector<std::wstring>& texts) {
    std::vector<int> at;
    int from = 0;
    for (const auto& text : texts) {
      int found = from < 0 ? -1 : tavo_test::FindEntry(log, text, static_cast<size_t>(from));
      at.push_back(found);
      from = found < 0 ? -1 : found + 1;
    }
    return at;
  }

  SimMachine machine_;
  std::string launcherFolder_;
};

TEST_F(TerminalLauncherRun, NoticesPageThenCloseAnsweredYes) {
  machine_.WriteFile("Launcher/SetupNotification.xml", kNotices);
  auto result = Run("xy");
  EXPECT_EQ(0, result.exitCode) << result.output;
  const std::string& out = result.output;
  // Standard output is a pipe: plain text, whatever TERM says.
  EXPECT_EQ(std::string::npos, out.find('\x1b'));
  const size_t page = out.find("=== 重要なお知らせ ===\nステップ: ■お知らせ → □インストール → □完了\n");
  ASSERT_NE(std::string::npos, page) << out;
  EXPECT_NE(std::string::npos, out.find("    システム更新のお知らせ\n", page));
  const size_t box = out.find("=== [確認] ===\nプログラムを終了します。\nよろしいですか？\n", page);
  ASSERT_NE(std::string::npos, box) << out;
  EXPECT_NE(std::string::npos, out.find("応答: [確認] はい(Y)\n", box));

  auto log = ReadLog();
  auto at = InOrder(log, {L"インストールウィザードを表示します。", L"ダイアログの初期化処理を実行します。(フレーム画面）",
                          L"ダイアログの初期化処理を実行します。(お知らせ画面)", L"以下の通知情報を追加しました。",
                          L"システム更新のお知らせ", L"フレーム画面に遷移します(メイン画面)。",
                          L"閉じるボタンをクリックしました。", L"インストールウィザード処理を完了しました。",
                          L"プログラムを終了します。"});
  for (size_t i = 0; i < at.size(); ++i) EXPECT_GE(at[i], 0) << "entry " << i << "\n" << out;
}

TEST_F(TerminalLauncherRun, ConflictOpensTheErrorScreenAndTheEndOfInputCloses) {
  machine_.SetRegistryString(L"SOFTWARE\\Contoso\\AV", L"Version", L"1");
  auto result = Run("");
  const std::string& out = result.output;
  const size_t screen = out.find("=== 競合するウイルス対策ソフトウェアをアンインストールしてください ===\n\n"
                                 "競合するウイルス対策ソフトウェアを検出しました。\n"
                                 "検出したウイルス対策ソフトウェア：Contoso AV\n");
  ASSERT_NE(std::string::npos, screen) << out;
  EXPECT_NE(std::string::npos, out.find("ボタン: [終了（N）] [最小化(M)] [閉じる(X)]\n", screen));
  EXPECT_EQ(std::string::npos, out.find("=== [確認] ==="));

  auto log = ReadLog();
  auto at = InOrder(log, {L"お知らせ画面をスキップします。", L"エラー画面に遷移します(競合製品を検出)。",
                          L"インストールウィザードを表示します。", L"エラー画面に遷移します(メイン画面)。",
                          L"インストールウィザード処理を完了しました。", L"プログラムを終了します。"});
  for (size_t i = 0; i < at.size(); ++i) EXPECT_GE(at[i], 0) << "entry " << i << "\n" << out;
  EXPECT_EQ(-1, tavo_test::FindEntry(log, L"終了ボタンをクリックしました。"));
}

TEST_F(TerminalLauncherRun, ConfirmInstallWithoutServersEndsOnTheErrorScreen) {
  machine_.WriteFile("Launcher/SetupNotification.xml", kNotices);
  // No server is configured: the installation fails at its connection check.
  auto result = Run("N");
  const std::string& out = result.output;
  const size_t status = out.find("=== インストール ===\nステップ: □お知らせ → ■インストール → □完了\n");
  ASSERT_NE(std::string::npos, status) << out;
  const size_t step1 = out.find("状態: インターネットの接続を確認しています...\n", status);
  EXPECT_NE(std::string::npos, step1) << out;
  const size_t error = out.find("=== インストール中にエラーが発生しました ===\n\nダウンロードサーバーとの接続に失敗しました。", status);
  ASSERT_NE(std::string::npos, error) << out;
  EXPECT_NE(std::string::npos, out.find("リンク: <インストールに失敗する場合は？>\n", error));

  auto log = ReadLog();
  auto at = InOrder(log, {L"「確認」ボタンをクリックしました。", L"インストールスレッドを開始します。",
                          L"完了画面に遷移します。", L"エラー画面に遷移します(メイン画面)。",
                          L"インストールウィザード処理を完了しました。", L"プログラムを終了します。"});
  for (size_t i = 0; i < at.size(); ++i) EXPECT_GE(at[i], 0) << "entry " << i << "\n" << out;
}

}  // namespace

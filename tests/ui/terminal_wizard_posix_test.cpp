#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/error_box.h"
#include "app/launcher_context.h"
#include "platform/error.h"
#include "platform/message_box.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/terminal_session_posix.h"
#include "ui/completion_page.h"
#include "ui/front_end.h"

namespace {

using tavo_test::FakeInstall;
using tavo_test::TerminalSession;
using terminal::OutputStyle;

std::string U(const std::wstring& s) { return platform::WideToUtf8(s); }

const char kNoticeUrl[] = "https://notices.example.test/important-1";

std::string NoticeRecord(int index, const std::string& title, const std::string& url, const std::string& colour) {
  char name[32];
  std::snprintf(name, sizeof name, "NotificationDataValue%02d", index);
  return std::string("<") + name + "><NFDTitle>" + title + "</NFDTitle><NFDURL>" + url + "</NFDURL><STRCOLOR>" +
         colour + "</STRCOLOR><NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue></" +
         name + ">";
}

class TerminalWizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_.Settings.ProductType = 5;
    ctx_.Settings.PackageType = 1;
    ctx_.NotificationPath = dir_.File(L"SetupNotification.xml");
    WriteNotices(NoticeRecord(0, "システム更新のお知らせ", kNoticeUrl, "255,0,0") +
                 NoticeRecord(1, "メンテナンス_BR_二行目", "", "0,0,255"));
  }

  void WriteNotices(const std::string& records, int count = 2) {
    tavo_test::WriteBytes(ctx_.NotificationPath,
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?><NotificationDataSet>"
                          "<NotificationVersion>1</NotificationVersion><NotificationDataValueCount>" +
                              std::to_string(count) + "</NotificationDataValueCount>" + records +
                              "</NotificationDataSet>");
  }

  // The wizard opened where the start-up leaves it with the notices skipped.
  void StartAtInstallStep() {
    ctx_.SkipNotices = true;
    ctx_.StartPage = 1;
  }
  void StartAtErrorScreen(int32_t result) {
    ctx_.SkipNotices = true;
    ctx_.StartPage = 2;
    ctx_.ResultCode = result;
  }

  std::string ShellLog() { return machine_.ReadFile("shell.log"); }

  tavo_test::SimMachine machine_;
  tavo_test::LogCapture log_;
  tavo_test::TempDir dir_;
  LauncherContext ctx_;
};

TEST_F(TerminalWizardTest, NoticesInstallationAndCompletionInTheFrame) {
  FakeInstall install(1, 0, true);
  TerminalSession session(ctx_, install.Starter());

  // The notices page: title, step column, texts, rows, buttons and focus.
  ASSERT_TRUE(session.WaitFor("=== 重要なお知らせ ===\nステップ: ■お知らせ → □インストール → □完了\n"))
      << session.Output();
  ASSERT_TRUE(session.WaitFor("プログラムのご利用前に必ず内容をご確認ください。\n"));
  ASSERT_TRUE(session.WaitFor("お知らせ一覧:\n    システム更新のお知らせ\n    メンテナンス\n    二行目\n"))
      << session.Output();
  ASSERT_TRUE(session.WaitFor("ボタン: [確認(N)] [最小化(M)] [閉じる(X)]\nフォーカス: 確認(N)\n"));

  // Shift+Tab puts the focus on the list, which selects its first row; Enter opens it.
  session.Type("\x1b[Z");
  ASSERT_TRUE(session.WaitFor(" >  システム更新のお知らせ\n")) << session.Output();
  ASSERT_TRUE(session.WaitFor("フォーカス: お知らせ一覧\n"));
  session.Type("\r");
  // j moves to the notice without an address; opening it does nothing.
  session.Type("j");
  ASSERT_TRUE(session.WaitFor(" >  メンテナンス\n")) << session.Output();
  session.Type(" ");
  // Escape leaves the page as it is; n confirms from anywhere.
  session.Type("\x1b");
  session.Type("n");
  ASSERT_TRUE(session.WaitFor("=== インストール ===\nステップ: □お知らせ → ■インストール → □完了\n\n"
                              "状態: ダウンロードサーバーの確認を行っています...\n"))
      << session.Output();
  ASSERT_TRUE(session.WaitFor("フォーカス: 最小化(M)\n"));
  ASSERT_TRUE(session.WaitFor("状態: インターネットの接続を確認しています...\n")) << session.Output();
  ASSERT_TRUE(session.WaitFor("状態: プログラムのダウンロードを行っています...(100KB/200KB)\n"));
  ASSERT_TRUE(session.WaitFor("状態: プログラムをインストールしています...\n"));

  // Closing while installing is refused with the information box.
  session.Type("x");
  ASSERT_TRUE(session.WaitFor("=== [情報] ===\nプログラムのインストール中に、インストーラーを終了することはできません。\n"
                              "プログラムのインストール処理が完了するまでしばらくお待ちください。\nボタン: [OK]\n"))
      << session.Output();
  session.Type("\n");
  ASSERT_TRUE(session.WaitFor("応答: [情報] OK\n"));
  // Enter and Escape on the status page start and stop nothing.
  session.Type("\r\x1b");
  install.Release();
  ASSERT_TRUE(session.WaitFor("=== インストールが完了しました ===\nステップ: □お知らせ → □インストール → ■完了\n\n"
                              "プログラムのインストールが完了しました。\n"
                              "「完了」ボタンをクリック後、Windowsを再起動してください。\n\n"
                              "ボタン: [完了（N）] [最小化(M)] [閉じる(X)]\nフォーカス: 完了（N）\n"))
      << session.Output();
  session.Type("N");
  EXPECT_EQ(2, session.Finish());
  EXPECT_EQ(1, install.Starts());

  // Only the notice with an address was opened.
  EXPECT_EQ(std::string(kNoticeUrl) + "\n", ShellLog());
  const std::string output = session.Output();
  EXPECT_EQ(std::string::npos, output.find('\x1b')) << "plain output carries no escape sequences";
  EXPECT_EQ(std::string::npos, output.find("[確認]")) << "no close question was asked";

  const auto texts = log_.Texts();
  const int frame = log_.Find(L"ダイアログの初期化処理を実行します。(フレーム画面）");
  const int notices = log_.Find(L"ダイアログの初期化処理を実行します。(お知らせ画面)");
  ASSERT_GE(frame, 0);
  EXPECT_GT(notices, frame);
  EXPECT_GT(log_.Find(L"以下の通知情報を追加しました。"), notices);
  EXPECT_GT(log_.Find(L"システム更新のお知らせ"), notices);
  const int confirm = log_.Find(L"「確認」ボタンをクリックしました。");
  EXPECT_GT(confirm, notices);
  EXPECT_GT(log_.Find(L"TAVO製品のインストールをチェックします。", confirm), confirm);
  const int started = log_.Find(L"インストールスレッドを開始します。", confirm);
  EXPECT_GT(started, confirm);
  const int closeClick = log_.Find(L"閉じるボタンをクリックしました。", started);
  EXPECT_GT(closeClick, started);
  const auto entries = log_.Entries();
  ASSERT_GT(static_cast<int>(entries.size()), closeClick + 1);
  EXPECT_TRUE(entries[closeClick + 1].error);
  EXPECT_EQ(0u, entries[closeClick + 1].text.find(L"プログラムのインストール中に、インストーラーを終了することはできません。"));
  const int done = log_.Find(L"インストールが完了した為、完了画面に遷移します。", closeClick);
  EXPECT_GT(done, closeClick);
  EXPECT_GT(log_.Find(L"完了ボタンをクリックしました。", done), done);
  EXPECT_FALSE(ctx_.InstallInProgress);
  EXPECT_EQ(1, ctx_.ResultCode);
}

TEST_F(TerminalWizardTest, FailedInstallationShowsTheErrorScreenAndItsHelpLink) {
  StartAtInstallStep();
  FakeInstall install(7, 1603);
  TerminalSession session(ctx_, install.Starter());
  // Without the notices step the column starts at the installation.
  ASSERT_TRUE(session.WaitFor("=== インストール ===\nステップ: ■インストール → □完了\n")) << session.Output();
  ASSERT_TRUE(session.WaitFor("=== インストールに失敗しました ===\n\n"
                              "プログラムのインストール中にエラーが発生しました。（エラーコード：1603）\n"))
      << session.Output();
  ASSERT_TRUE(session.WaitFor("リンク: <サポート情報を表示する>\n\nボタン: [終了（N）] [最小化(M)] [閉じる(X)]\n"
                              "フォーカス: 終了（N）\n"))
      << session.Output();
  // The error screen has no step column.
  EXPECT_EQ(std::string::npos, session.Output().find("ステップ: ■インストール → ■完了"));

  // Space on a focused button does nothing; on the focused link it opens the page.
  session.Type(" ");
  session.Type("\x1b[Z");
  ASSERT_TRUE(session.WaitFor("フォーカス: サポート情報を表示する\n")) << session.Output();
  session.Type(" ");
  session.Type("\t");
  ASSERT_TRUE(session.WaitFor("フォーカス: 終了（N）\n"));
  session.Type("\x1b");  // Escape never closes
  session.Type("\r");
  EXPECT_EQ(2, session.Finish());

  EXPECT_EQ(7, ctx_.ResultCode);
  EXPECT_EQ(1603, ctx_.ResultDetail);
  const CompletionLayout layout = BuildCompletionLayout(ctx_, false);
  ASSERT_FALSE(layout.helpUrl.empty());
  EXPECT_EQ(U(layout.helpUrl) + "\n", ShellLog());
  bool errorNumber = false;
  for (const auto& entry : log_.Entries()) {
    if (entry.error && entry.text.find(L"エラー番号:7 (ERRORCODE ") == 0) errorNumber = true;
  }
  EXPECT_TRUE(errorNumber);
  EXPECT_TRUE(log_.Contains(L"エラー画面に遷移します(メイン画面)。"));
  EXPECT_TRUE(log_.Contains(L"終了ボタンをクリックしました。"));
  EXPECT_FALSE(log_.Contains(L"完了ボタンをクリックしました。"));
}

TEST_F(TerminalWizardTest, DownloadFailureOffersBothLinksByKeyboard) {
  StartAtErrorScreen(9);
  TerminalSession session(ctx_, nullptr);
  ASSERT_TRUE(session.WaitFor("リンク: <プログラムのダウンロード> <インストール手順> <インストールに失敗する場合は？>\n"))
      << session.Output();
  // Tab from the exit button wraps round to the first link.
  session.Type("\t\t\t\r");
  ASSERT_TRUE(session.WaitFor("フォーカス: プログラムのダウンロード\n")) << session.Output();
  session.Type("\t ");
  ASSERT_TRUE(session.WaitFor("フォーカス: インストール手順\n"));
  EXPECT_EQ(2, session.Finish());
  const CompletionLayout layout = BuildCompletionLayout(ctx_, false);
  EXPECT_EQ(U(layout.downloadUrl) + "\n" + U(layout.procedureUrl) + "\n", ShellLog());
}

TEST_F(TerminalWizardTest, ConflictFoundOnConfirmingShowsTheErrorScreenInstead) {
  machine_.SetRegistryString(L"SOFTWARE\\Contoso\\AV", L"Version", L"1");
  ctx_.Settings.ConflictPackages = {{L"Contoso AV", L"SOFTWARE\\Contoso\\AV"}};
  FakeInstall install(1);
  TerminalSession session(ctx_, install.Starter());
  ASSERT_TRUE(session.WaitFor("=== 重要なお知らせ ===\n"));
  session.Type("\r");  // Enter on the focused confirm button
  ASSERT_TRUE(session.WaitFor("=== 競合するウイルス対策ソフトウェアをアンインストールしてください ===\n\n"
                              "競合するウイルス対策ソフトウェアを検出しました。\n"
                              "検出したウイルス対策ソフトウェア：Contoso AV\n"))
      << session.Output();
  ASSERT_TRUE(session.WaitFor("リンク: <競合するウイルス対策ソフトウェアを検出した場合は？>\n"));
  EXPECT_EQ(2, session.Finish());
  EXPECT_EQ(0, install.Starts());
  EXPECT_EQ(12, ctx_.ResultCode);
  EXPECT_EQ(std::string::npos, session.Output().find("=== インストール ==="));
}

TEST_F(TerminalWizardTest, ContinuingAfterResult13InstallsWithoutNewChecks) {
  StartAtErrorScreen(13);
  ctx_.DetectedConflictNames = {L"Other AV"};
  FakeInstall install(1);
  TerminalSession session(ctx_, install.Starter());
  ASSERT_TRUE(session.WaitFor("=== 競合するウイルス対策ソフトウェアを検出しました ===\n")) << session.Output();
  ASSERT_TRUE(session.WaitFor("検出したウイルス対策ソフトウェア：Other AV\n"));
  ASSERT_TRUE(session.WaitFor("ボタン: [インストールの続行(C)] [終了（N）] [最小化(M)] [閉じる(X)]\n"
                              "フォーカス: インストールの続行(C)\n"))
      << session.Output();
  session.Type("c");
  ASSERT_TRUE(session.WaitFor("=== インストール ===\nステップ: ■インストール → □完了\n")) << session.Output();
  ASSERT_TRUE(session.WaitFor("=== インストールが完了しました ===\nステップ: □インストール → ■完了\n"))
      << session.Output();
  // The end of the input closes the finished wizard without a question.
  EXPECT_EQ(2, session.Finish());
  EXPECT_EQ(1, install.Starts());
  EXPECT_TRUE(log_.Contains(L"インストールの続行ボタンをクリックしました。"));
  EXPECT_FALSE(log_.Contains(L"TAVO製品のインストールをチェックします。"));
  EXPECT_EQ(std::string::npos, session.Output().find("[確認]"));
}

TEST_F(TerminalWizardTest, CloseQuestionAnsweredNoThenYes) {
  TerminalSession session(ctx_, nullptr);
  ASSERT_TRUE(session.WaitFor("=== 重要なお知らせ ===\n"));
  session.Type("x");
  ASSERT_TRUE(session.WaitFor("=== [確認] ===\nプログラムを終了します。\nよろしいですか？\nボタン: [はい(Y)] [いいえ(N)]\n"))
      << session.Output();
  // Enter and Escape do not answer the question.
  session.Type("\r\x1b");
  session.Type("n");
  ASSERT_TRUE(session.WaitFor("応答: [確認] いいえ(N)\n"));
  ASSERT_TRUE(session.WaitFor("=== 重要なお知らせ ===\n")) << "the page is shown again";
  EXPECT_FALSE(session.Finished());
  session.Type("X");
  ASSERT_TRUE(session.WaitFor("=== [確認] ===\n"));
  session.Type("y");
  ASSERT_TRUE(session.WaitFor("応答: [確認] はい(Y)\n"));
  EXPECT_EQ(2, session.Finish());
  // The page is not drawn again once the window has closed.
  EXPECT_EQ(std::string::npos, session.Rest().find("==="));
  auto texts = log_.Texts();
  int first = log_.Find(L"閉じるボタンをクリックしました。");
  EXPECT_GE(first, 0);
  EXPECT_GT(log_.Find(L"閉じるボタンをクリックしました。", first + 1), first);
  EXPECT_FALSE(ctx_.CloseLatch);
  EXPECT_EQ(L"確認", ctx_.MessageCaption);
}

TEST_F(TerminalWizardTest, InterruptKeyAsksAsTheSystemCloseCommand) {
  StartAtErrorScreen(15);
  TerminalSession session(ctx_, nullptr);
  ASSERT_TRUE(session.WaitFor("=== インストールは実行されませんでした ===\n"));
  session.Type("\x03");
  ASSERT_TRUE(session.WaitFor("=== [確認] ===\nプログラムを終了します。\n")) << session.Output();
  session.Type("y");
  EXPECT_EQ(2, session.Finish());
  // The system close command logs no button line.
  EXPECT_FALSE(log_.Contains(L"閉じるボタンをクリックしました。"));
}

TEST_F(TerminalWizardTest, EndOfInputClosesWithoutAsking) {
  TerminalSession session(ctx_, nullptr);
  ASSERT_TRUE(session.WaitFor("=== 重要なお知らせ ===\n"));
  EXPECT_EQ(2, session.Finish());
  EXPECT_EQ(std::string::npos, session.Output().find("[確認]"));
  EXPECT_FALSE(log_.Contains(L"閉じるボタンをクリックしました。"));
  EXPECT_EQ(0, ctx_.StartPage);
}

TEST_F(TerminalWizardTest, EndOfInputDuringInstallationWaitsForItsEnd) {
  FakeInstall install(3, 0, true);
  TerminalSession session(ctx_, install.Starter());
  session.Type("N");
  session.EndInput();
  ASSERT_TRUE(session.WaitFor("状態: プログラムをインストールしています...\n")) << session.Output();
  // The worker is held: the installation is still running, so the window stays.
  EXPECT_FALSE(session.Finished());
  install.Release();
  ASSERT_TRUE(session.WaitFor("=== インストール中にエラーが発生しました ===\n")) << session.Output();
  EXPECT_EQ(2, session.Finish());
  EXPECT_EQ(3, ctx_.ResultCode);
  EXPECT_EQ(std::string::npos, session.Output().find("[確認]"));
}

TEST_F(TerminalWizardTest, EndOfInputWithAWorkerThatNeverStartedStillCloses) {
  StartAtInstallStep();
  FakeInstall install;
  install.RefuseStart();
  TerminalSession session(ctx_, install.Starter());
  ASSERT_TRUE(session.WaitFor("状態: ダウンロードサーバーの確認を行っています...\n"));
  EXPECT_EQ(2, session.Finish());
  EXPECT_TRUE(log_.Contains(L"インストールスレッドを開始します。"));
}

TEST_F(TerminalWizardTest, SuccessWithPackageType0EndsAndClosesTheOpenBox) {
  StartAtInstallStep();
  ctx_.Settings.PackageType = 0;
  FakeInstall install(1, 0, true);
  TerminalSession session(ctx_, install.Starter());
  ASSERT_TRUE(session.WaitFor("状態: プログラムをインストールしています...\n")) << session.Output();
  session.Type("x");
  ASSERT_TRUE(session.WaitFor("=== [情報] ===\n"));
  install.Release();
  // The box is closed from outside and the wizard ends without the completion page.
  ASSERT_TRUE(session.WaitFor("応答: [情報] OK\n")) << session.Output();
  EXPECT_EQ(2, session.Finish());
  EXPECT_EQ(std::string::npos, session.Output().find("=== インストールが完了しました ==="));
  EXPECT_TRUE(log_.Contains(L"インストールが完了した為、ランチャーを終了します。"));
  EXPECT_FALSE(log_.Contains(L"表示中のメッセージボックスが見つかりません。"));
  EXPECT_FALSE(log_.Contains(L"完了画面に遷移します。"));
}

TEST_F(TerminalWizardTest, AnOpenBoxStaysInFrontOfTheNextScreen) {
  StartAtInstallStep();
  FakeInstall install(1, 0, true);
  TerminalSession session(ctx_, install.Starter());
  ASSERT_TRUE(session.WaitFor("状態: プログラムをインストールしています...\n")) << session.Output();
  session.Type("x");
  ASSERT_TRUE(session.WaitFor("=== [情報] ===\n"));
  install.Release();
  // The completion page comes up beneath the box, which still waits for its answer.
  ASSERT_TRUE(session.WaitFor("=== インストールが完了しました ===\n")) << session.Output();
  ASSERT_TRUE(session.WaitFor("=== [情報] ===\nプログラムのインストール中に")) << session.Output();
  EXPECT_FALSE(session.Finished());
  session.Type("\r");
  ASSERT_TRUE(session.WaitFor("応答: [情報] OK\n"));
  ASSERT_TRUE(session.WaitFor("=== インストールが完了しました ===\n"));
  EXPECT_EQ(2, session.Finish());
  EXPECT_FALSE(ctx_.CloseLatch);
}

TEST_F(TerminalWizardTest, BoxesFromAWorkerAreShownByTheWindow) {
  StartAtInstallStep();
  FakeInstall install(1);
  int answer = 0;
  install.BeforeEnd([&answer] {
    answer = platform::ShowMessageBox(nullptr, L"ワーカーからの質問", L"確認", platform::kMbYesNo);
  });
  TerminalSession session(ctx_, install.Starter());
  ASSERT_TRUE(session.WaitFor("=== [確認] ===\nワーカーからの質問\n")) << session.Output();
  session.Type("y");
  ASSERT_TRUE(session.WaitFor("=== インストールが完了しました ===\n")) << session.Output();
  EXPECT_EQ(2, session.Finish());
  install.Join();
  EXPECT_EQ(platform::kIdYes, answer);
}

TEST_F(TerminalWizardTest, ErrorBoxesGoThroughTheWindow) {
  // An unreadable notices file is reported in the window's own box.
  ctx_.NotificationPath = dir_.File(L"missing.xml");
  TerminalSession session(ctx_, nullptr);
  ASSERT_TRUE(session.WaitFor("=== [エラー] ===\nお知らせ情報の読み込みに失敗しました。 (ErrorNumber=2)\nボタン: [OK]\n"))
      << session.Output();
  session.Type("\r");
  ASSERT_TRUE(session.WaitFor("お知らせ一覧:\n   （なし）\n")) << session.Output();
  EXPECT_EQ(2, session.Finish());
  // Afterwards boxes are plain terminal boxes again.
  EXPECT_TRUE(log_.Contains(L"お知らせ情報の読み込みに失敗しました。 (ERRORCODE 2)"));
}

TEST_F(TerminalWizardTest, BrowserFallbackAndFailure) {
  StartAtErrorScreen(3);
  // The shell refuses with access denied; the "IExplore" fallback opens the page.
  machine_.Set("Shell", "OpenResult", "5");
  {
    TerminalSession session(ctx_, nullptr);
    ASSERT_TRUE(session.WaitFor("リンク: <インストールに失敗する場合は？>\n"));
    session.Type("\x1b[Z\r");
    ASSERT_TRUE(session.WaitFor("フォーカス: インストールに失敗する場合は？\n"));
    EXPECT_EQ(2, session.Finish());
    EXPECT_EQ(std::string::npos, session.Output().find("=== [エラー] ==="));
  }
  const std::string url = U(BuildCompletionLayout(ctx_, false).helpUrl);
  EXPECT_EQ("IExplore " + url + "\n", ShellLog());

  // Both refuse: the address is shown so that it can be typed in.
  machine_.Set("Shell", "IExploreResult", "2");
  TerminalSession session(ctx_, nullptr);
  session.Type("\x1b[Z\r");
  ASSERT_TRUE(session.WaitFor("=== [エラー] ===\nブラウザーの起動に失敗しました。\n")) << session.Output();
  ASSERT_TRUE(session.WaitFor("ご使用のブラウザーを起動し、以下のアドレスを入力してください。\n\n" + url + "\n"));
  session.Type(" ");
  ASSERT_TRUE(session.WaitFor("応答: [エラー] OK\n"));
  EXPECT_EQ(2, session.Finish());
}

TEST_F(TerminalWizardTest, MinimizeKeepsTheWizardOpen) {
  StartAtErrorScreen(17);
  TerminalSession session(ctx_, nullptr);
  ASSERT_TRUE(session.WaitFor("=== すでに最新バージョンのTAVO製品がインストールされています ===\n"));
  session.Type("m");
  ASSERT_TRUE(session.WaitFor("（ウィンドウを最小化しました）\n"));
  EXPECT_FALSE(session.Finished());
  EXPECT_EQ(2, session.Finish());
  EXPECT_TRUE(log_.Contains(L"最小化ボタンをクリックしました。"));
}

TEST_F(TerminalWizardTest, ScreenStyleDrawsNoticeColours) {
  ::setenv("COLORTERM", "truecolor", 1);
  TerminalSession session(ctx_, nullptr, OutputStyle::Screen, 100);
  // The first notice in red on white, the second in blue.
  ASSERT_TRUE(session.WaitFor("\x1b[38;2;255;0;0m\x1b[48;2;255;255;255m システム更新のお知らせ")) << session.Output();
  ASSERT_TRUE(session.WaitFor("\x1b[38;2;0;0;255m\x1b[48;2;255;255;255m メンテナンス"));
  // Tab to the list: the selected row is drawn inverted.
  session.Type("\x1b[Z");
  ASSERT_TRUE(session.WaitFor("\x1b[38;2;255;255;255m\x1b[48;2;255;0;0m システム更新のお知らせ"))
      << session.Output();
  EXPECT_EQ(2, session.Finish());
  ::unsetenv("COLORTERM");
  // The cursor is shown again at the end.
  EXPECT_NE(std::string::npos, session.Output().rfind("\x1b[?25h"));
}

TEST_F(TerminalWizardTest, ScreenStyleUses256ColoursWithoutTrueColour) {
  ::unsetenv("COLORTERM");
  TerminalSession session(ctx_, nullptr, OutputStyle::Screen, 100);
  ASSERT_TRUE(session.WaitFor("\x1b[38;5;196m\x1b[48;5;231m システム更新のお知らせ")) << session.Output();
  EXPECT_EQ(2, session.Finish());
}

TEST_F(TerminalWizardTest, InvalidDescriptorsAbortTheDialog) {
  terminal::TerminalOptions options;
  options.inputFd = 1000;
  options.outputFd = 1001;
  EXPECT_EQ(kDialogAbort, terminal::RunTerminalWizard(ctx_, nullptr, options));
}

}  // namespace

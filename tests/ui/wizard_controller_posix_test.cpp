#include <gtest/gtest.h>

#include <functional>

#include "app/debug_log.h"
#include "app/launcher_context.h"
#include "platform/message_box.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"
#include "tests/support/log_reader.h"
#include "tests/support/sim_machine_posix.h"
#include "ui/resource_ids.h"
#include "ui/wizard_controller.h"

namespace {

using tavo_test::SimMachine;

struct Box {
  BoxOwner owner;
  std::wstring text, caption;
  uint32_t type;
};

class FakeView : public WizardView, public MessageSink {
 public:
  bool ApplyScreen(const ScreenState& screen) override {
    screens.push_back(screen);
    return backgroundLoads;
  }
  void SetStatusLine(const std::wstring& text) override { statusLines.push_back(text); }
  int ShowBox(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type) override {
    boxes.push_back({owner, text, caption, type});
    ++openBoxes;
    if (whileBoxOpen) {
      auto hook = whileBoxOpen;
      whileBoxOpen = nullptr;  // once
      hook();
    }
    --openBoxes;
    return answer;
  }
  void CloseMainWindow() override { ++mainClosed; }
  bool CloseWindowTitled(const std::wstring& title) override {
    closedTitles.push_back(title);
    return openBoxes > 0;
  }
  bool Minimize() override { return minimizeWorks; }
  void SetTopmost(bool topmost) override { topmostCalls.push_back(topmost); }
  MessageSink* StatusSink() override { return this; }
  int32_t ScreenWidth() const override { return 1024; }
  int32_t ScreenHeight() const override { return 768; }
  intptr_t Send(uint32_t, uintptr_t, intptr_t) override { return 0; }

  std::vector<ScreenState> screens;
  std::vector<std::wstring> statusLines;
  std::vector<Box> boxes;
  std::vector<std::wstring> closedTitles;
  std::vector<bool> topmostCalls;
  std::function<void()> whileBoxOpen;
  int openBoxes = 0;
  int answer = platform::kIdYes;
  int mainClosed = 0;
  bool backgroundLoads = true;
  bool minimizeWorks = true;
};

// Error boxes of the launcher go through the terminal box; record them instead.
std::vector<std::wstring>* g_errorBoxes = nullptr;
int RecordBox(void*, const std::wstring& text, const std::wstring&, uint32_t) {
  if (g_errorBoxes) g_errorBoxes->push_back(text);
  return platform::kIdOk;
}

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_errorBoxes = &errorBoxes_;
    platform::SetMessageBoxHandler(RecordBox);
    logPath_ = machine_.TempFolder() + L"TAVODebugLog.txt";
    Log().SetPath(logPath_);
    Log().SetEnabled(true);
    ctx_.Settings.ProductType = 5;
    ctx_.NotificationPath = machine_.wfolder() + L"SetupNotification.xml";
  }
  void TearDown() override {
    Log().SetEnabled(false);
    platform::SetMessageBoxHandler(nullptr);
    g_errorBoxes = nullptr;
  }
  WizardController& Wizard() {
    if (!wizard_) {
      wizard_ = std::make_unique<WizardController>(ctx_, view_, [this](LauncherContext&, MessageSink* sink) {
        ++installsStarted_;
        EXPECT_EQ(&view_, sink);
        return true;
      });
    }
    return *wizard_;
  }
  int CountLog(const std::wstring& text) {
    int n = 0;
    for (const auto& t : tavo_test::EntryTexts(tavo_test::ReadDebugLog(logPath_))) n += t == text;
    return n;
  }
  void AddRegistryConflict() {
    ctx_.Settings.ConflictPackages = {{L"Other AV", L"SOFTWARE\\Other\\AV"}};
    machine_.SetRegistryString(L"SOFTWARE\\Other\\AV", L"Version", L"1.0");
  }

  SimMachine machine_;
  LauncherContext ctx_;
  FakeView view_;
  std::unique_ptr<WizardController> wizard_;
  std::wstring logPath_;
  std::vector<std::wstring> errorBoxes_;
  int installsStarted_ = 0;
};

TEST_F(WizardTest, NoticesThenInstallRunsTheChecksOnceAndStartsTheWorker) {
  ASSERT_TRUE(Wizard().OnInitDialog());
  ASSERT_EQ(1u, view_.screens.size());
  const ScreenState& first = view_.screens.back();
  EXPECT_EQ(kModeFrame, first.mainMode);
  EXPECT_EQ(IDB_MAIN_FRAME, first.background);
  EXPECT_EQ(kStepNotices, first.shownStep);
  EXPECT_EQ(IDB_STEP_NOTICES_ON, first.column.notices.image);
  EXPECT_EQ(IDB_STEP_INSTALL, first.column.install.image);
  EXPECT_FALSE(first.placement.keepPosition);
  EXPECT_EQ((1024 - 774) / 2, first.placement.x);
  EXPECT_EQ((768 - 600) / 2, first.placement.y);
  EXPECT_EQ(0, installsStarted_);

  Wizard().ConfirmNotices();
  EXPECT_EQ(1, installsStarted_);
  EXPECT_TRUE(ctx_.InstallInProgress);
  const ScreenState& second = view_.screens.back();
  EXPECT_EQ(kStepInstall, second.shownStep);
  EXPECT_EQ(IDB_STEP_INSTALL_ON, second.column.install.image);
  EXPECT_EQ(IDB_STEP_NOTICES, second.column.notices.image);
  EXPECT_TRUE(second.placement.keepPosition);
  EXPECT_EQ(1, CountLog(L"TAVO製品のインストールをチェックします。"));
  EXPECT_EQ(1, CountLog(L"「確認」ボタンをクリックしました。"));
  EXPECT_EQ(1, CountLog(L"インストールスレッドを開始します。"));

  // Entering the step again does not repeat the checks.
  Wizard().ChangeStep(kStepInstall);
  EXPECT_EQ(1, CountLog(L"TAVO製品のインストールをチェックします。"));
}

TEST_F(WizardTest, ConflictOnEnteringInstallShowsTheErrorScreen) {
  AddRegistryConflict();
  Wizard().OnInitDialog();
  Wizard().ConfirmNotices();
  EXPECT_EQ(12, ctx_.ResultCode);
  EXPECT_EQ(0, installsStarted_);
  EXPECT_EQ(kModeError, Wizard().MainMode());
  const ScreenState& s = view_.screens.back();
  EXPECT_EQ(kModeError, s.mainMode);
  EXPECT_EQ(IDB_ERROR_SCREEN, s.background);
  EXPECT_EQ(L"競合するウイルス対策ソフトウェアをアンインストールしてください", s.completion.headline);
  EXPECT_FALSE(s.completion.inFrame);
  EXPECT_EQ(1, CountLog(L"エラー番号:12 (ERRORCODE 0)") + CountLog(L"エラー番号:12 (ERRORCODE 2)") +
                   CountLog(L"エラー番号:12 (ERRORCODE 3)"));
  EXPECT_EQ(1, CountLog(L"エラー画面に遷移します(メイン画面)。"));
  EXPECT_FALSE(view_.topmostCalls.empty());
  EXPECT_TRUE(view_.topmostCalls.back());
}

TEST_F(WizardTest, ContinuingAfterResult13GoesBackToInstallWithoutNewChecks) {
  machine_.WriteFile("securitycenter.ini", "[AntiVirusProduct 0]\ndisplayName=Old AV\nproductState=266240\n");
  ctx_.Settings.ConflictSecurityCenterNames = {L"Old AV"};
  Wizard().OnInitDialog();
  Wizard().ConfirmNotices();
  ASSERT_EQ(13, ctx_.ResultCode);
  EXPECT_TRUE(view_.screens.back().completion.resume.shown);
  const int checks = CountLog(L"TAVO製品のインストールをチェックします。");

  Wizard().OnContinueButton();
  EXPECT_EQ(1, ctx_.ResultCode);
  EXPECT_EQ(kStepInstall, ctx_.StartPage);
  EXPECT_EQ(kModeFrame, Wizard().MainMode());
  EXPECT_EQ(kStepInstall, view_.screens.back().shownStep);
  EXPECT_EQ(1, installsStarted_);
  EXPECT_EQ(checks, CountLog(L"TAVO製品のインストールをチェックします。"));
  EXPECT_EQ(1, CountLog(L"インストールの続行ボタンをクリックしました。"));
  EXPECT_FALSE(view_.topmostCalls.back());
}

TEST_F(WizardTest, SkippedNoticesMoveTheColumnUp) {
  ctx_.SkipNotices = true;
  ctx_.StartPage = kStepInstall;
  Wizard().OnInitDialog();
  const ScreenState& s = view_.screens.back();
  EXPECT_FALSE(s.column.notices.shown);
  EXPECT_FALSE(s.column.connector1.shown);
  EXPECT_EQ(48, s.column.install.y);
  EXPECT_EQ(86, s.column.connector2.y);
  EXPECT_EQ(109, s.column.completion.y);
  EXPECT_EQ(135, s.column.separator.x);
  EXPECT_EQ(1, installsStarted_);
  // The start-up sequence already ran the checks.
  EXPECT_EQ(0, CountLog(L"TAVO製品のインストールをチェックします。"));

  StepColumn normal = BuildStepColumn(kStepCompletion, false);
  EXPECT_EQ(48, normal.notices.y);
  EXPECT_EQ(86, normal.connector1.y);
  EXPECT_EQ(109, normal.install.y);
  EXPECT_EQ(147, normal.connector2.y);
  EXPECT_EQ(170, normal.completion.y);
  EXPECT_EQ(IDB_STEP_DONE_ON, normal.completion.image);
  EXPECT_EQ(IDB_STEP_NOTICES_ON, BuildStepColumn(kStepNone, false).notices.image);
}

TEST_F(WizardTest, LowScreenPutsTheWindowAtTheTop) {
  WindowPlacement p = PlaceMainWindow(false, 800, 600);
  EXPECT_EQ(13, p.x);
  EXPECT_EQ(0, p.y);
  EXPECT_EQ(774, p.width);
  EXPECT_EQ(400, p.height);
  EXPECT_EQ(50, PlaceMainWindow(false, 1280, 700).y);
}

TEST_F(WizardTest, CloseButtonTwiceGivesOneQuestion) {
  Wizard().OnInitDialog();
  view_.answer = platform::kIdNo;
  view_.whileBoxOpen = [&] { Wizard().OnFrameCloseButton(); };
  Wizard().OnFrameCloseButton();
  ASSERT_EQ(1u, view_.boxes.size());
  EXPECT_EQ(L"確認", view_.boxes[0].caption);
  EXPECT_EQ(L"プログラムを終了します。\r\nよろしいですか？", view_.boxes[0].text);
  EXPECT_EQ(platform::kMbYesNo | platform::kMbIconQuestion, view_.boxes[0].type);
  EXPECT_EQ(0, view_.mainClosed);
  EXPECT_FALSE(ctx_.CloseLatch);
  EXPECT_EQ(2, CountLog(L"閉じるボタンをクリックしました。"));
  // Yes closes.
  view_.answer = platform::kIdYes;
  Wizard().OnFrameCloseButton();
  EXPECT_EQ(1, view_.mainClosed);
}

TEST_F(WizardTest, CloseDuringInstallationIsRefusedWithInformation) {
  ctx_.SkipNotices = true;
  ctx_.StartPage = kStepInstall;
  Wizard().OnInitDialog();
  ASSERT_TRUE(ctx_.InstallInProgress);
  Wizard().OnFrameCloseButton();
  ASSERT_EQ(1u, view_.boxes.size());
  EXPECT_EQ(L"情報", view_.boxes[0].caption);
  EXPECT_EQ(platform::kMbOk | platform::kMbIconInformation, view_.boxes[0].type);
  EXPECT_EQ(0, view_.mainClosed);
  EXPECT_FALSE(Wizard().OnSystemClose());
  EXPECT_EQ(2u, view_.boxes.size());
  EXPECT_TRUE(ctx_.InstallInProgress);
  EXPECT_EQ(1, CountLog(L"プログラムのインストール中に、インストーラーを終了することはできません。プログラムのインストール処理が完了するまでしばらくお待ちください。 (ERRORCODE 0)") +
                   CountLog(L"プログラムのインストール中に、インストーラーを終了することはできません。プログラムのインストール処理が完了するまでしばらくお待ちください。 (ERRORCODE 2)"));
}

TEST_F(WizardTest, SystemCloseAsksTopmostAndIsSwallowedWhileLatched) {
  ctx_.ResultCode = 3;
  ctx_.StartPage = kStepCompletion;
  Wizard().OnInitDialog();
  view_.answer = platform::kIdYes;
  EXPECT_TRUE(Wizard().OnSystemClose());
  EXPECT_EQ(BoxOwner::ErrorPage, view_.boxes.back().owner);
  EXPECT_TRUE(view_.boxes.back().type & platform::kMbTopmost);
  ctx_.CloseLatch = true;
  EXPECT_FALSE(Wizard().OnSystemClose());
  EXPECT_EQ(1u, view_.boxes.size());
}

TEST_F(WizardTest, StatusTextsFollowTheWorker) {
  ctx_.SkipNotices = true;
  ctx_.StartPage = kStepInstall;
  Wizard().OnInitDialog();
  const wchar_t* expected[] = {
      L"インターネットの接続を確認しています...", L"インターネットの接続を確認しました。",
      L"ダウンロードサーバーからインストーラー情報を取得しています...",
      L"ダウンロードサーバーからインストーラー情報を取得しました。", L"インストーラー情報を解析しています...",
      L"インストーラー情報を解析しました。", L"インストーラーをダウンロードしています...",
      L"インストーラーをダウンロードしました。", L"プログラムをインストールしています...",
      L"プログラムのインストールが完了しました。"};
  for (int step = 1; step <= 10; ++step) {
    Wizard().OnStatusMessage(WM_INSTALL_STEP, step, 0);
    EXPECT_EQ(expected[step - 1], Wizard().StatusLine());
  }
  Wizard().OnStatusMessage(WM_INSTALL_STEP, 11, 0);
  EXPECT_EQ(expected[9], Wizard().StatusLine());
  const wchar_t* progress = L"100KB/5000KB";
  Wizard().OnStatusMessage(kWmApp + 0x138B, 0, reinterpret_cast<intptr_t>(progress));
  EXPECT_EQ(L"プログラムのダウンロードを行っています...(100KB/5000KB)", Wizard().StatusLine());
  Wizard().OnStatusMessage(kWmApp + 0x138B, 0, 0);
  EXPECT_EQ(L"プログラムのダウンロードを行っています...", Wizard().StatusLine());
}

TEST_F(WizardTest, InstallDoneStoresDetailOnlyForInstallerFailures) {
  struct Row {
    intptr_t result;
    uintptr_t detail;
    int32_t storedDetail;
  } rows[] = {{7, 1603, 1603}, {8, 4, 4}, {3, 99, 55}};
  for (const auto& row : rows) {
    LauncherContext ctx;
    ctx.ResultDetail = 55;
    ctx.SkipNotices = true;
    ctx.StartPage = kStepInstall;
    FakeView view;
    WizardController wizard(ctx, view, [](LauncherContext&, MessageSink*) { return true; });
    wizard.OnInitDialog();
    wizard.OnStatusMessage(WM_INSTALL_DONE, row.detail, row.result);
    EXPECT_EQ(row.result, ctx.ResultCode);
    EXPECT_EQ(row.storedDetail, ctx.ResultDetail);
    EXPECT_EQ(kModeError, wizard.MainMode());
    EXPECT_FALSE(ctx.InstallInProgress);
    EXPECT_EQ(L"全ての処理が完了しました。閉じるボタンをクリックしてください。", wizard.StatusLine());
  }
}

TEST_F(WizardTest, SuccessWithPackageTypeOneShowsCompletionInTheFrame) {
  ctx_.SkipNotices = true;
  ctx_.StartPage = kStepInstall;
  Wizard().OnInitDialog();
  Wizard().OnInstallDone(0, 1);
  const ScreenState& s = view_.screens.back();
  EXPECT_EQ(kModeFrame, s.mainMode);
  EXPECT_EQ(kStepCompletion, s.shownStep);
  EXPECT_TRUE(ctx_.CompletionInFrame);
  EXPECT_EQ(IDB_STEP_DONE_ON, s.column.completion.image);
  EXPECT_EQ(L"インストールが完了しました", s.completion.headline);
  EXPECT_EQ(L"完了（&N）", s.completion.finish.caption);
  EXPECT_EQ(0, view_.mainClosed);
  EXPECT_EQ(1, CountLog(L"インストールが完了した為、完了画面に遷移します。"));
  Wizard().OnFinishButton();
  EXPECT_EQ(1, view_.mainClosed);
  EXPECT_EQ(1, CountLog(L"完了ボタンをクリックしました。"));
}

TEST_F(WizardTest, SuccessWithOtherPackageTypeEndsAndFirstClosesAnOpenBox) {
  ctx_.Settings.PackageType = 0;
  ctx_.SkipNotices = true;
  ctx_.StartPage = kStepInstall;
  Wizard().OnInitDialog();
  // The worker finishes while the close-refusal box is open.
  view_.whileBoxOpen = [&] { Wizard().OnInstallDone(0, 1); };
  Wizard().OnFrameCloseButton();
  ASSERT_EQ(1u, view_.closedTitles.size());
  EXPECT_EQ(L"情報", view_.closedTitles[0]);
  EXPECT_EQ(1, view_.mainClosed);
  EXPECT_EQ(1, CountLog(L"インストールが完了した為、ランチャーを終了します。"));
  EXPECT_EQ(0, CountLog(L"完了画面に遷移します。"));

  // With no box open, nothing needs closing first.
  view_.closedTitles.clear();
  Wizard().OnInstallDone(0, 1);
  EXPECT_TRUE(view_.closedTitles.empty());
  EXPECT_EQ(2, view_.mainClosed);
}

TEST_F(WizardTest, MissingBoxIsLoggedAndTheLauncherStillEnds) {
  ctx_.Settings.PackageType = 2;
  Wizard().OnInitDialog();
  ctx_.CloseLatch = true;
  ctx_.MessageCaption = L"確認";
  Wizard().OnInstallDone(0, 1);
  EXPECT_EQ(1, view_.mainClosed);
  auto log = tavo_test::ReadDebugLog(logPath_);
  bool found = false;
  for (const auto& e : log.entries) found |= e.text.find(L"表示中のメッセージボックスが見つかりません。") == 0;
  EXPECT_TRUE(found);
}

TEST_F(WizardTest, WorkerThatCannotStartEndsAsNotExecutedInsteadOfHanging) {
  ctx_.SkipNotices = true;
  ctx_.StartPage = kStepInstall;
  WizardController wizard(ctx_, view_, [](LauncherContext&, MessageSink*) { return false; });
  wizard.OnInitDialog();
  EXPECT_EQ(15, ctx_.ResultCode);
  EXPECT_FALSE(ctx_.InstallInProgress);
  EXPECT_EQ(kModeError, wizard.MainMode());
  EXPECT_EQ(L"インストールは実行されませんでした", view_.screens.back().completion.headline);
  EXPECT_EQ(1, CountLog(L"インストールスレッドの起動に失敗しました。 (ERRORCODE 0)") +
                   CountLog(L"インストールスレッドの起動に失敗しました。 (ERRORCODE 2)"));
  // The user can close the window again.
  view_.answer = platform::kIdYes;
  wizard.OnFrameCloseButton();
  EXPECT_EQ(1, view_.mainClosed);
}

TEST_F(WizardTest, SkippedNoticesAreNotRead) {
  ctx_.SkipNotices = true;
  Wizard().LoadNotices();
  EXPECT_TRUE(Wizard().NoticeRows().empty());
  EXPECT_TRUE(errorBoxes_.empty());
  EXPECT_EQ(0, CountLog(L"通知データを取得します。"));
}

TEST_F(WizardTest, MinimizeFailureIsReported) {
  Wizard().OnInitDialog();
  Wizard().OnMinimizeButton();
  EXPECT_TRUE(errorBoxes_.empty());
  view_.minimizeWorks = false;
  Wizard().OnMinimizeButton();
  ASSERT_EQ(1u, errorBoxes_.size());
  EXPECT_EQ(0u, errorBoxes_[0].find(L"ダイアログの最小化に失敗しました。 (ErrorNumber="));
}

TEST_F(WizardTest, FailedScreenSwitchIsReported) {
  Wizard().OnInitDialog();
  view_.backgroundLoads = false;
  Wizard().ChangeStep(kStepInstall);
  ASSERT_EQ(1u, errorBoxes_.size());
  EXPECT_EQ(0u, errorBoxes_[0].find(L"画面の遷移に失敗しました。"));
}

// Notices.
const char kNotices[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><NotificationDataSet>"
    "<NotificationVersion>3</NotificationVersion><NotificationDataValueCount>3</NotificationDataValueCount>"
    "<NotificationDataValue00><NFDTitle>First_BR_notice</NFDTitle><NFDURL>https://example.invalid/a</NFDURL>"
    "<STRCOLOR>255,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue></NotificationDataValue00>"
    "<NotificationDataValue01><NFDTitle>No address</NFDTitle><NFDConditionType>6</NFDConditionType><NFDConditionValue>130</NFDConditionValue></NotificationDataValue01>"
    "<NotificationDataValue02><NFDTitle>Never</NFDTitle><NFDURL>https://example.invalid/c</NFDURL><NFDConditionType>1</NFDConditionType></NotificationDataValue02>"
    "</NotificationDataSet>";

TEST_F(WizardTest, NoticeRowsLatchAndBrowserFallback) {
  tavo_test::WriteBytes(ctx_.NotificationPath, kNotices);
  Wizard().OnInitDialog();
  Wizard().LoadNotices();
  ASSERT_EQ(2u, Wizard().NoticeRows().size());
  EXPECT_EQ(L"First\r\nnotice", Wizard().NoticeRows()[0].text);
  EXPECT_EQ(255u, Wizard().NoticeRows()[0].textColour);
  EXPECT_EQ(0xFFFFFFu, Wizard().NoticeRows()[0].backgroundColour);
  EXPECT_EQ(2, CountLog(L"以下の通知情報を追加しました。"));

  // A notice without an address does nothing.
  Wizard().OpenSelectedNotice(1);
  EXPECT_EQ("", machine_.ReadFile("shell.log"));
  Wizard().ReleaseOpenLatch();
  // One press opens once, however long the button is held.
  Wizard().OpenSelectedNotice(0);
  Wizard().OpenSelectedNotice(0);
  EXPECT_EQ("https://example.invalid/a\n", machine_.ReadFile("shell.log"));
  Wizard().ReleaseOpenLatch();
  Wizard().OpenSelectedNotice(0);
  EXPECT_EQ("https://example.invalid/a\nhttps://example.invalid/a\n", machine_.ReadFile("shell.log"));
  EXPECT_TRUE(view_.boxes.empty());

  // Access denied by the shell: once more through IExplore, without an error.
  machine_.Set("Shell", "OpenResult", "5");
  Wizard().ReleaseOpenLatch();
  Wizard().OpenSelectedNotice(0);
  EXPECT_NE(std::string::npos, machine_.ReadFile("shell.log").find("IExplore https://example.invalid/a\n"));
  EXPECT_TRUE(view_.boxes.empty());

  // Both refused: the address is shown to be typed in.
  machine_.Set("Shell", "IExploreResult", "2");
  Wizard().ReleaseOpenLatch();
  Wizard().OpenSelectedNotice(0);
  ASSERT_EQ(1u, view_.boxes.size());
  EXPECT_EQ(L"エラー", view_.boxes[0].caption);
  EXPECT_NE(std::wstring::npos, view_.boxes[0].text.find(L"\r\n\r\nhttps://example.invalid/a"));

  // A row without a notice behind it.
  Wizard().ReleaseOpenLatch();
  Wizard().OpenSelectedNotice(7);
  ASSERT_EQ(2u, view_.boxes.size());
  EXPECT_EQ(L"お知らせ情報の取得に失敗しました。", view_.boxes[1].text);
}

TEST_F(WizardTest, UnreadableNoticesLeaveAnEmptyList) {
  Wizard().OnInitDialog();
  Wizard().LoadNotices();
  EXPECT_TRUE(Wizard().NoticeRows().empty());
  ASSERT_EQ(1u, errorBoxes_.size());
  EXPECT_EQ(0u, errorBoxes_[0].find(L"お知らせ情報の読み込みに失敗しました。"));
}

TEST_F(WizardTest, HelpLinkOpensTheRolePageAndDropsTopmost) {
  ctx_.ResultCode = 8;
  ctx_.ResultDetail = 4;
  ctx_.StartPage = kStepCompletion;
  Wizard().OnInitDialog();
  Wizard().OnHelpLink();
  EXPECT_NE(std::string::npos, machine_.ReadFile("shell.log").find("installer-1603"));
  EXPECT_FALSE(view_.topmostCalls.back());
  Wizard().OnCompletionCloseButton();
  EXPECT_EQ(L"確認", view_.boxes.back().caption);
  EXPECT_EQ(1, view_.mainClosed);
}

}  // namespace

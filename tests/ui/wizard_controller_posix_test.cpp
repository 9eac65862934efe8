// The wizard's decisions against a fake view: steps and screens, the close latch, the install worker's messages, the
// notices list and its open latch.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "app/launcher_context.h"
#include "platform/message_box.h"
#include "platform/utf.h"
#include "tests/support/fake_wizard_view.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"
#include "ui/wizard_controller.h"

namespace {

using tavo_test::Box;
using tavo_test::FakeView;

// Error boxes of the launcher go through the platform's box; answer them instead.
int NoBox(void*, const std::wstring&, const std::wstring&, uint32_t) { return platform::kIdOk; }

class WizardTest : public ::testing::Test {
 public:
  void TestBody() override {}
  void SetUp() override {
    platform::SetMessageBoxHandler(NoBox);
    ctx_.Settings.ProductType = 5;
    ctx_.NotificationPath = machine_.wfolder() + L"SetupNotification.xml";
  }
  void TearDown() override { platform::SetMessageBoxHandler(nullptr); }
  WizardController& Wizard(bool starts = true) {
    if (!wizard_) {
      const WizardRun run{ctx_.Settings, ctx_, ctx_, ctx_.SkipNotices, ctx_.StartPage};
      wizard_ = std::make_unique<WizardController>(run, view_, [this, starts](MessageSink* sink) {
        EXPECT_EQ(&view_, sink);
        installs_ += starts;
        return starts;
      });
    }
    return *wizard_;
  }
  void StartAt(int32_t step, int32_t result = 0) {
    ctx_.SkipNotices = step != kStepNotices;
    ctx_.StartPage = step;
    ctx_.ResultCode = result;
  }
  tavo_test::SimMachine machine_;
  LauncherContext ctx_;
  FakeView view_;
  std::unique_ptr<WizardController> wizard_;
  int installs_ = 0;
};

// Confirming the notices runs the checks: nothing found starts the worker on the
// installation step; a conflict (12) or a left-over one (13) shows the error screen.
TEST_F(WizardTest, ConfirmingTheNoticesRunsTheChecksAndMovesOn) {
  for (int32_t found : {0, 12, 13}) {
    SCOPED_TRACE(found);
    WizardTest run;
    run.SetUp();
    if (found == 12) {
      run.ctx_.Settings.ConflictPackages = {{L"Other AV", L"SOFTWARE\\Other\\AV"}};
      run.machine_.SetRegistryString(L"SOFTWARE\\Other\\AV", L"Version", L"1.0");
    } else if (found == 13) {
      run.machine_.WriteFile("securitycenter.ini", "[AntiVirusProduct 0]\ndisplayName=Old AV\nproductState=266240\n");
      run.ctx_.Settings.ConflictSecurityCenterNames = {L"Old AV"};
    }
    ASSERT_TRUE(run.Wizard().OnInitDialog());
    EXPECT_EQ(kStepNotices, run.view_.screens.back().shownStep);
    EXPECT_FALSE(run.view_.screens.back().placement.keepPosition);
    run.Wizard().ConfirmNotices();
    const ScreenState& screen = run.view_.screens.back();
    EXPECT_EQ(found, run.ctx_.ResultCode);
    EXPECT_EQ(found ? kModeError : kModeFrame, screen.mainMode);
    EXPECT_EQ(found ? kStepNone : kStepInstall, screen.shownStep);
    EXPECT_TRUE(screen.placement.keepPosition);
    EXPECT_EQ(found ? 0 : 1, run.installs_);
    EXPECT_EQ(!found, run.Wizard().InstallInProgress());
    EXPECT_EQ(found != 0, run.view_.topmost_) << "a result stays in front";
    EXPECT_EQ(found == 13, screen.completion.resume.shown);
    if (found == 13) {  // continuing after the left-over conflict installs without new checks
      run.Wizard().OnContinueButton();
      EXPECT_EQ(1, run.ctx_.ResultCode);
      EXPECT_EQ(kStepInstall, run.view_.screens.back().shownStep);
      EXPECT_EQ(1, run.installs_);
      EXPECT_FALSE(run.view_.topmost_);
    }
    run.TearDown();
  }
}

TEST_F(WizardTest, TheCloseLatchAsksOnceAndInstallationsCannotBeClosed) {
  Wizard().OnInitDialog();
  view_.answer = platform::kIdNo;
  view_.whileBoxOpen = [&] { Wizard().OnFrameCloseButton(); };  // a second press while asking
  Wizard().OnFrameCloseButton();
  ASSERT_EQ(1u, view_.boxes.size());
  EXPECT_EQ(platform::kMbYesNo | platform::kMbIconQuestion, view_.boxes[0].type);
  EXPECT_EQ(0, view_.mainClosed);
  view_.answer = platform::kIdYes;
  Wizard().OnFrameCloseButton();
  EXPECT_EQ(1, view_.mainClosed);
  // While the worker runs a close only informs, by button or by the system.
  view_ = FakeView();
  wizard_.reset();
  StartAt(kStepInstall);
  Wizard().OnInitDialog();
  ASSERT_TRUE(Wizard().InstallInProgress());
  Wizard().OnFrameCloseButton();
  EXPECT_FALSE(Wizard().OnSystemClose());
  ASSERT_EQ(2u, view_.boxes.size());
  EXPECT_EQ(platform::kMbOk | platform::kMbIconInformation, view_.boxes[0].type);
  EXPECT_EQ(0, view_.mainClosed);
  EXPECT_TRUE(Wizard().InstallInProgress());
  // On a result the system close asks in front of everything; latched, it is swallowed.
  view_ = FakeView();
  wizard_.reset();
  StartAt(kStepCompletion, 3);
  Wizard().OnInitDialog();
  view_.whileBoxOpen = [&] {
    EXPECT_FALSE(Wizard().OnSystemClose());
    Wizard().OnCompletionCloseButton();
  };
  EXPECT_TRUE(Wizard().OnSystemClose());
  EXPECT_EQ(1u, view_.boxes.size());
  EXPECT_EQ(BoxOwner::ErrorPage, view_.boxes.back().owner);
  EXPECT_TRUE(view_.boxes.back().type & platform::kMbTopmost);
}

TEST_F(WizardTest, TheWorkersEndKeepsTheDetailOnlyForInstallerFailures) {
  // The detail is kept only for installer failures.
  for (const auto& row : {std::make_tuple(7, 1603, 1603), std::make_tuple(8, 4, 4), std::make_tuple(3, 99, 55)}) {
    LauncherContext ctx;
    ctx.ResultDetail = 55;
    FakeView view;
    WizardController wizard(WizardRun{ctx.Settings, ctx, ctx, true, kStepInstall}, view, [](MessageSink*) { return true; });
    wizard.OnInitDialog();
    wizard.OnStatusMessage(WM_INSTALL_DONE, std::get<1>(row), std::get<0>(row));
    EXPECT_EQ(std::get<0>(row), ctx.ResultCode);
    EXPECT_EQ(std::get<2>(row), ctx.ResultDetail);
    EXPECT_EQ(kModeError, wizard.MainMode());
    EXPECT_FALSE(wizard.InstallInProgress());
  }
}

TEST_F(WizardTest, SuccessOfAPackageTypeWithoutCompletionPageClosesTheOpenBoxAndTheLauncher) {
  ctx_.Settings.PackageType = 0;
  StartAt(kStepInstall);
  Wizard().OnInitDialog();
  view_.whileBoxOpen = [&] { Wizard().OnInstallDone(0, 1); };
  Wizard().OnFrameCloseButton();
  ASSERT_EQ(1u, view_.closedTitles.size());
  EXPECT_EQ(view_.boxes[0].caption, view_.closedTitles[0]);
  EXPECT_EQ(1, view_.mainClosed);
  // A latched box that cannot be found does not keep the launcher open.
  view_.boxFindable = false;
  view_.answer = platform::kIdNo;
  view_.whileBoxOpen = [&] { Wizard().OnInstallDone(0, 1); };
  Wizard().OnFrameCloseButton();
  EXPECT_EQ(2, view_.mainClosed);
}

// The worker's step number picks the status line: each step its own, an unknown number none.
TEST_F(WizardTest, EachInstallStepShowsItsOwnLine) {
  const int32_t first = static_cast<int32_t>(kFirstInstallStep), last = static_cast<int32_t>(kLastInstallStep);
  std::set<std::wstring> lines;
  for (int32_t step = first; step <= last; ++step) {
    Wizard().OnStatusMessage(WM_INSTALL_STEP, static_cast<uintptr_t>(step), 0);
    EXPECT_FALSE(Wizard().StatusLine().empty()) << "step " << step;
    lines.insert(Wizard().StatusLine());
  }
  EXPECT_EQ(static_cast<size_t>(last - first + 1), lines.size()) << "steps sharing a line";
  const std::wstring shown = Wizard().StatusLine();
  for (int32_t unknown : {first - 1, last + 1}) {
    Wizard().OnStatusMessage(WM_INSTALL_STEP, static_cast<uintptr_t>(unknown), 0);
    EXPECT_EQ(shown, Wizard().StatusLine()) << "step " << unknown;
  }
}

TEST_F(WizardTest, AWorkerThatCannotStartEndsAsNotExecutedInsteadOfHanging) {
  StartAt(kStepInstall);
  Wizard(false).OnInitDialog();
  EXPECT_EQ(15, ctx_.ResultCode);
  EXPECT_FALSE(Wizard().InstallInProgress());
  EXPECT_EQ(kModeError, Wizard().MainMode());
  Wizard().OnFrameCloseButton();
  EXPECT_EQ(1, view_.mainClosed) << "the user can close the window again";
}

// A wizard that opens straight on a result keeps it in front; without a status
// page the run ends as not executed instead of waiting at the installation step.
TEST_F(WizardTest, AResultShownFirstStaysInFrontAndNoStatusPageEndsAsNotExecuted) {
  for (int32_t result : {3, 6, 12, 13, 16, 17, 21}) {
    WizardTest run;
    run.StartAt(kStepCompletion, result);
    run.Wizard().OnInitDialog();
    EXPECT_TRUE(run.view_.topmost_) << result;
  }
  view_.statusPage = false;
  StartAt(kStepInstall);
  Wizard().OnInitDialog();
  EXPECT_EQ(std::make_tuple(0, 15, kModeError, false),
            std::make_tuple(installs_, ctx_.ResultCode, Wizard().MainMode(), Wizard().InstallInProgress()));
}

TEST_F(WizardTest, NoticesAndTheirOpenLatch) {
  tavo_test::WriteBytes(ctx_.NotificationPath,
      "<NotificationDataSet><NotificationVersion>3</NotificationVersion><NotificationDataValueCount>1"
      "</NotificationDataValueCount><NotificationDataValue00><NFDTitle>A</NFDTitle><NFDURL>https://example.invalid/a"
      "</NFDURL><NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue></NotificationDataValue00>"
      "</NotificationDataSet>");
  Wizard().LoadNotices();
  ASSERT_EQ(1u, Wizard().NoticeRows().size());
  Wizard().OpenSelectedNotice(0);
  Wizard().OpenSelectedNotice(0);  // one press opens once, however long it is held
  Wizard().ReleaseOpenLatch();
  Wizard().OpenSelectedNotice(0);
  EXPECT_EQ("https://example.invalid/a\nhttps://example.invalid/a\n", machine_.ReadFile("shell.log"));
  Wizard().ReleaseOpenLatch();
  Wizard().OpenSelectedNotice(7);
  EXPECT_EQ(1u, view_.boxes.size()) << "a row without a notice behind it";
}

// Only web addresses reach the shell, told by their whole scheme in any case; the user gets the box of an
// address the browser cannot open for every other one.
TEST_F(WizardTest, OnlyWebAddressesAreOpened) {
  const std::pair<const wchar_t*, bool> urls[] = {
      {L"http://a", true},    {L"https://a", true},  {L"HTTP://a", true},   {L"hTTpS://a", true},  {L"http:x", false},
      {L"httpx://a", false},  {L"https:/x", false},  {L"http:/x", false},   {L"file://a", false},  {L"http", false},
      {L" http://a", false},  {L"C:\\x.exe", false}, {L"\\\\host\\s", false}, {L"", false}};
  std::string opened;
  for (const auto& [url, web] : urls) {
    EXPECT_EQ(web, OpenInBrowser(url, view_, BoxOwner::Frame)) << platform::WideToUtf8(url);
    if (web) opened += platform::WideToUtf8(url) + "\n";
  }
  EXPECT_EQ(opened, machine_.ReadFile("shell.log"));
  machine_.Set("Shell", "OpenResult", "2");
  OpenInBrowser(L"https://a", view_, BoxOwner::Frame);  // the box of a browser that cannot be started
  const Box& failed = view_.boxes.back();
  auto shown = [](const Box& box, const std::wstring& text) { return text + box.caption + std::to_wstring(box.type) + L"\n"; };
  std::wstring want, got;
  for (const auto& [url, web] : urls) want += web ? L"" : shown(failed, failed.text.substr(0, failed.text.size() - 9) + url);
  for (size_t i = 0; i + 1 < view_.boxes.size(); ++i) got += shown(view_.boxes[i], view_.boxes[i].text);
  EXPECT_EQ(platform::WideToUtf8(want), platform::WideToUtf8(got));
}

}  // namespace

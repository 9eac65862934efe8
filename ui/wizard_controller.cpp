#include "ui/wizard_controller.h"

#include "base/debug_log.h"
#include "base/error_box.h"
#include "app/launcher_context.h"
#include "base/text.h"
#include "config/notification_data.h"
#include "env/environment_checks.h"
#include "env/notice_conditions.h"
#include "net/download_notify.h"
#include "platform/message_box.h"
#include "platform/shell.h"
#include "ui/resource_ids.h"
#include "base/result_codes.h"

namespace {

const wchar_t kErrorCaption[] = L"エラー";
const wchar_t kConfirmCaption[] = L"確認";
const wchar_t kInfoCaption[] = L"情報";
const wchar_t kCloseQuestion[] = L"プログラムを終了します。\r\nよろしいですか？";
const wchar_t kCloseRefused[] =
    L"プログラムのインストール中に、インストーラーを終了することはできません。\r\n"
    L"プログラムのインストール処理が完了するまでしばらくお待ちください。";
const wchar_t kTransitionFailed[] = L"画面の遷移に失敗しました。";
const wchar_t kBrowserFailed[] =
    L"ブラウザーの起動に失敗しました。\r\n本プログラムからご使用のブラウザーを起動できない可能性があります。\r\n"
    L"ご使用のブラウザーを起動し、以下のアドレスを入力してください。\r\n\r\n%ls";

}  // namespace

StepColumn BuildStepColumn(int32_t step, bool skipNotices) {
  StepColumn c;
  c.notices = {step == kStepNotices || step == kStepNone ? IDB_STEP_NOTICES_ON : IDB_STEP_NOTICES, 5, 48, true};
  c.connector1 = {IDB_CONNECTOR, 5, 86, true};
  c.install = {step == kStepInstall ? IDB_STEP_INSTALL_ON : IDB_STEP_INSTALL, 5, 109, true};
  c.connector2 = {IDB_CONNECTOR, 5, 147, true};
  c.completion = {step == kStepCompletion ? IDB_STEP_DONE_ON : IDB_STEP_DONE, 5, 170, true};
  c.separator = {IDB_SEPARATOR, 135, 48, true};
  if (skipNotices) {
    // Without the notices step the column moves up by one indicator and connector.
    c.notices.shown = false;
    c.connector1.shown = false;
    c.install.y -= 61;
    c.connector2.y -= 61;
    c.completion.y -= 61;
  }
  return c;
}

WindowPlacement PlaceMainWindow(bool initialised, int32_t screenWidth, int32_t screenHeight) {
  WindowPlacement p;
  p.keepPosition = initialised;
  if (!initialised) {
    p.x = (screenWidth - 774) / 2;
    // Centred as a 600-pixel window; at the top edge on a low screen.
    p.y = screenHeight > 600 ? (screenHeight - 600) / 2 : 0;
  }
  return p;
}

bool OpenInBrowser(const std::wstring& url, WizardView& view, BoxOwner owner) {
  intptr_t result = platform::ShellOpen(url, std::wstring());
  if (result == 5) result = platform::ShellOpen(L"IExplore", url);
  if (result > 32) return true;
  const std::wstring text = FormatText(kBrowserFailed, url.c_str());
  Log().Error(text);
  view.ShowBox(owner, text, kErrorCaption, platform::kMbOk | platform::kMbIconError);
  return false;
}

WizardController::WizardController(LauncherContext& context, WizardView& view, InstallStarter starter)
    : ctx_(context), view_(view), starter_(std::move(starter)) {}

bool WizardController::OnInitDialog() {
  Log().Info(L"ダイアログの初期化処理を実行します。(フレーム画面）");
  view_.CreatePages();
  // No installation runs before the first step is entered.
  ctx_.InstallInProgress = false;
  // Creating the frame runs its own initialisation, which enters the first step.
  ChangeStep(ctx_.StartPage);
  const bool ok = TransitionScreen();
  initialised_ = true;
  if (!ok) ShowErrorBox(nullptr, kErrorCaption, kTransitionFailed);
  return ok;
}

bool WizardController::ChangeStep(int32_t step) {
  if (!ctx_.SkipNotices && !checksDone_ && step == kStepInstall) {
    if (RunEnvironmentChecks(&ctx_, CheckCaller::Frame) != 0) step = kStepCompletion;
    checksDone_ = true;
  }
  if (step == kStepCompletion && ctx_.ResultCode != kResultSuccess) {
    Log().Error(FormatText(L"エラー番号:%d", ctx_.ResultCode));
    mainMode_ = kModeError;
  } else {
    ctx_.StartPage = step;
    mainMode_ = kModeFrame;
  }
  if (initialised_ && !TransitionScreen()) {
    Log().Error(kTransitionFailed);
    ShowErrorBox(nullptr, kErrorCaption, kTransitionFailed);
  }
  return true;
}

void WizardController::ShowStepPageEnter(int32_t step) {
  switch (step) {
    case kStepInstall:
      ctx_.InstallInProgress = true;
      statusLine_ = L"ダウンロードサーバーの確認を行っています...";
      StartInstallThread();
      break;
    case kStepCompletion:
      ctx_.CompletionInFrame = true;
      break;
    default:
      break;
  }
}

ScreenState WizardController::BuildScreen() const {
  ScreenState s;
  s.mainMode = mainMode_;
  s.placement = PlaceMainWindow(initialised_, view_.ScreenWidth(), view_.ScreenHeight());
  if (mainMode_ == kModeFrame) {
    s.background = IDB_MAIN_FRAME;
    s.column = BuildStepColumn(shownStep_, ctx_.SkipNotices);
    s.shownStep = shownStep_;
    if (shownStep_ == kStepNotices && ctx_.SkipNotices) s.shownStep = kStepNone;
    if (shownStep_ == kStepCompletion) s.completion = BuildCompletionLayout(ctx_, ctx_.CompletionInFrame);
  } else {
    s.background = IDB_ERROR_SCREEN;
    s.shownStep = kStepNone;
    s.completion = BuildCompletionLayout(ctx_, false);
  }
  return s;
}

bool WizardController::TransitionScreen() {
  bool showsCompletion = false;
  if (mainMode_ == kModeFrame) {
    Log().Info(L"フレーム画面に遷移します(メイン画面)。");
    shownStep_ = ctx_.StartPage;
    if (shownStep_ >= kStepNotices && shownStep_ <= kStepCompletion) {
      if (!(shownStep_ == kStepNotices && ctx_.SkipNotices)) ShowStepPageEnter(shownStep_);
    }
    showsCompletion = shownStep_ == kStepCompletion;
  } else {
    Log().Info(L"エラー画面に遷移します(メイン画面)。");
    showsCompletion = true;
  }
  if (showsCompletion) ctx_.InstallInProgress = false;  // a completion page clears it as it is built
  const bool ok = view_.ApplyScreen(BuildScreen());
  // A rebuilt result stays in front of other windows.
  if (showsCompletion && initialised_) view_.SetTopmost(true);
  if (startFailed_) {
    startFailed_ = false;
    ctx_.ResultCode = kResultNotExecuted;
    Log().Error(FormatText(L"エラー番号:%d", ctx_.ResultCode));
    mainMode_ = kModeError;
    return TransitionScreen() && ok;
  }
  return ok;
}

int WizardController::AskToClose(BoxOwner owner, uint32_t extraType) {
  ctx_.MessageCaption = kConfirmCaption;
  return view_.ShowBox(owner, kCloseQuestion, kConfirmCaption,
                       platform::kMbYesNo | platform::kMbIconQuestion | extraType);
}

void WizardController::RefuseCloseDuringInstall(BoxOwner owner) {
  ctx_.MessageCaption = kInfoCaption;
  view_.ShowBox(owner, kCloseRefused, kInfoCaption, platform::kMbOk | platform::kMbIconInformation);
}

void WizardController::OnFrameCloseButton() {
  Log().Info(L"閉じるボタンをクリックしました。");
  if (ctx_.CloseLatch) return;
  ctx_.CloseLatch = true;
  if (ctx_.InstallInProgress) {
    Log().Error(kCloseRefused);
    RefuseCloseDuringInstall(BoxOwner::Frame);
  } else if (AskToClose(BoxOwner::Frame, 0) == platform::kIdYes) {
    view_.CloseMainWindow();
  }
  ctx_.CloseLatch = false;
}

bool WizardController::OnSystemClose() {
  if (ctx_.CloseLatch) return false;
  ctx_.CloseLatch = true;
  bool close = false;
  if (ctx_.InstallInProgress) {
    RefuseCloseDuringInstall(BoxOwner::Frame);
  } else {
    BoxOwner owner = mainMode_ == kModeFrame ? BoxOwner::Frame : BoxOwner::ErrorPage;
    close = AskToClose(owner, platform::kMbTopmost) == platform::kIdYes;
  }
  ctx_.CloseLatch = false;
  return close;
}

void WizardController::OnCompletionCloseButton() {
  Log().Info(L"閉じるボタンをクリックしました。");
  if (ctx_.CloseLatch) return;
  ctx_.CloseLatch = true;
  if (AskToClose(BoxOwner::Page, 0) == platform::kIdYes) view_.CloseMainWindow();
  ctx_.CloseLatch = false;
}

void WizardController::OnMinimizeButton() {
  Log().Info(L"最小化ボタンをクリックしました。");
  if (!view_.Minimize()) {
    Log().Error(L"ダイアログの最小化に失敗しました。");
    ShowErrorBox(nullptr, kErrorCaption, L"ダイアログの最小化に失敗しました。");
  }
}

bool WizardController::StartInstallThread() {
  Log().Info(L"インストールスレッドを開始します。");
  if (starter_ && starter_(ctx_, view_.StatusSink())) return true;
  // Without a worker nothing would ever end the installation step, and every
  // close would be refused: the run ends as not executed instead.
  Log().Error(L"インストールスレッドの起動に失敗しました。");
  ctx_.InstallInProgress = false;
  startFailed_ = true;
  return false;
}

std::wstring WizardController::StatusStepText(int32_t step) {
  static const wchar_t* const kTexts[] = {
      L"インターネットの接続を確認しています...",
      L"インターネットの接続を確認しました。",
      L"ダウンロードサーバーからインストーラー情報を取得しています...",
      L"ダウンロードサーバーからインストーラー情報を取得しました。",
      L"インストーラー情報を解析しています...",
      L"インストーラー情報を解析しました。",
      L"インストーラーをダウンロードしています...",
      L"インストーラーをダウンロードしました。",
      L"プログラムをインストールしています...",
      L"プログラムのインストールが完了しました。",
  };
  if (step < 1 || step > 10) return std::wstring();
  return kTexts[step - 1];
}

void WizardController::OnInstallStep(int32_t step) {
  std::wstring text = StatusStepText(step);
  // A step the page does not know leaves the line as it is.
  if (text.empty()) return;
  statusLine_ = text;
  view_.SetStatusLine(statusLine_);
}

void WizardController::OnDownloadProgress(const std::wstring& text) {
  statusLine_ = text.empty() ? std::wstring(L"プログラムのダウンロードを行っています...")
                             : FormatText(L"プログラムのダウンロードを行っています...(%ls)", text.c_str());
  view_.SetStatusLine(statusLine_);
}

void WizardController::OnInstallDone(uintptr_t detail, intptr_t result) {
  ctx_.ResultCode = static_cast<int32_t>(result);
  if (result == kResultInstallerFailed || result == kResultInstallerLogFailure) ctx_.ResultDetail = static_cast<int32_t>(detail);
  if (ctx_.ResultCode == kResultSuccess && ctx_.Settings.PackageType != 1) {
    Log().Info(L"インストールが完了した為、ランチャーを終了します。");
    if (ctx_.CloseLatch && !view_.CloseWindowTitled(ctx_.MessageCaption)) {
      Log().Error(L"表示中のメッセージボックスが見つかりません。");
    }
    ctx_.InstallInProgress = false;
    view_.CloseMainWindow();
  } else {
    if (ctx_.ResultCode == kResultSuccess) Log().Info(L"インストールが完了した為、完了画面に遷移します。");
    Log().Info(L"完了画面に遷移します。");
    ctx_.InstallInProgress = false;
    ChangeStep(kStepCompletion);
  }
  ctx_.InstallInProgress = false;
  statusLine_ = L"全ての処理が完了しました。閉じるボタンをクリックしてください。";
  view_.SetStatusLine(statusLine_);
}

intptr_t WizardController::OnStatusMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_INSTALL_STEP:
      OnInstallStep(static_cast<int32_t>(wParam));
      break;
    case WM_INSTALL_DONE:
      OnInstallDone(wParam, lParam);
      break;
    default:
      if (message == WM_DOWNLOAD_PROGRESS) {
        const auto* text = reinterpret_cast<const wchar_t*>(lParam);
        OnDownloadProgress(text ? std::wstring(text) : std::wstring());
      }
      break;
  }
  return 0;
}

CompletionLayout WizardController::CurrentCompletion() const {
  return BuildCompletionLayout(ctx_, mainMode_ == kModeFrame && ctx_.CompletionInFrame);
}

void WizardController::OnFinishButton() {
  Log().Info(ctx_.ResultCode == kResultSuccess ? L"完了ボタンをクリックしました。" : L"終了ボタンをクリックしました。");
  view_.CloseMainWindow();
}

void WizardController::OnContinueButton() {
  Log().Info(L"インストールの続行ボタンをクリックしました。");
  ctx_.StartPage = kStepInstall;
  ctx_.ResultCode = kResultSuccess;
  mainMode_ = kModeFrame;
  if (initialised_ && !TransitionScreen()) {
    Log().Error(kTransitionFailed);
    ShowErrorBox(nullptr, kErrorCaption, kTransitionFailed);
  }
  view_.SetTopmost(false);
}

void WizardController::OnHelpLink() {
  OpenInBrowser(CurrentCompletion().helpUrl, view_, BoxOwner::Page);
  view_.SetTopmost(false);
}

void WizardController::OnDownloadLink() {
  OpenInBrowser(CurrentCompletion().downloadUrl, view_, BoxOwner::Page);
  view_.SetTopmost(false);
}

void WizardController::OnProcedureLink() {
  OpenInBrowser(CurrentCompletion().procedureUrl, view_, BoxOwner::Page);
  view_.SetTopmost(false);
}

void WizardController::LoadNotices() {
  noticeRows_.clear();
  // The notices are read only for a page that will be shown: with the step
  // skipped, an unreadable file has already been reported by the start-up.
  if (ctx_.SkipNotices) return;
  Log().Info(L"通知データを取得します。");
  if (!ReadNotificationItems(ctx_.NotificationPath, &ctx_.NoticeItems)) {
    Log().Error(L"お知らせ情報の読み込みに失敗しました。");
    ShowErrorBox(nullptr, kErrorCaption, L"お知らせ情報の読み込みに失敗しました。");
    return;
  }
  for (size_t i = 0; i < ctx_.NoticeItems.size(); ++i) {
    const NotificationItem& item = ctx_.NoticeItems[i];
    if (!IsNoticeApplicable(item, ctx_.Settings)) continue;
    noticeRows_.push_back({item.Title, item.Color, 0xFFFFFF, i});
    Log().Info(L"以下の通知情報を追加しました。");
    Log().Info(item.Title);
  }
}

void WizardController::ConfirmNotices() {
  Log().Info(L"「確認」ボタンをクリックしました。");
  ChangeStep(kStepInstall);
}

void WizardController::OpenSelectedNotice(int32_t row) {
  if (openLatch_) return;
  if (row >= 0) {
    if (static_cast<size_t>(row) >= noticeRows_.size() || noticeRows_[row].item >= ctx_.NoticeItems.size()) {
      Log().Error(L"お知らせ情報の取得に失敗しました。");
      view_.ShowBox(BoxOwner::Page, L"お知らせ情報の取得に失敗しました。", kErrorCaption,
                    platform::kMbOk | platform::kMbIconError);
    } else {
      const std::wstring url = ctx_.NoticeItems[noticeRows_[row].item].Url;
      if (!url.empty()) OpenInBrowser(url, view_, BoxOwner::Page);
    }
  }
  openLatch_ = true;
}

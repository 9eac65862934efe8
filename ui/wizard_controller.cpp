#include "ui/wizard_controller.h"

#include "base/debug_log.h"
#include "base/error_box.h"
#include "base/result_codes.h"
#include "base/run_result.h"
#include "base/text.h"
#include "base/working_paths.h"
#include "config/launch_settings.h"
#include "config/notification_data.h"
#include "env/environment_checks.h"
#include "env/notice_conditions.h"
#include "net/download_notify.h"
#include "platform/message_box.h"
#include "platform/shell.h"
#include "ui/resource_ids.h"

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

namespace {

bool IsWebAddress(const std::wstring& url) {
  const std::wstring lower = ToLowerAscii(url);
  return lower.compare(0, 7, L"http://") == 0 || lower.compare(0, 8, L"https://") == 0;
}

}  // namespace

bool OpenInBrowser(const std::wstring& url, WizardView& view, BoxOwner owner) {
  // The shell runs whatever it is given, with the launcher's rights: a program
  // path or a share from a notices file must never get there.
  // The user is told as when the browser cannot be started, with the
  // address, so that a click never seems lost.
  const std::wstring text = FormatText(kBrowserFailed, url.c_str());
  if (!IsWebAddress(url)) {
    Log().ErrorPlain(L"Webページのアドレスではないため開きません。");
    Log().ErrorPlain(url);
    Log().ErrorPlain(text);
  } else {
    // No second try through a browser by name: a name is looked up where the
    // user may have put a program of that name.
    if (platform::ShellOpen(url, std::wstring()) > 32) return true;
    Log().Error(text);
  }
  view.ShowBox(owner, text, kErrorCaption, platform::kMbOk | platform::kMbIconError);
  return false;
}

WizardController::WizardController(const WizardRun& run, WizardView& view, InstallStarter starter)
    : settings_(run.Settings),
      paths_(run.Paths),
      result_(run.Result),
      skipNotices_(run.SkipNotices),
      unattended_(run.Unattended),
      startPage_(run.StartPage),
      view_(view),
      starter_(std::move(starter)) {}

bool WizardController::OnInitDialog() {
  Log().Info(L"ダイアログの初期化処理を実行します。(フレーム画面）");
  view_.CreatePages();
  pagesCreated_ = true;
  // No installation runs before the first step is entered.
  installInProgress_ = false;
  // Creating the frame runs its own initialisation, which enters the first step.
  ChangeStep(startPage_);
  const bool ok = TransitionScreen();
  initialised_ = true;
  if (!ok) ShowErrorBox(nullptr, kErrorCaption, kTransitionFailed);
  ContinueUnattended();
  return ok;
}

int WizardController::Box(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type) {
  if (!unattended_) return view_.ShowBox(owner, text, caption, type);
  return (type & 0xF) == platform::kMbYesNo ? platform::kIdNo : platform::kIdOk;
}

void WizardController::ContinueUnattended() {
  if (!unattended_ || closedUnattended_) return;
  if (mainMode_ == kModeFrame && shownStep_ == kStepNotices) AcceptNoticesUnattended();
  if (mainMode_ == kModeError || shownStep_ == kStepCompletion) {
    closedUnattended_ = true;
    Log().Info(L"完了画面を閉じます。（パッシブモード）");
    view_.CloseMainWindow();
  }
}

bool WizardController::ChangeStep(int32_t step) {
  if (!skipNotices_ && !checksDone_ && step == kStepInstall) {
    if (RunEnvironmentChecks(settings_, paths_, &result_, CheckCaller::Frame) != 0) step = kStepCompletion;
    checksDone_ = true;
  }
  if (step == kStepCompletion && result_.ResultCode != kResultSuccess) {
    Log().Error(FormatText(L"エラー番号:%d", result_.ResultCode));
    mainMode_ = kModeError;
  } else {
    startPage_ = step;
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
      installInProgress_ = true;
      statusLine_ = L"ダウンロードサーバーの確認を行っています...";
      StartInstallThread();
      break;
    case kStepCompletion:
      completionInFrame_ = true;
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
    s.column = BuildStepColumn(shownStep_, skipNotices_);
    s.shownStep = shownStep_;
    if (shownStep_ == kStepNotices && skipNotices_) s.shownStep = kStepNone;
    if (shownStep_ == kStepCompletion) s.completion = BuildCompletionLayout(result_, settings_.ProductType, completionInFrame_);
  } else {
    s.background = IDB_ERROR_SCREEN;
    s.shownStep = kStepNone;
    constexpr bool kInFrame = false;  // the error screen shows it on its own
    s.completion = BuildCompletionLayout(result_, settings_.ProductType, kInFrame);
  }
  return s;
}

bool WizardController::TransitionScreen() {
  bool showsCompletion = false;
  if (mainMode_ == kModeFrame) {
    Log().Info(L"フレーム画面に遷移します(メイン画面)。");
    shownStep_ = startPage_;
    if (shownStep_ >= kStepNotices && shownStep_ <= kStepCompletion) {
      if (!(shownStep_ == kStepNotices && skipNotices_)) ShowStepPageEnter(shownStep_);
    }
    showsCompletion = shownStep_ == kStepCompletion;
  } else {
    Log().Info(L"エラー画面に遷移します(メイン画面)。");
    showsCompletion = true;
  }
  if (showsCompletion) installInProgress_ = false;  // a completion page clears it as it is built
  const bool ok = view_.ApplyScreen(BuildScreen());
  // A result stays in front of other windows: every build of a completion page
  // after its own initialisation, the first screen of the wizard included.
  if (showsCompletion && pagesCreated_) view_.SetTopmost(true);
  if (startFailed_) {
    startFailed_ = false;
    result_.ResultCode = kResultNotExecuted;
    Log().Error(FormatText(L"エラー番号:%d", result_.ResultCode));
    mainMode_ = kModeError;
    return TransitionScreen() && ok;
  }
  return ok;
}

int WizardController::AskToClose(BoxOwner owner, uint32_t extraType) {
  messageCaption_ = kConfirmCaption;
  return Box(owner, kCloseQuestion, kConfirmCaption,
                       platform::kMbYesNo | platform::kMbIconQuestion | extraType);
}

void WizardController::RefuseCloseDuringInstall(BoxOwner owner) {
  messageCaption_ = kInfoCaption;
  Box(owner, kCloseRefused, kInfoCaption, platform::kMbOk | platform::kMbIconInformation);
}

void WizardController::OnFrameCloseButton() {
  Log().Info(L"閉じるボタンをクリックしました。");
  if (closeLatch_) return;
  closeLatch_ = true;
  if (installInProgress_) {
    Log().Error(kCloseRefused);
    RefuseCloseDuringInstall(BoxOwner::Frame);
  } else if (AskToClose(BoxOwner::Frame, 0) == platform::kIdYes) {
    view_.CloseMainWindow();
  }
  closeLatch_ = false;
}

bool WizardController::OnSystemClose() {
  if (closeLatch_) return false;
  closeLatch_ = true;
  bool close = false;
  if (installInProgress_) {
    RefuseCloseDuringInstall(BoxOwner::Frame);
  } else {
    BoxOwner owner = mainMode_ == kModeFrame ? BoxOwner::Frame : BoxOwner::ErrorPage;
    close = AskToClose(owner, platform::kMbTopmost) == platform::kIdYes;
  }
  closeLatch_ = false;
  return close;
}

void WizardController::OnCompletionCloseButton() {
  Log().Info(L"閉じるボタンをクリックしました。");
  if (closeLatch_) return;
  closeLatch_ = true;
  if (AskToClose(BoxOwner::Page, 0) == platform::kIdYes) view_.CloseMainWindow();
  closeLatch_ = false;
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
  MessageSink* statusPage = view_.StatusSink();
  if (statusPage && starter_ && starter_(statusPage)) return true;
  // Without a status page, or without a worker, nothing would ever end the
  // installation step, and every close would be refused: the run ends as not
  // executed instead.
  Log().Error(L"インストールスレッドの起動に失敗しました。");
  installInProgress_ = false;
  startFailed_ = true;
  return false;
}

std::wstring WizardController::StatusStepText(InstallStep step) {
  switch (step) {
    case InstallStep::kCheckingServers: return L"インターネットの接続を確認しています...";
    case InstallStep::kServersChecked: return L"インターネットの接続を確認しました。";
    case InstallStep::kFetchingConfig: return L"ダウンロードサーバーからインストーラー情報を取得しています...";
    case InstallStep::kConfigFetched: return L"ダウンロードサーバーからインストーラー情報を取得しました。";
    case InstallStep::kParsingConfig: return L"インストーラー情報を解析しています...";
    case InstallStep::kConfigParsed: return L"インストーラー情報を解析しました。";
    case InstallStep::kDownloadingPackages: return L"インストーラーをダウンロードしています...";
    case InstallStep::kPackagesDownloaded: return L"インストーラーをダウンロードしました。";
    case InstallStep::kInstalling: return L"プログラムをインストールしています...";
    case InstallStep::kInstalled: return L"プログラムのインストールが完了しました。";
  }
  return std::wstring();
}

void WizardController::OnInstallStep(InstallStep step) {
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
  result_.ResultCode = static_cast<int32_t>(result);
  if (result == kResultInstallerFailed || result == kResultInstallerLogFailure) result_.ResultDetail = static_cast<int32_t>(detail);
  if (result_.ResultCode == kResultSuccess && !SuccessAsksRestart(settings_, result_.ResultCode)) {
    Log().Info(L"インストールが完了した為、ランチャーを終了します。");
    if (closeLatch_ && !view_.CloseWindowTitled(messageCaption_)) {
      Log().Error(L"表示中のメッセージボックスが見つかりません。");
    }
    installInProgress_ = false;
    view_.CloseMainWindow();
  } else {
    if (result_.ResultCode == kResultSuccess) Log().Info(L"インストールが完了した為、完了画面に遷移します。");
    Log().Info(L"完了画面に遷移します。");
    installInProgress_ = false;
    ChangeStep(kStepCompletion);
  }
  installInProgress_ = false;
  statusLine_ = L"全ての処理が完了しました。閉じるボタンをクリックしてください。";
  view_.SetStatusLine(statusLine_);
  ContinueUnattended();
}

intptr_t WizardController::OnStatusMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_INSTALL_STEP:
      OnInstallStep(static_cast<InstallStep>(static_cast<int32_t>(wParam)));
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
  return BuildCompletionLayout(result_, settings_.ProductType, mainMode_ == kModeFrame && completionInFrame_);
}

void WizardController::OnFinishButton() {
  Log().Info(result_.ResultCode == kResultSuccess ? L"完了ボタンをクリックしました。" : L"終了ボタンをクリックしました。");
  view_.CloseMainWindow();
}

void WizardController::OnContinueButton() {
  Log().Info(L"インストールの続行ボタンをクリックしました。");
  startPage_ = kStepInstall;
  result_.ResultCode = kResultSuccess;
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
  if (skipNotices_) return;
  Log().Info(L"通知データを取得します。");
  if (!ReadNotificationItems(paths_.NotificationPath, &noticeItems_)) {
    Log().Error(L"お知らせ情報の読み込みに失敗しました。");
    ShowErrorBox(nullptr, kErrorCaption, L"お知らせ情報の読み込みに失敗しました。");
    return;
  }
  for (size_t i = 0; i < noticeItems_.size(); ++i) {
    const NotificationItem& item = noticeItems_[i];
    if (!IsNoticeApplicable(item, settings_)) continue;
    noticeRows_.push_back({item.Title, item.Color, 0xFFFFFF, i});
    Log().Info(L"以下の通知情報を追加しました。");
    Log().Info(item.Title);
  }
}

void WizardController::ConfirmNotices() {
  Log().Info(L"「確認」ボタンをクリックしました。");
  ChangeStep(kStepInstall);
}

void WizardController::AcceptNoticesUnattended() {
  Log().Info(L"お知らせを表示せずに確認済みとします。（サイレントモード）");
  ChangeStep(kStepInstall);
}

void WizardController::OpenSelectedNotice(int32_t row) {
  if (openLatch_) return;
  if (row >= 0) {
    if (static_cast<size_t>(row) >= noticeRows_.size() || noticeRows_[row].item >= noticeItems_.size()) {
      Log().Error(L"お知らせ情報の取得に失敗しました。");
      Box(BoxOwner::Page, L"お知らせ情報の取得に失敗しました。", kErrorCaption, platform::kMbOk | platform::kMbIconError);
    } else {
      const std::wstring url = noticeItems_[noticeRows_[row].item].Url;
      if (!url.empty()) OpenInBrowser(url, view_, BoxOwner::Page);
    }
  }
  openLatch_ = true;
}

#include "ui/win32/setup_dlg.h"

#include <vector>

#include "base/debug_log.h"
#include "base/error_box.h"
#include "base/run_result.h"
#include "ui/frame_texts.h"
#include "ui/font_rule.h"
#include "ui/resource_ids.h"
#include "ui/win32/control_styling.h"
#include "ui/win32/win_util.h"

namespace {
const wchar_t kErrorCaption[] = L"エラー";
constexpr UINT_PTR kDotTimer = 1;
}  // namespace

CAboutDlg::CAboutDlg() : CDialogBase(IDD_ABOUT) {}

bool CAboutDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR* result) {
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndModal(LOWORD(wParam));
    *result = TRUE;
    return true;
  }
  return false;
}

CSetupDlg::CSetupDlg(RunResult& result, InitWorkerStarter starter)
    : CDialogBase(IDD_SETUP), result_(result), starter_(std::move(starter)) {}

void CSetupDlg::Fail(const wchar_t* text) {
  Log().Error(text);
  ShowErrorBox(nullptr, kErrorCaption, text);
}

BOOL CSetupDlg::OnInitDialog() {
  target_.store(Hwnd());
  // The About item, when its text exists.
  std::vector<wchar_t> about(256, L'\0');
  if (::LoadStringW(ResourceInstance(), IDS_ABOUT, about.data(), static_cast<int>(about.size())) > 0) {
    if (HMENU menu = ::GetSystemMenu(Hwnd(), FALSE)) {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(menu, MF_STRING, IDM_ABOUT, about.data());
    }
  }
  icon_.Reset(static_cast<HICON>(::LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                              ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
  smallIcon_.Reset(static_cast<HICON>(::LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                                   0)));
  ::SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
  ::SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

  Log().Info(L"ダイアログを表示しました。");
  Log().Info(L"ダイアログの初期化処理を行います。");

  Log().Info(L"ダイアログ背景を初期化します。");
  if (!background_.Load(Hwnd(), IDB_STARTUP)) {
    Fail(kBackgroundSetupFailed);
    return TRUE;
  }

  Log().Info(L"コントロールの初期化処理を行います。");
  if (!InitControls()) {
    Fail(kControlSetupFailed);
    return TRUE;
  }

  workerRunning_ = SetupDialogModel::StartWorker(starter_, this);
  if (!workerRunning_) return TRUE;

  Log().Info(L"タイマーの起動処理を行います。");
  timer_ = ::SetTimer(Hwnd(), kDotTimer, 1000, nullptr);
  if (!timer_) Fail(L"タイマーの起動に失敗しました。");
  return TRUE;
}

bool CSetupDlg::InitControls() {
  // The window keeps its top-left corner and takes the size of its background.
  ::SetWindowPos(Hwnd(), nullptr, 0, 0, 767, 430, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const FontSpec font = ChooseUiFont();
  bool ok = true;
  title_.Attach(Hwnd(), IDC_SETUP_TITLE);
  status_.Attach(Hwnd(), IDC_SETUP_STATUS);
  if (!SetupTitleLabel(&title_, font, L"インストーラーを起動しています", 12, 240)) {
    Log().Error(L"タイトルの初期化に失敗しました。");
    ok = false;
  }
  if (!SetupStatusLabel(&status_, font, L"インストーラーを起動しています...")) {
    Log().Error(L"ステータスコントロールの初期化に失敗しました。");
    ok = false;
  }
  return ok;
}

void CSetupDlg::SetStatusText(const std::wstring& text) {
  if (status_.Hwnd()) ::SetWindowTextW(status_.Hwnd(), text.c_str());
}

std::wstring CSetupDlg::StatusLine() const { return status_.Hwnd() ? WindowText(status_.Hwnd()) : L""; }

intptr_t CSetupDlg::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  HWND target = target_.load();
  if (!target) return 0;
  return static_cast<intptr_t>(::SendMessageW(target, message, wParam, lParam));
}

void CSetupDlg::OnDestroyWindow() {
  target_.store(nullptr);
  if (timer_) ::KillTimer(Hwnd(), timer_);
  timer_ = 0;
}

bool CSetupDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_INIT_DONE) {
    workerRunning_ = false;
    const int dialogResult = SetupDialogModel::OnInitDone(static_cast<int32_t>(wParam),
                                                          static_cast<int32_t>(lParam), &result_.ResultCode);
    EndModal(dialogResult);
    *result = SetMessageResult(0);
    return true;
  }
  if (message == WM_INIT_STEP) {
    if (model_.OnInitStep(static_cast<int32_t>(wParam))) SetStatusText(model_.StepTextNow());
    *result = SetMessageResult(0);
    return true;
  }
  switch (message) {
    case WM_TIMER:
      if (wParam == kDotTimer) SetStatusText(model_.OnTimer());
      *result = TRUE;
      return true;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == IDM_ABOUT) {
        CAboutDlg about;
        about.RunSystemModal(Hwnd());
        *result = TRUE;
        return true;
      }
      // While the worker runs it alone ends the dialog.
      if ((wParam & 0xFFF0) == SC_CLOSE && workerRunning_) {
        *result = TRUE;
        return true;
      }
      return false;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        // Without a worker nothing else would end the dialog.
        if (!workerRunning_) EndModal(IDCANCEL);
        *result = TRUE;
        return true;
      }
      return false;
    case WM_CLOSE:
      if (!workerRunning_) EndModal(IDCANCEL);
      *result = TRUE;
      return true;
    case WM_ERASEBKGND:
      if (::IsIconic(Hwnd()) || !background_.Loaded()) return false;
      background_.Paint(reinterpret_cast<HDC>(wParam));
      *result = SetMessageResult(1);
      return true;
    case WM_PAINT:
      if (::IsIconic(Hwnd()) && icon_) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(Hwnd(), &ps);
        RECT r{};
        ::GetClientRect(Hwnd(), &r);
        const int x = (r.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (r.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc, x, y, icon_.get());
        ::EndPaint(Hwnd(), &ps);
        *result = TRUE;
        return true;
      }
      return false;
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<INT_PTR>(icon_.get());
      return true;
    default:
      return false;
  }
}

int RunStartupDialog(RunResult& runResult, InitWorkerStarter starter) {
  CSetupDlg dialog(runResult, std::move(starter));
  const INT_PTR result = dialog.RunModal(nullptr);
  return result < 0 ? kDialogAbort : static_cast<int>(result);
}

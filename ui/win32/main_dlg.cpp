#include "ui/win32/main_dlg.h"

#include <vector>

#include "base/run_result.h"
#include "config/launch_settings.h"
#include "platform/message_box.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"
#include "ui/win32/comp_ppg.h"
#include "ui/win32/frame_ppg.h"
#include "ui/win32/gdi_owned.h"
#include "ui/win32/status_ppg.h"
#include "ui/win32/win_util.h"

namespace {

struct WindowSearch {
  DWORD process;
  HWND except;
  const std::wstring* title;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTitled(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  if (window == search->except) return TRUE;
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != search->process) return TRUE;
  if (WindowText(window) == *search->title) search->found.push_back(window);
  return TRUE;
}

}  // namespace

bool CloseProcessWindowTitled(const std::wstring& title, HWND except) {
  WindowSearch search{::GetCurrentProcessId(), except, &title, {}};
  ::EnumWindows(CollectTitled, reinterpret_cast<LPARAM>(&search));
  for (HWND window : search.found) {
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    if (!::IsWindow(window)) continue;
    // A Yes/No box has no cancel and ignores the close message: answer it
    // with its most cautious button, which ends its modal loop.
    int answer = IDOK;
    if (::GetDlgItem(window, IDNO)) {
      answer = IDNO;
    } else if (::GetDlgItem(window, IDCANCEL)) {
      answer = IDCANCEL;
    }
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, answer)));
  }
  return !search.found.empty();
}

CMainDlg::CMainDlg(const WizardRun& run, WizardController::InstallStarter starter)
    : CDialogBase(IDD_MAIN),
      run_(run),
      frame_(std::make_unique<CFramePPG>(*this)),
      errorPage_(std::make_unique<CCompPPG>(*this, false)),
      controller_(run, *this, std::move(starter)) {}

CMainDlg::~CMainDlg() {
  // The pages go before the main window they live in.
  errorPage_.reset();
  frame_.reset();
}

BOOL CMainDlg::OnInitDialog() {
  // No title bar: the window is painted as a whole from its background.
  ::SetWindowLongPtrW(Hwnd(), GWL_STYLE,
                      (::GetWindowLongPtrW(Hwnd(), GWL_STYLE) & ~static_cast<LONG_PTR>(WS_CAPTION)) |
                          WS_CLIPCHILDREN);
  ::SetWindowPos(Hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  controller_.OnInitDialog();
  CreatePages();
  // The dialog manager puts the focus on the first control, the frame's
  // minimize button; the frame moves it on to its page once.
  return TRUE;
}

void CMainDlg::CreatePages() {
  if (windowsCreated_ || !Hwnd()) return;
  windowsCreated_ = true;
  // Creating the frame runs its own initialisation, which creates the step pages.
  if (frame_->CreatePage(Hwnd(), 10, 10, 750, 568)) ::ShowWindow(frame_->Hwnd(), SW_SHOW);
  if (errorPage_->CreatePage(Hwnd(), 10, 10, 750, 368)) ::ShowWindow(errorPage_->Hwnd(), SW_SHOW);
}

bool CMainDlg::ApplyScreen(const ScreenState& screen) {
  CreatePages();
  mainMode_ = screen.mainMode;
  bool loaded = false;
  if (screen.mainMode == kModeFrame) {
    MoveSizeControl(frame_->Hwnd(), 10, 10, 750, 368);
    loaded = background_.Load(Hwnd(), screen.background, 400);
    ::ShowWindow(frame_->Hwnd(), SW_SHOW);
    ::ShowWindow(errorPage_->Hwnd(), SW_HIDE);
    frame_->ShowStep(screen);
  } else {
    loaded = background_.Load(Hwnd(), screen.background, 400);
    ::ShowWindow(frame_->Hwnd(), SW_HIDE);
    ::ShowWindow(errorPage_->Hwnd(), SW_SHOW);
    errorPage_->BuildPage(screen.completion);
  }
  const WindowPlacement& p = screen.placement;
  if (p.keepPosition) {
    ::SetWindowPos(Hwnd(), nullptr, 0, 0, p.width, p.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    ::SetWindowPos(Hwnd(), nullptr, p.x, p.y, p.width, p.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Only the inside of the dialog frame is visible.
  const PixelRect& r = screen.region;
  UniqueRegion region(::CreateRectRgn(r.x, r.y, r.x + r.width, r.y + r.height));
  // Once set, the region is the window's.
  if (::SetWindowRgn(Hwnd(), region.get(), TRUE)) region.Release();
  ::InvalidateRect(Hwnd(), nullptr, TRUE);
  HWND page = screen.mainMode == kModeFrame ? frame_->Hwnd() : errorPage_->Hwnd();
  ::RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  return loaded;
}

void CMainDlg::SetStatusLine(const std::wstring& text) {
  if (CStatusPPG* status = frame_->StatusPage()) status->SetStatusLine(text);
}

HWND CMainDlg::OwnerWindow(BoxOwner owner) {
  switch (owner) {
    case BoxOwner::None:
      return nullptr;
    case BoxOwner::MainWindow:
      return Hwnd();
    case BoxOwner::Frame:
      return frame_->Hwnd();
    case BoxOwner::ErrorPage:
      return errorPage_->Hwnd();
    case BoxOwner::Page:
      if (mainMode_ == kModeError) return errorPage_->Hwnd();
      if (HWND page = frame_->StepPageWindow(frame_->ShownStep())) return page;
      return frame_->Hwnd();
  }
  return nullptr;
}

int CMainDlg::ShowBox(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type) {
  return platform::ShowMessageBox(OwnerWindow(owner), text, caption, type);
}

void CMainDlg::CloseMainWindow() {
  if (Hwnd()) ::SendMessageW(Hwnd(), WM_CLOSE, 0, 0);
}

bool CMainDlg::CloseWindowTitled(const std::wstring& title) { return CloseProcessWindowTitled(title, Hwnd()); }

bool CMainDlg::Minimize() {
  return Hwnd() && ::PostMessageW(Hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0) != FALSE;
}

void CMainDlg::SetTopmost(bool topmost) {
  if (!Hwnd()) return;
  ::SetWindowPos(Hwnd(), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

MessageSink* CMainDlg::StatusSink() {
  CreatePages();
  if (CStatusPPG* status = frame_->StatusPage()) {
    if (status->Hwnd()) return status;
  }
  return nullptr;
}

int32_t CMainDlg::ScreenWidth() const { return ::GetSystemMetrics(SM_CXSCREEN); }

int32_t CMainDlg::ScreenHeight() const { return ::GetSystemMetrics(SM_CYSCREEN); }

HWND CMainDlg::FrameMinimizeButton() { return frame_ ? frame_->MinimizeButton() : nullptr; }

CompletionLayout CMainDlg::CompletionLayoutFor(bool inFrame) const { return BuildCompletionLayout(run_.Result, run_.Settings.ProductType, inFrame);
}

const NotificationItem* CMainDlg::NoticeItem(size_t item) const {
  const auto& items = controller_.NoticeItems();
  return item < items.size() ? &items[item] : nullptr;
}

void CMainDlg::BeginDrag(HWND from, POINT point) {
  if (!Hwnd()) return;
  ::MapWindowPoints(from, Hwnd(), &point, 1);
  ::SetCapture(Hwnd());
  dragging_ = true;
  dragOrigin_ = point;
}

bool CMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_ERASEBKGND:
      if (!background_.Loaded()) return false;
      background_.Paint(reinterpret_cast<HDC>(wParam));
      *result = SetMessageResult(1);
      return true;
    case WM_LBUTTONDOWN:
      BeginDrag(Hwnd(), POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      *result = TRUE;
      return true;
    case WM_MOUSEMOVE:
      if (dragging_) {
        const POINT now{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        RECT r{};
        ::GetWindowRect(Hwnd(), &r);
        ::SetWindowPos(Hwnd(), nullptr, r.left + now.x - dragOrigin_.x, r.top + now.y - dragOrigin_.y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      *result = TRUE;
      return true;
    case WM_LBUTTONUP:
      if (dragging_) {
        dragging_ = false;
        ::ReleaseCapture();
      }
      *result = TRUE;
      return true;
    case WM_CAPTURECHANGED:
      dragging_ = false;
      *result = TRUE;
      return true;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        // Swallowed unless the user agreed; agreed, the default handling closes.
        if (!controller_.OnSystemClose()) {
          *result = TRUE;
          return true;
        }
      }
      return false;
    case WM_CLOSE:
      EndModal(IDCANCEL);
      *result = TRUE;
      return true;
    case WM_COMMAND:
      // Enter and Escape reach the dialog as OK and Cancel; neither closes it.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        *result = TRUE;
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool CMainDlg::PreTranslateMessage(MSG* message) {
  const UINT key = KeyDownCode(message);
  return key == VK_RETURN || key == VK_ESCAPE;
}

int RunMainDialog(const WizardRun& run, WizardController::InstallStarter starter) {
  CMainDlg dialog(run, std::move(starter));
  const INT_PTR result = dialog.RunModal(nullptr);
  return result < 0 ? kDialogAbort : static_cast<int>(result);
}

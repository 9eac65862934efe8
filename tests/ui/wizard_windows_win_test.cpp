// The Win32 windows of the wizard under Wine: resources, the custom controls
// and the main dialog driven through its pages. Tests that open windows need
// a display (Xvfb); without one they are skipped, unless TAVO_REQUIRE_DISPLAY
// is set (scripts/wine-smoke.sh sets it and runs them under Xvfb).
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/launcher_context.h"
#include "platform/utf.h"
#include "ui/completion_page.h"
#include "ui/font_rule.h"
#include "ui/resource_ids.h"
#include "ui/ui_messages.h"
#include "ui/win32/comp_ppg.h"
#include "ui/win32/control_styling.h"
#include "ui/win32/cstm_bitmap_button.h"
#include "ui/win32/cstm_list_box.h"
#include "ui/win32/cstm_static.h"
#include "ui/win32/frame_ppg.h"
#include "ui/win32/info_ppg.h"
#include "ui/win32/main_dlg.h"
#include "ui/win32/resource.h"
#include "ui/win32/setup_dlg.h"
#include "ui/win32/status_ppg.h"
#include "ui/front_end.h"
#include "ui/win32/win_util.h"

namespace {

std::string U(const std::wstring& s) { return platform::WideToUtf8(s); }

// Setup.exe holds the resources; the test program borrows them.
HINSTANCE SetupResources() {
  static HINSTANCE module = [] {
    std::wstring path = platform::Utf8ToWide(TAVO_SETUP_EXE);
    if (!path.empty() && path[0] == L'/') {
      for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
      }
      path = L"Z:" + path;
    }
    return static_cast<HINSTANCE>(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  }();
  return module;
}

bool DisplayRequired() {
  const char* value = std::getenv("TAVO_REQUIRE_DISPLAY");
  return value && *value && std::strcmp(value, "0") != 0;
}

bool DisplayAvailable() {
  static const bool available = [] {
    HWND probe = ::CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (!probe) return false;
    ::DestroyWindow(probe);
    return true;
  }();
  return available;
}

#define REQUIRE_DISPLAY()                                                                  \
  do {                                                                                     \
    if (!DisplayAvailable()) {                                                             \
      if (DisplayRequired()) FAIL() << "no display, but TAVO_REQUIRE_DISPLAY is set";      \
      GTEST_SKIP() << "no display for windows (run under Xvfb: scripts/wine-smoke.sh)";    \
    }                                                                                      \
  } while (0)

// Handles the queued messages for a while, as the modal loop does.
void Pump(HWND top, DWORD milliseconds = 50) {
  const DWORD end = ::GetTickCount() + milliseconds;
  do {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (top && CDialogBase::PreTranslateFor(&msg, top)) continue;
      if (top && ::IsDialogMessageW(top, &msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::Sleep(5);
  } while (static_cast<LONG>(::GetTickCount() - end) < 0);
}

// A key press as the message loop sees it, offered to the dialogs.
bool PressKey(HWND top, UINT key) {
  MSG msg{};
  msg.hwnd = ::GetFocus() ? ::GetFocus() : top;
  msg.message = WM_KEYDOWN;
  msg.wParam = key;
  return CDialogBase::PreTranslateFor(&msg, top);
}

RECT ChildRect(HWND child) {
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Runs `action` on a timer while a modal box of the same thread is open.
struct TimerAction {
  static std::function<void()>& Current() {
    static std::function<void()> action;
    return action;
  }
  static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    auto action = Current();
    Current() = nullptr;
    if (action) action();
  }
  static void After(UINT milliseconds, std::function<void()> action) {
    Current() = std::move(action);
    ::SetTimer(nullptr, 0, milliseconds, Fire);
  }
};

class WizardWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(SetupResources(), nullptr) << "Setup.exe could not be loaded for its resources";
    SetResourceInstance(SetupResources());
  }
};

// ---------------------------------------------------------------------------
// Resources (no display needed).

struct BitmapRow {
  int id;
  int width, height;
};

const BitmapRow kBitmaps[] = {
    {IDB_MAIN_FRAME, 774, 400},      {IDB_ERROR_SCREEN, 774, 400},     {IDB_PAGE_BACKGROUND, 750, 368},
    {IDB_PAGE_INNER, 590, 330},      {IDB_STARTUP, 767, 430},          {IDB_STEP_NOTICES, 125, 38},
    {IDB_STEP_NOTICES_ON, 125, 38},  {IDB_STEP_INSTALL, 125, 38},      {IDB_STEP_INSTALL_ON, 125, 38},
    {IDB_STEP_DONE, 125, 38},        {IDB_STEP_DONE_ON, 125, 38},      {IDB_CONNECTOR, 125, 23},
    {IDB_SEPARATOR, 9, 568},         {IDB_MIN_NORMAL, 26, 22},         {IDB_MIN_PRESSED, 26, 22},
    {IDB_MIN_FOCUS, 26, 22},         {IDB_MIN_HOVER, 26, 22},          {IDB_MIN_HOVER_FOCUS, 26, 22},
    {IDB_MIN_DISABLED, 26, 22},      {IDB_CLOSE_NORMAL, 26, 22},       {IDB_CLOSE_PRESSED, 26, 22},
    {IDB_CLOSE_FOCUS, 26, 22},       {IDB_CLOSE_HOVER, 26, 22},        {IDB_CLOSE_HOVER_FOCUS, 26, 22},
    {IDB_CLOSE_DISABLED, 26, 22},    {IDB_FINISH_NORMAL, 120, 36},     {IDB_FINISH_PRESSED, 120, 36},
    {IDB_FINISH_FOCUS, 120, 36},     {IDB_FINISH_HOVER, 120, 36},      {IDB_FINISH_HOVER_FOCUS, 120, 36},
    {IDB_EXIT_NORMAL, 120, 36},      {IDB_EXIT_PRESSED, 120, 36},      {IDB_EXIT_FOCUS, 120, 36},
    {IDB_EXIT_HOVER, 120, 36},       {IDB_EXIT_HOVER_FOCUS, 120, 36},  {IDB_EXIT13_NORMAL, 120, 36},
    {IDB_EXIT13_PRESSED, 120, 36},   {IDB_EXIT13_FOCUS, 120, 36},      {IDB_EXIT13_HOVER, 120, 36},
    {IDB_EXIT13_HOVER_FOCUS, 120, 36}, {IDB_CONTINUE_NORMAL, 200, 36}, {IDB_CONTINUE_PRESSED, 200, 36},
    {IDB_CONTINUE_FOCUS, 200, 36},   {IDB_CONTINUE_HOVER, 200, 36},    {IDB_CONTINUE_HOVER_FOCUS, 200, 36},
    {IDB_CONFIRM_NORMAL, 120, 36},   {IDB_CONFIRM_PRESSED, 120, 36},   {IDB_CONFIRM_FOCUS, 120, 36},
    {IDB_CONFIRM_HOVER, 120, 36},    {IDB_CONFIRM_HOVER_FOCUS, 120, 36},
};

TEST_F(WizardWindowsTest, EveryBitmapHasItsSizeAndColours) {
  for (const BitmapRow& row : kBitmaps) {
    SCOPED_TRACE(row.id);
    HRSRC found = ::FindResourceW(SetupResources(), MAKEINTRESOURCEW(row.id), MAKEINTRESOURCEW(2));  // RT_BITMAP
    ASSERT_NE(found, nullptr);
    const auto* info = static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(SetupResources(), found)));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->biWidth, row.width);
    EXPECT_EQ(info->biHeight, row.height);
    // A 1-bit image would load as a monochrome bitmap and lose its colours.
    EXPECT_GE(info->biBitCount, 8);
    EXPECT_EQ(info->biCompression, static_cast<DWORD>(BI_RGB));
  }
}

TEST_F(WizardWindowsTest, TemplatesCursorIconsAndAboutTextExist) {
  for (int id : {IDD_ABOUT, IDD_SETUP, IDD_COMPLETION, IDD_NOTICES, IDD_STATUS, IDD_FRAME, IDD_MAIN}) {
    EXPECT_NE(::FindResourceW(SetupResources(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)), nullptr) << id;  // RT_DIALOG
  }
  EXPECT_NE(::FindResourceW(SetupResources(), MAKEINTRESOURCEW(IDC_HAND_LINK), MAKEINTRESOURCEW(12)), nullptr);
  EXPECT_NE(::FindResourceW(SetupResources(), MAKEINTRESOURCEW(IDB_RESULT_ICON), MAKEINTRESOURCEW(14)), nullptr);
  EXPECT_NE(::FindResourceW(SetupResources(), MAKEINTRESOURCEW(IDI_APP), MAKEINTRESOURCEW(14)), nullptr);
  wchar_t text[64] = {};
  ASSERT_GT(::LoadStringW(SetupResources(), IDS_ABOUT, text, 64), 0);
  EXPECT_EQ(U(text), "バージョン情報 Setup(&A)...");
}

// ---------------------------------------------------------------------------
// Controls.

// A parent window that records the notifications its children send.
struct Recorder {
  static std::vector<UINT>& Messages() {
    static std::vector<UINT> messages;
    return messages;
  }
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= kWmApp + 3001 && message <= kWmApp + 3014) Messages().push_back(message);
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  static HWND Create() {
    static bool registered = false;
    if (!registered) {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = L"TavoTestRecorder";
      ::RegisterClassW(&wc);
      registered = true;
    }
    Messages().clear();
    return ::CreateWindowExW(0, L"TavoTestRecorder", L"recorder", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }
};

TEST_F(WizardWindowsTest, BitmapButtonTakesItsImagesPlaceAndNotifications) {
  REQUIRE_DISPLAY();
  HWND parent = Recorder::Create();
  HWND other = ::CreateWindowExW(0, L"BUTTON", L"other", WS_CHILD | WS_VISIBLE, 0, 200, 50, 20, parent, nullptr,
                                 nullptr, nullptr);
  HWND hwnd = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 10, 10, parent,
                                reinterpret_cast<HMENU>(100), nullptr, nullptr);
  CCstmBitmapButton button;
  ASSERT_TRUE(button.SubclassWindow(hwnd));
  ASSERT_TRUE(SetupImageButton(&button, 685, 10, L"最小化(&M)", IDB_MIN_NORMAL, IDB_MIN_PRESSED, IDB_MIN_FOCUS,
                               IDB_MIN_HOVER, IDB_MIN_HOVER_FOCUS, IDB_MIN_DISABLED, WM_TITLEBTN_SETFOCUS,
                               WM_TITLEBTN_KILLFOCUS, WM_TITLEBTN_HOVER, WM_TITLEBTN_LEAVE, false, IDC_HAND_LINK));
  const RECT r = ChildRect(hwnd);
  EXPECT_EQ(r.left, 685);
  EXPECT_EQ(r.top, 10);
  EXPECT_EQ(r.right - r.left, 26);
  EXPECT_EQ(r.bottom - r.top, 22);
  EXPECT_EQ(U(WindowText(hwnd)), "最小化(&M)");
  EXPECT_EQ(::GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(button.LoadedImage(0), IDB_MIN_NORMAL);
  EXPECT_EQ(button.LoadedImage(2), IDB_MIN_FOCUS);

  // Hover loads the hover set (hover as normal, hover+focus as focus) once.
  ::SendMessageW(hwnd, WM_MOUSEHOVER, 0, 0);
  ::SendMessageW(hwnd, WM_MOUSEHOVER, 0, 0);
  EXPECT_TRUE(button.hovering);
  EXPECT_EQ(button.LoadedImage(0), IDB_MIN_HOVER);
  EXPECT_EQ(button.LoadedImage(2), IDB_MIN_HOVER_FOCUS);
  EXPECT_EQ(button.LoadedImage(1), IDB_MIN_PRESSED);
  ::SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(button.hovering);
  EXPECT_EQ(button.LoadedImage(0), IDB_MIN_NORMAL);
  EXPECT_EQ(button.LoadedImage(2), IDB_MIN_FOCUS);

  ::SetFocus(hwnd);
  ::SetFocus(other);
  EXPECT_EQ(Recorder::Messages(), (std::vector<UINT>{WM_TITLEBTN_HOVER, WM_TITLEBTN_LEAVE, WM_TITLEBTN_SETFOCUS,
                                                      WM_TITLEBTN_KILLFOCUS}));
  // The hand cursor answers the cursor request.
  EXPECT_TRUE(::SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  ::DestroyWindow(parent);
}

TEST_F(WizardWindowsTest, BitmapButtonWithoutMessageNumbersSendsNothing) {
  REQUIRE_DISPLAY();
  HWND parent = Recorder::Create();
  HWND other = ::CreateWindowExW(0, L"BUTTON", L"other", WS_CHILD | WS_VISIBLE, 0, 200, 50, 20, parent, nullptr,
                                 nullptr, nullptr);
  HWND hwnd = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent, nullptr, nullptr,
                                nullptr);
  CCstmBitmapButton button;
  ASSERT_TRUE(button.SubclassWindow(hwnd));
  ASSERT_TRUE(SetupImageButton(&button, 5, 5, L"確認(&N)", IDB_CONFIRM_NORMAL, IDB_CONFIRM_PRESSED,
                               IDB_CONFIRM_FOCUS, IDB_CONFIRM_HOVER, IDB_CONFIRM_HOVER_FOCUS, IDB_CONFIRM_PRESSED, 0, 0,
                               0, 0, false, 0));
  ::SendMessageW(hwnd, WM_MOUSEHOVER, 0, 0);
  ::SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
  ::SetFocus(hwnd);
  ::SetFocus(other);
  EXPECT_TRUE(Recorder::Messages().empty());
  EXPECT_FALSE(button.useHandCursor);
  ::DestroyWindow(parent);
}

TEST_F(WizardWindowsTest, MissingImagesFailTheButtonSetup) {
  REQUIRE_DISPLAY();
  HWND parent = Recorder::Create();
  HWND hwnd = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
  CCstmBitmapButton button;
  ASSERT_TRUE(button.SubclassWindow(hwnd));
  EXPECT_FALSE(SetupImageButton(&button, 5, 5, L"x", 9999, 9998, 9997, 9996, 9995, 9994, 0, 0, 0, 0, false, 0));
  EXPECT_FALSE(SetupImageButton(nullptr, 5, 5, L"x", IDB_MIN_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, 0, false, 0));
  ::DestroyWindow(parent);
}

TEST_F(WizardWindowsTest, LabelVariantsPlaceAndSizeTheirLabels) {
  REQUIRE_DISPLAY();
  HWND parent = Recorder::Create();
  const FontSpec font = UiFontFor(26);
  struct Row {
    const char* name;
    std::function<bool(CCstmStatic*)> style;
    RECT expected;
    LONG fontHeight;
  };
  const Row rows[] = {
      {"title", [&](CCstmStatic* l) { return SetupTitleLabel(l, font, L"t", 12, 240); }, {12, 240, 750, 272}, 32},
      {"page title", [&](CCstmStatic* l) { return SetupPageTitleLabel(l, font, L"t"); }, {24, 10, 762, 42}, 32},
      {"page title +4", [&](CCstmStatic* l) { return SetupPageTitleLabel(l, font, L"t", 100, 20, 4); },
       {24, 10, 124, 30}, 36},
      {"status", [&](CCstmStatic* l) { return SetupStatusLabel(l, font, L"t"); }, {12, 290, 750, 322}, 22},
      {"body", [&](CCstmStatic* l) { return SetupBodyLabel(l, font, L"t", 12, 50); }, {12, 50, 731, 114}, 22},
      {"body +10", [&](CCstmStatic* l) { return SetupBodyLabel(l, font, L"t", 390, 290, 300, 32, 10); },
       {390, 290, 690, 322}, 32},
      {"plain keeps width", [&](CCstmStatic* l) { return SetupPlainLabel(l, font, L"t", 3, 4); }, {3, 4, 123, 68}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 120, 20, parent,
                                  reinterpret_cast<HMENU>(200), nullptr, nullptr);
    CCstmStatic label;
    ASSERT_TRUE(label.Attach(parent, 200));
    const LONG before = label.LogFont().lfHeight;
    ASSERT_TRUE(row.style(&label));
    const RECT r = ChildRect(hwnd);
    EXPECT_EQ(r.left, row.expected.left);
    EXPECT_EQ(r.top, row.expected.top);
    EXPECT_EQ(r.right, row.expected.right);
    EXPECT_EQ(r.bottom, row.expected.bottom);
    EXPECT_EQ(label.LogFont().lfHeight, row.fontHeight ? row.fontHeight : before);
    EXPECT_EQ(U(label.LogFont().lfFaceName), "メイリオ");
    EXPECT_EQ(label.TextColour(), static_cast<COLORREF>(LABEL_COLOUR));
    EXPECT_EQ(::GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY, SS_NOTIFY);
    EXPECT_EQ(U(WindowText(hwnd)), "t");
    ::DestroyWindow(hwnd);
  }
  CCstmStatic absent;
  EXPECT_FALSE(SetupBodyLabel(&absent, font, L"t", 0, 0));
  EXPECT_FALSE(SetupTitleLabel(nullptr, font, L"t", 0, 0));
  ::DestroyWindow(parent);
}

TEST_F(WizardWindowsTest, LinkReturnsToTheSameWeightAndColourAfterEachFocus) {
  REQUIRE_DISPLAY();
  HWND parent = Recorder::Create();
  HWND other = ::CreateWindowExW(0, L"BUTTON", L"other", WS_CHILD | WS_VISIBLE, 0, 200, 50, 20, parent, nullptr,
                                 nullptr, nullptr);
  HWND frame = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_GRAYFRAME, 0, 0, 100, 20, parent, nullptr, nullptr,
                                 nullptr);
  ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 100, 20, parent,
                    reinterpret_cast<HMENU>(300), nullptr, nullptr);
  CCstmStatic link;
  ASSERT_TRUE(link.Attach(parent, 300));
  ASSERT_TRUE(SetupBodyLabel(&link, UiFontFor(26), L"サポート情報を表示する", 10, 10, 200, 32, 10));
  link.SetTextColour(LINK_COLOUR);
  link.MakeLink(frame);
  const LONG weight = link.LogFont().lfWeight;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    ::SetFocus(link.Hwnd());
    EXPECT_EQ(link.LogFont().lfWeight, FW_BOLD);
    EXPECT_TRUE(::IsWindowVisible(frame));
    EXPECT_EQ(link.TextColour(), static_cast<COLORREF>(LINK_COLOUR));
    ::SetFocus(other);
    EXPECT_EQ(link.LogFont().lfWeight, weight);
    EXPECT_FALSE(::IsWindowVisible(frame));
    EXPECT_EQ(link.TextColour(), static_cast<COLORREF>(LINK_COLOUR));
  }
  ::DestroyWindow(parent);
}

// A page with the notices list, for the list tests.
class ListHost : public CDialogBase {
 public:
  ListHost() : CDialogBase(IDD_NOTICES) {}
  CCstmListBox list;

 protected:
  BOOL OnInitDialog() override {
    list.Attach(Hwnd(), IDC_NOTICES_LIST);
    MoveSizeControl(list.Hwnd(), 12, 162, 570, 120);
    return FALSE;
  }
};

TEST_F(WizardWindowsTest, ListRowsGrowWithTheirTextAndCarryPayloads) {
  REQUIRE_DISPLAY();
  HWND parent = Recorder::Create();
  ListHost host;
  ASSERT_TRUE(host.Create(parent));
  CCstmListBox& list = host.list;
  int a = 1, b = 2;
  EXPECT_EQ(list.AddItem(L"short", 0x0000FF, 0xFFFFFF, &a), 0);
  EXPECT_EQ(list.AddItem(L"first line\r\nsecond line", 0, 0xFFFFFF, &b), 1);
  std::wstring longText;
  for (int i = 0; i < 40; ++i) longText += L"とても長いお知らせ ";
  EXPECT_EQ(list.AddItem(longText, 0, 0xFFFFFF, nullptr), 2);
  EXPECT_EQ(list.Payload(0), &a);
  EXPECT_EQ(list.Payload(1), &b);
  EXPECT_EQ(list.Payload(2), nullptr);
  EXPECT_EQ(list.Payload(3), nullptr);
  EXPECT_EQ(list.Payload(-1), nullptr);
  EXPECT_EQ(list.PayloadCount(), 3u);
  const LRESULT h0 = ::SendMessageW(list.Hwnd(), LB_GETITEMHEIGHT, 0, 0);
  const LRESULT h1 = ::SendMessageW(list.Hwnd(), LB_GETITEMHEIGHT, 1, 0);
  const LRESULT h2 = ::SendMessageW(list.Hwnd(), LB_GETITEMHEIGHT, 2, 0);
  EXPECT_GT(h0, 0);
  EXPECT_GE(h1, 2 * h0 - 2);  // two lines
  EXPECT_GT(h2, 2 * h0);      // wrapped to several lines
  ::DestroyWindow(parent);
}

TEST_F(WizardWindowsTest, ListSelectionFollowsFocusAndMouse) {
  REQUIRE_DISPLAY();
  HWND parent = Recorder::Create();
  HWND other = ::CreateWindowExW(0, L"BUTTON", L"other", WS_CHILD | WS_VISIBLE, 0, 280, 50, 20, parent, nullptr,
                                 nullptr, nullptr);
  ListHost host;
  ASSERT_TRUE(host.Create(parent));
  ::ShowWindow(host.Hwnd(), SW_SHOW);
  CCstmListBox& list = host.list;
  // Keyboard focus on a list without a selection selects the first row.
  ::SetFocus(list.Hwnd());
  EXPECT_EQ(list.Selection(), LB_ERR);  // still empty: nothing to select
  ::SetFocus(other);
  list.AddItem(L"row one", 0, 0xFFFFFF, nullptr);
  list.AddItem(L"row two", 0, 0xFFFFFF, nullptr);
  ::SetFocus(list.Hwnd());
  EXPECT_EQ(list.Selection(), 0);
  ::SetFocus(other);
  EXPECT_EQ(list.Selection(), LB_ERR);

  // The row under the mouse becomes the selection; outside the rows, none.
  RECT row{};
  ::SendMessageW(list.Hwnd(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
  POINT p{row.left + 20, (row.top + row.bottom) / 2};
  ::ClientToScreen(list.Hwnd(), &p);
  ::SetCursorPos(p.x, p.y);
  POINT client{row.left + 20, (row.top + row.bottom) / 2};
  ::SendMessageW(list.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
  EXPECT_EQ(list.Selection(), 1);
  RECT listRect{};
  ::GetClientRect(list.Hwnd(), &listRect);
  POINT below{20, listRect.bottom - 3};
  ::ClientToScreen(list.Hwnd(), &below);
  ::SetCursorPos(below.x, below.y);
  ::SendMessageW(list.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(20, listRect.bottom - 3));
  EXPECT_EQ(list.Selection(), LB_ERR);
  ::DestroyWindow(parent);
}

// ---------------------------------------------------------------------------
// The main dialog.

std::wstring TempFile(const std::wstring& name, const std::string& content) {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + name;
  std::ofstream out(platform::WideToUtf8(path).c_str(), std::ios::binary);
  out << content;
  return path;
}

class MainDialogTest : public WizardWindowsTest {
 protected:
  void TearDown() override {
    dialog_.reset();
    if (!noticesPath_.empty()) ::DeleteFileW(noticesPath_.c_str());
  }

  void Open() {
    dialog_ = std::make_unique<CMainDlg>(ctx_, [this](LauncherContext&, MessageSink* sink) {
      ++installStarts_;
      sink_ = sink;
      return true;
    });
    ASSERT_TRUE(dialog_->Create(nullptr));
    ::ShowWindow(dialog_->Hwnd(), SW_SHOW);
    Pump(dialog_->Hwnd());
  }

  HWND Main() { return dialog_->Hwnd(); }
  CFramePPG& Frame() { return *dialog_->Frame(); }
  CCompPPG& ErrorPage() { return *dialog_->ErrorPage(); }

  // Sends a worker message from another thread, as the install worker does,
  // while this thread goes on handling messages.
  void SendFromWorker(UINT message, WPARAM wParam, LPARAM lParam) {
    std::atomic<bool> done{false};
    MessageSink* sink = sink_;
    std::thread worker([&] {
      sink->Send(message, wParam, lParam);
      done = true;
    });
    const DWORD end = ::GetTickCount() + 10000;
    while (!done && static_cast<LONG>(::GetTickCount() - end) < 0) Pump(Main(), 10);
    worker.join();
  }

  LauncherContext ctx_;
  std::unique_ptr<CMainDlg> dialog_;
  MessageSink* sink_ = nullptr;
  int installStarts_ = 0;
  std::wstring noticesPath_;
};

TEST_F(MainDialogTest, ConflictOpensTheErrorScreenWithItsLayout) {
  REQUIRE_DISPLAY();
  ctx_.ResultCode = 12;
  ctx_.StartPage = 2;
  ctx_.SkipNotices = true;
  ctx_.Settings.ProductType = 5;
  ctx_.DetectedConflictNames = {L"Example Antivirus"};
  Open();
  EXPECT_EQ(dialog_->MainMode(), kModeError);
  RECT window{};
  ::GetWindowRect(Main(), &window);
  EXPECT_EQ(window.right - window.left, 774);
  EXPECT_EQ(window.bottom - window.top, 400);
  RECT region{};
  ASSERT_NE(::GetWindowRgnBox(Main(), &region), ERROR);
  EXPECT_EQ(region.left, 3);
  EXPECT_EQ(region.top, 3);
  EXPECT_EQ(region.right, 772);
  EXPECT_EQ(region.bottom, 398);
  EXPECT_EQ(dialog_->Background().ImageId(), IDB_ERROR_SCREEN);
  EXPECT_FALSE(::IsWindowVisible(Frame().Hwnd()));
  EXPECT_TRUE(::IsWindowVisible(ErrorPage().Hwnd()));
  const RECT page = ChildRect(ErrorPage().Hwnd());
  EXPECT_EQ(page.left, 10);
  EXPECT_EQ(page.top, 10);
  EXPECT_EQ(page.right - page.left, 750);
  EXPECT_EQ(page.bottom - page.top, 368);

  HWND error = ErrorPage().Hwnd();
  EXPECT_EQ(U(WindowText(::GetDlgItem(error, IDC_COMP_HEADLINE))),
            "競合するウイルス対策ソフトウェアをアンインストールしてください");
  const RECT headline = ChildRect(::GetDlgItem(error, IDC_COMP_HEADLINE));
  EXPECT_EQ(headline.left, 24);
  EXPECT_EQ(headline.top, 60);
  HWND link = ::GetDlgItem(error, IDC_COMP_HELP_LINK);
  EXPECT_TRUE(::IsWindowVisible(link));
  EXPECT_EQ(U(WindowText(link)), "競合するウイルス対策ソフトウェアを検出した場合は？");
  const RECT linkRect = ChildRect(link);
  EXPECT_EQ(linkRect.right, 690);  // grows to the left with its caption
  EXPECT_EQ(linkRect.top, 290);
  EXPECT_GT(linkRect.right - linkRect.left, 0);
  // Its focus frame rings it.
  const RECT ring = ChildRect(::GetDlgItem(error, IDC_COMP_LINK_FRAME));
  EXPECT_EQ(ring.left, linkRect.left - 1);
  EXPECT_EQ(ring.right, linkRect.right + 1);
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(error, IDC_COMP_LINK_FRAME)));
  HWND finish = ::GetDlgItem(error, IDC_COMP_FINISH);
  const RECT finishRect = ChildRect(finish);
  EXPECT_EQ(finishRect.left, 420);
  EXPECT_EQ(finishRect.top, 330);
  EXPECT_EQ(U(WindowText(finish)), "終了（&N）");
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(error, IDC_COMP_CONTINUE)));
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(error, IDC_COMP_DOWNLOAD_LINK)));
  EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(error, IDC_COMP_CLOSE)));
  EXPECT_EQ(ChildRect(::GetDlgItem(error, IDC_COMP_CLOSE)).left, 715);
  EXPECT_EQ(ChildRect(::GetDlgItem(error, IDC_COMP_MINIMIZE)).left, 685);
  EXPECT_EQ(::GetFocus(), finish);

  // Escape and Enter on anything but a button never close the window.
  EXPECT_TRUE(PressKey(Main(), VK_ESCAPE));
  ::SendMessageW(Main(), WM_COMMAND, IDCANCEL, 0);
  ::SendMessageW(Main(), WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(dialog_->EndRequested());
  ::SetFocus(::GetDlgItem(error, IDC_COMP_BODY));
  EXPECT_TRUE(PressKey(Main(), VK_RETURN));
  EXPECT_FALSE(dialog_->EndRequested());
  // Space on a button does nothing either.
  ::SetFocus(finish);
  EXPECT_TRUE(PressKey(Main(), VK_SPACE));
  EXPECT_FALSE(dialog_->EndRequested());
  // Enter on the exit button ends the wizard.
  EXPECT_TRUE(PressKey(Main(), VK_RETURN));
  EXPECT_TRUE(dialog_->EndRequested());
}

TEST_F(MainDialogTest, ResultThirteenContinuesToTheInstallationStep) {
  REQUIRE_DISPLAY();
  ctx_.ResultCode = 13;
  ctx_.StartPage = 2;
  ctx_.SkipNotices = true;
  ctx_.DetectedConflictNames = {L"Old AV"};
  Open();
  HWND error = ErrorPage().Hwnd();
  HWND resume = ::GetDlgItem(error, IDC_COMP_CONTINUE);
  ASSERT_TRUE(::IsWindowVisible(resume));
  EXPECT_EQ(ChildRect(resume).left, 60);
  EXPECT_EQ(ChildRect(resume).top, 330);
  EXPECT_EQ(U(WindowText(resume)), "インストールの続行(&C)");
  EXPECT_EQ(::GetFocus(), resume);
  EXPECT_EQ(installStarts_, 0);
  EXPECT_TRUE(PressKey(Main(), VK_RETURN));
  Pump(Main());
  EXPECT_EQ(dialog_->MainMode(), kModeFrame);
  EXPECT_EQ(ctx_.ResultCode, 1);
  EXPECT_EQ(installStarts_, 1);
  EXPECT_TRUE(ctx_.InstallInProgress);
  EXPECT_TRUE(::IsWindowVisible(Frame().StatusPage()->Hwnd()));
  EXPECT_FALSE(::IsWindowVisible(error));
  // Without the notices step the column starts with the installation indicator.
  EXPECT_EQ(Frame().IndicatorImage(IDC_FRAME_STEP_NOTICES), 0);
  EXPECT_EQ(Frame().IndicatorImage(IDC_FRAME_STEP_INSTALL), IDB_STEP_INSTALL_ON);
  EXPECT_EQ(ChildRect(::GetDlgItem(Frame().Hwnd(), IDC_FRAME_STEP_INSTALL)).top, 48);
  EXPECT_EQ(ChildRect(::GetDlgItem(Frame().Hwnd(), IDC_FRAME_STEP_DONE)).top, 109);
}

TEST_F(MainDialogTest, NoticesInstallationAndFailureWalkThroughThePages) {
  REQUIRE_DISPLAY();
  noticesPath_ = TempFile(L"tavo_ui_notices_test.xml",
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NotificationDataSet>"
                          "<NotificationVersion>1</NotificationVersion>"
                          "<NotificationDataValueCount>2</NotificationDataValueCount>"
                          "<NotificationDataValue00><NFDTitle>一行目_BR_二行目</NFDTitle><NFDURL></NFDURL>"
                          "<STRCOLOR>255,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType>"
                          "<NFDConditionValue>99</NFDConditionValue></NotificationDataValue00>"
                          "<NotificationDataValue01><NFDTitle>お知らせ</NFDTitle><NFDURL></NFDURL>"
                          "<STRCOLOR>0,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType>"
                          "<NFDConditionValue>97</NFDConditionValue></NotificationDataValue01>"
                          "</NotificationDataSet>\n");
  ctx_.NotificationPath = noticesPath_;
  ctx_.StartPage = 0;
  Open();
  EXPECT_EQ(dialog_->MainMode(), kModeFrame);
  EXPECT_EQ(dialog_->Background().ImageId(), IDB_MAIN_FRAME);
  CInfoPPG* notices = Frame().NoticesPage();
  ASSERT_NE(notices, nullptr);
  EXPECT_TRUE(::IsWindowVisible(notices->Hwnd()));
  const RECT page = ChildRect(notices->Hwnd());
  EXPECT_EQ(page.left, 150);
  EXPECT_EQ(page.top, 40);
  EXPECT_EQ(page.right - page.left, 590);
  EXPECT_EQ(page.bottom - page.top, 330);
  EXPECT_EQ(::SendMessageW(notices->List().Hwnd(), LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(notices->List().Payload(0), &ctx_.NoticeItems[0]);
  EXPECT_EQ(Frame().IndicatorImage(IDC_FRAME_STEP_NOTICES), IDB_STEP_NOTICES_ON);
  EXPECT_EQ(Frame().IndicatorImage(IDC_FRAME_STEP_INSTALL), IDB_STEP_INSTALL);
  EXPECT_EQ(Frame().IndicatorImage(IDC_FRAME_STEP_DONE), IDB_STEP_DONE);
  EXPECT_EQ(ChildRect(::GetDlgItem(Frame().Hwnd(), IDC_FRAME_CONNECTOR1)).top, 86);
  EXPECT_EQ(ChildRect(::GetDlgItem(Frame().Hwnd(), IDC_FRAME_SEPARATOR)).left, 135);
  EXPECT_EQ(ChildRect(notices->ConfirmButton()).left, 375);
  EXPECT_EQ(ChildRect(notices->ConfirmButton()).top, 290);
  EXPECT_EQ(::GetFocus(), notices->ConfirmButton());
  // Escape does nothing; Space on the confirm button confirms.
  EXPECT_TRUE(PressKey(Main(), VK_ESCAPE));
  EXPECT_EQ(installStarts_, 0);
  EXPECT_TRUE(PressKey(Main(), VK_SPACE));
  Pump(Main());
  EXPECT_EQ(installStarts_, 1);
  ASSERT_NE(sink_, nullptr);
  EXPECT_TRUE(ctx_.InstallInProgress);
  EXPECT_FALSE(::IsWindowVisible(notices->Hwnd()));
  CStatusPPG* status = Frame().StatusPage();
  EXPECT_TRUE(::IsWindowVisible(status->Hwnd()));
  EXPECT_EQ(U(status->StatusLine()), "ダウンロードサーバーの確認を行っています...");
  EXPECT_EQ(Frame().IndicatorImage(IDC_FRAME_STEP_INSTALL), IDB_STEP_INSTALL_ON);
  EXPECT_EQ(Frame().IndicatorImage(IDC_FRAME_STEP_NOTICES), IDB_STEP_NOTICES);
  EXPECT_EQ(::GetFocus(), Frame().MinimizeButton());
  const RECT progress = ChildRect(::GetDlgItem(status->Hwnd(), IDC_STATUS_PROGRESS));
  EXPECT_EQ(progress.left, 12);
  EXPECT_EQ(progress.top, 94);
  EXPECT_EQ(progress.right - progress.left, 500);
  EXPECT_EQ(::GetWindowLongW(::GetDlgItem(status->Hwnd(), IDC_STATUS_PROGRESS), GWL_STYLE) & PBS_MARQUEE,
            PBS_MARQUEE);

  // The worker's messages, sent from its own thread.
  SendFromWorker(WM_INSTALL_STEP, 3, 0);
  EXPECT_EQ(U(status->StatusLine()), "ダウンロードサーバーからインストーラー情報を取得しています...");
  const wchar_t progressText[] = L"100KB/2000KB";
  SendFromWorker(kWmApp + 0x138B, 0, reinterpret_cast<LPARAM>(progressText));
  EXPECT_EQ(U(status->StatusLine()), "プログラムのダウンロードを行っています...(100KB/2000KB)");
  SendFromWorker(kWmApp + 0x138B, 0, 0);
  EXPECT_EQ(U(status->StatusLine()), "プログラムのダウンロードを行っています...");

  // A close during the installation only informs; the box is answered by the timer.
  std::wstring seen;
  TimerAction::After(300, [&] { EXPECT_TRUE(CloseProcessWindowTitled(L"情報", Main())); });
  ::SendMessageW(Frame().Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_FRAME_CLOSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Frame().CloseButton()));
  EXPECT_FALSE(dialog_->EndRequested());
  EXPECT_FALSE(ctx_.CloseLatch);
  EXPECT_EQ(U(ctx_.MessageCaption), "情報");

  // The worker ends with result 3: the error screen.
  SendFromWorker(WM_INSTALL_DONE, 0, 3);
  EXPECT_FALSE(ctx_.InstallInProgress);
  EXPECT_EQ(ctx_.ResultCode, 3);
  EXPECT_EQ(dialog_->MainMode(), kModeError);
  EXPECT_TRUE(::IsWindowVisible(ErrorPage().Hwnd()));
  EXPECT_EQ(U(WindowText(::GetDlgItem(ErrorPage().Hwnd(), IDC_COMP_HEADLINE))), "インストール中にエラーが発生しました");
  EXPECT_EQ(U(status->StatusLine()), "全ての処理が完了しました。閉じるボタンをクリックしてください。");
}

TEST_F(MainDialogTest, SuccessWithPackageTypeZeroClosesTheOpenBoxAndTheWizard) {
  REQUIRE_DISPLAY();
  ctx_.StartPage = 1;
  ctx_.SkipNotices = true;
  ctx_.Settings.PackageType = 0;
  Open();
  ASSERT_NE(sink_, nullptr);
  // The information box is open when the worker reports success.
  MessageSink* sink = sink_;
  std::thread worker;
  TimerAction::After(300, [&] { worker = std::thread([sink] { sink->Send(WM_INSTALL_DONE, 0, 1); }); });
  ::SendMessageW(Frame().Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_FRAME_CLOSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Frame().CloseButton()));
  // The box returned: the worker's message closed it, then the wizard.
  Pump(Main(), 100);
  if (worker.joinable()) worker.join();
  EXPECT_TRUE(dialog_->EndRequested());
  EXPECT_EQ(ctx_.ResultCode, 1);
  EXPECT_FALSE(ctx_.InstallInProgress);
}

TEST_F(MainDialogTest, SuccessWithPackageTypeOneShowsTheCompletionInTheFrame) {
  REQUIRE_DISPLAY();
  ctx_.StartPage = 1;
  ctx_.SkipNotices = true;
  ctx_.Settings.PackageType = 1;
  Open();
  SendFromWorker(WM_INSTALL_DONE, 0, 1);
  EXPECT_EQ(dialog_->MainMode(), kModeFrame);
  CCompPPG* completion = Frame().CompletionPage();
  EXPECT_TRUE(::IsWindowVisible(completion->Hwnd()));
  EXPECT_EQ(Frame().IndicatorImage(IDC_FRAME_STEP_DONE), IDB_STEP_DONE_ON);
  HWND page = completion->Hwnd();
  EXPECT_EQ(U(WindowText(::GetDlgItem(page, IDC_COMP_HEADLINE))), "インストールが完了しました");
  EXPECT_EQ(ChildRect(::GetDlgItem(page, IDC_COMP_HEADLINE)).left, 24);
  EXPECT_EQ(ChildRect(::GetDlgItem(page, IDC_COMP_HEADLINE)).top, 10);
  HWND finish = ::GetDlgItem(page, IDC_COMP_FINISH);
  EXPECT_EQ(U(WindowText(finish)), "完了（&N）");
  EXPECT_EQ(ChildRect(finish).left, 270);
  EXPECT_EQ(ChildRect(finish).top, 290);
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(page, IDC_COMP_HELP_LINK)));
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(page, IDC_COMP_CLOSE)));
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(page, IDC_COMP_MINIMIZE)));
  EXPECT_EQ(completion->Background().ImageId(), IDB_PAGE_INNER);
  // The result stays in front.
  EXPECT_TRUE(::GetWindowLongW(Main(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(MainDialogTest, APressOnAPageDragsTheWindow) {
  REQUIRE_DISPLAY();
  ctx_.ResultCode = 15;
  ctx_.StartPage = 2;
  ctx_.SkipNotices = true;
  Open();
  RECT before{};
  ::GetWindowRect(Main(), &before);
  // Pressed at (100, 200) of the error page, which stands at (10, 10).
  ::SendMessageW(ErrorPage().Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 200));
  EXPECT_TRUE(dialog_->Dragging());
  EXPECT_EQ(::GetCapture(), Main());
  // Moves arrive at the main window, which holds the mouse.
  ::SendMessageW(Main(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(110 + 30, 210 + 20));
  ::SendMessageW(Main(), WM_LBUTTONUP, 0, MAKELPARAM(140, 230));
  EXPECT_FALSE(dialog_->Dragging());
  EXPECT_NE(::GetCapture(), Main());
  RECT after{};
  ::GetWindowRect(Main(), &after);
  EXPECT_EQ(after.left - before.left, 30);
  EXPECT_EQ(after.top - before.top, 20);
  EXPECT_EQ(after.right - after.left, 774);
}

// The start-up dialog, ended by its worker's messages from another thread.
struct StartupRun {
  int result = 0;
  std::wstring lineAfterStep;
  std::wstring lineAfterTick;
};

StartupRun RunStartup(LauncherContext& ctx, int32_t step, int32_t outcome, int32_t kind) {
  StartupRun run;
  std::thread worker;
  CSetupDlg* dialog = nullptr;
  run.result = RunStartupDialog(ctx, [&](LauncherContext&, MessageSink* sink) {
    dialog = static_cast<CSetupDlg*>(sink);
    worker = std::thread([&, sink] {
      sink->Send(WM_INIT_STEP, step, 0);
      run.lineAfterStep = dialog->StatusLine();
      ::Sleep(1300);  // one tick of the dot timer
      run.lineAfterTick = dialog->StatusLine();
      sink->Send(WM_INIT_DONE, outcome, kind);
    });
    return true;
  });
  worker.join();
  return run;
}

TEST_F(WizardWindowsTest, StartupDialogFollowsItsWorkerAndEndsAsItSays) {
  REQUIRE_DISPLAY();
  struct Row {
    int32_t step, outcome, kind;
    int result;
    int32_t resultCode;
    const char* line;
  };
  const Row rows[] = {
      {2, 1, 2, kDialogOk, 1, "最新のインストーラー情報を取得しました"},
      {1, 0, 1, kDialogCancel, 3, "サーバーから最新のインストーラー情報を取得しています"},
      {5, 0, 2, kDialogCancel, 6, "新しいインストーラーをダウンロードしています"},
      {9, 0, 3, kDialogCancel, 21, "プログラムを起動しています..."},
      {11, 2, 9, kDialogCancel, 77, "インストーラーを起動しています..."},  // unknown step: the line stays
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.step);
    LauncherContext ctx;
    ctx.ResultCode = 77;
    const StartupRun run = RunStartup(ctx, row.step, row.outcome, row.kind);
    EXPECT_EQ(run.result, row.result);
    EXPECT_EQ(ctx.ResultCode, row.resultCode);
    EXPECT_EQ(U(run.lineAfterStep), row.line);
    // A tick adds a dot to the step's text (only dots before any known step).
    const std::string tick = U(run.lineAfterTick);
    if (row.step <= 10) {
      EXPECT_EQ(tick, std::string(row.line) + ".");
    } else {
      EXPECT_EQ(tick, ".");
    }
  }
}

TEST_F(WizardWindowsTest, AnOpenYesNoBoxIsAnsweredNo) {
  REQUIRE_DISPLAY();
  bool found = false;
  TimerAction::After(300, [&] { found = CloseProcessWindowTitled(L"確認", nullptr); });
  const int answer = ::MessageBoxW(nullptr, L"プログラムを終了します。\r\nよろしいですか？", L"確認",
                                   MB_YESNO | MB_ICONQUESTION);
  EXPECT_TRUE(found);
  EXPECT_EQ(answer, IDNO);
  EXPECT_FALSE(CloseProcessWindowTitled(L"確認", nullptr));
}

// Not a test: shows one screen of the wizard until it is closed, for
// scripts/screenshots.sh. TAVO_SHOWCASE_RESULT, _DETAIL, _MESSAGE, _NAMES
// ("a|b|c"), _PRODUCT and _INSTALL (1: the result arrives from a simulated
// installation that shows its steps and progress for a few seconds);
// TAVO_SHOWCASE_STARTUP=1 shows the start-up dialog instead.
std::wstring EnvText(const char* name) {
  const char* value = std::getenv(name);
  return value ? platform::Utf8ToWide(value) : std::wstring();
}

TEST_F(WizardWindowsTest, DISABLED_Showcase) {
  REQUIRE_DISPLAY();
  LauncherContext ctx;
  if (EnvText("TAVO_SHOWCASE_STARTUP") == L"1") {
    std::thread worker;
    RunStartupDialog(ctx, [&](LauncherContext&, MessageSink* sink) {
      worker = std::thread([sink] {
        sink->Send(WM_INIT_STEP, 1, 0);
        ::Sleep(8000);
        sink->Send(WM_INIT_DONE, 1, 0);
      });
      return true;
    });
    worker.join();
    return;
  }
  ctx.ResultCode = std::atoi(platform::WideToUtf8(EnvText("TAVO_SHOWCASE_RESULT")).c_str());
  ctx.ResultDetail = std::atoi(platform::WideToUtf8(EnvText("TAVO_SHOWCASE_DETAIL")).c_str());
  ctx.InstallerMessage = EnvText("TAVO_SHOWCASE_MESSAGE");
  const std::wstring product = EnvText("TAVO_SHOWCASE_PRODUCT");
  ctx.Settings.ProductType = product.empty() ? 5 : std::atoi(platform::WideToUtf8(product).c_str());
  ctx.Settings.PackageType = 1;
  const std::wstring names = EnvText("TAVO_SHOWCASE_NAMES");
  for (size_t start = 0; !names.empty();) {
    const size_t bar = names.find(L'|', start);
    ctx.DetectedConflictNames.push_back(names.substr(start, bar == std::wstring::npos ? bar : bar - start));
    if (bar == std::wstring::npos) break;
    start = bar + 1;
  }
  ctx.SkipNotices = true;
  const bool simulateInstall = EnvText("TAVO_SHOWCASE_INSTALL") == L"1";
  const int32_t result = ctx.ResultCode;
  std::thread worker;
  if (simulateInstall) {
    ctx.StartPage = 1;
    ctx.ResultCode = 0;
  } else {
    ctx.StartPage = 2;
  }
  RunMainDialog(ctx, [&](LauncherContext&, MessageSink* sink) {
    worker = std::thread([sink, result, detail = ctx.ResultDetail] {
      for (int step = 1; step <= 7; ++step) {
        sink->Send(WM_INSTALL_STEP, step, 0);
        ::Sleep(200);
      }
      const wchar_t progress[] = L"1200KB/5300KB";
      sink->Send(kWmApp + 0x138B, 0, reinterpret_cast<LPARAM>(progress));
      ::Sleep(6000);
      sink->Send(WM_INSTALL_DONE, detail, result);
    });
    return true;
  });
  if (worker.joinable()) worker.join();
}

}  // namespace

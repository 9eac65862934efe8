#pragma once
#include <windows.h>

// A dialog made from a template, without a framework: a child page created
// beside others, or a top-level dialog run modally. The object is bound to its
// window from creation to destruction; messages reach the virtual handlers.
//
// The modal run has its own message loop so that each dialog on the path from
// the window a message is meant for up to the top-level dialog can look at it
// first (PreTranslateMessage), before the dialog manager's keyboard handling.
class CDialogBase {
 public:
  explicit CDialogBase(UINT templateId);
  virtual ~CDialogBase();
  CDialogBase(const CDialogBase&) = delete;
  CDialogBase& operator=(const CDialogBase&) = delete;

  HWND Hwnd() const { return hwnd_; }

  // Creates the window (a child page when the template says so); false when
  // the template or the window cannot be made.
  bool Create(HWND parent);
  // Runs the dialog modally: creates it, disables the owner, shows it and
  // pumps messages until EndModal. Returns the result given to EndModal, or
  // -1 when the dialog could not be created.
  INT_PTR RunModal(HWND owner);
  // A plain modal box through the system's own loop (no pre-translation).
  INT_PTR RunSystemModal(HWND owner);
  void EndModal(INT_PTR result);
  // EndModal was called (also for a dialog created without a modal run).
  bool EndRequested() const { return endRequested_; }

  // Offers a queued message to the dialogs on the path from its window up to
  // the top-level dialog; true when one consumed it.
  static bool PreTranslateFor(MSG* message, HWND top);

  // The dialog object of a window made by this class; null for any other.
  static CDialogBase* FromHandle(HWND window);
  HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }

 protected:
  // After the controls of the template exist. The return value is that of
  // WM_INITDIALOG: TRUE lets the dialog manager set the focus.
  virtual BOOL OnInitDialog() { return TRUE; }
  // One message. Returns true when handled, with *result the dialog
  // procedure's return value (use SetMessageResult for messages whose result
  // goes through DWLP_MSGRESULT).
  virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) { return false; }
  // A queued message on its way to this dialog or one of its controls; true
  // consumes it.
  virtual bool PreTranslateMessage(MSG* message) { return false; }
  virtual void OnDestroyWindow() {}

  INT_PTR SetMessageResult(LRESULT value);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  // Lets a control answer a notification it caused (colours, drawing).
  bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

  UINT templateId_;
  HWND hwnd_ = nullptr;
  bool running_ = false;
  bool systemModal_ = false;
  bool endRequested_ = false;
  INT_PTR modalResult_ = IDCANCEL;
};

#include "platform/message_box.h"

#include <windows.h>

#include <atomic>

namespace platform {

// Box types and answers pass to and from MessageBoxW unchanged.
static_assert(kMbOk == MB_OK && kMbYesNo == MB_YESNO && kMbIconError == MB_ICONERROR &&
                  kMbIconQuestion == MB_ICONQUESTION && kMbIconInformation == MB_ICONINFORMATION &&
                  kMbTopmost == MB_TOPMOST,
              "the box types are those of MessageBoxW");
static_assert(kIdOk == IDOK && kIdCancel == IDCANCEL && kIdYes == IDYES && kIdNo == IDNO,
              "the answers are those of MessageBoxW");

namespace {
std::atomic<MessageBoxHandler> g_handler{nullptr};
}  // namespace

int ShowMessageBox(void* owner, const std::wstring& text, const std::wstring& caption, uint32_t type) {
  if (MessageBoxHandler handler = g_handler.load()) return handler(owner, text, caption, type);
  return ::MessageBoxW(static_cast<HWND>(owner), text.c_str(), caption.c_str(), type);
}

void SetMessageBoxHandler(MessageBoxHandler handler) { g_handler.store(handler); }

}  // namespace platform

#include "platform/message_box.h"

#include <windows.h>

#include <atomic>

namespace platform {

namespace {
std::atomic<MessageBoxHandler> g_handler{nullptr};
}  // namespace

int ShowMessageBox(void* owner, const std::wstring& text, const std::wstring& caption, uint32_t type) {
  if (MessageBoxHandler handler = g_handler.load()) return handler(owner, text, caption, type);
  return ::MessageBoxW(static_cast<HWND>(owner), text.c_str(), caption.c_str(), type);
}

void SetMessageBoxHandler(MessageBoxHandler handler) { g_handler.store(handler); }

}  // namespace platform

#include "platform/message_box.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

#include "platform/utf.h"

namespace platform {

namespace {
std::mutex g_lock;
MessageBoxHandler g_handler = nullptr;
}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_handler = handler;
}

// Without a front end, a box is its caption and text on the terminal; it
// waits for Enter (or y/n for a question) only when a person can answer.
int ShowMessageBox(void* owner, const std::wstring& text, const std::wstring& caption, uint32_t type) {
  MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    handler = g_handler;
  }
  if (handler) return handler(owner, text, caption, type);

  const bool question = (type & 0xF) == kMbYesNo;
  std::string out = "\n[" + WideToUtf8(caption) + "] " + WideToUtf8(text) + "\n";
  out += question ? "(y/n) " : "[OK]\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  if (!::isatty(STDIN_FILENO)) return question ? kIdNo : kIdOk;
  std::string line;
  std::getline(std::cin, line);
  if (question) return (!line.empty() && (line[0] == 'y' || line[0] == 'Y')) ? kIdYes : kIdNo;
  return kIdOk;
}

}  // namespace platform

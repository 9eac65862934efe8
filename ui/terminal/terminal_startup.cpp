// The start-up dialog on the terminal: the title, and a status line that
// follows the start-up worker's steps with its dot animation. It reads no
// keys, so that keys meant for the wizard stay in the input.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/run_result.h"
#include "base/debug_log.h"
#include "base/error_box.h"
#include "base/ui_call_queue.h"
#include "platform/utf.h"
#include "ui/front_end.h"
#include "ui/setup_dialog_model.h"
#include "ui/terminal/terminal_front_end.h"
#include "ui/terminal/terminal_renderer.h"

namespace terminal {

namespace {

const wchar_t kTitle[] = L"インストーラーを起動しています";

// The dialog's line shows a step that has just begun, or the same step again
// with the timer's dots.
enum class StepLine { kNewStep, kSameStep };

void WriteAll(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n <= 0) return;  // a closed output does not stop the start-up
    p += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace

int RunTerminalStartupDialog(RunResult& runResult, InitWorkerStarter starter, const TerminalOptions& options) {
  const bool plain = UsesPlainText(options);
  SetupDialogModel model;
  int result = -1;

  auto show = [&](const std::wstring& line, StepLine kind) {
    if (plain) {
      // A script reads each step once; the dots are for people.
      if (kind == StepLine::kNewStep) WriteAll(options.outputFd, "  " + platform::WideToUtf8(line) + "\n");
    } else {
      WriteAll(options.outputFd, "\r\x1b[2K  " + platform::WideToUtf8(line));
    }
  };

  UiCallQueue queue([&](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    if (message == WM_INIT_STEP) {
      if (model.OnInitStep(static_cast<int32_t>(wParam))) show(model.StepTextNow(), StepLine::kNewStep);
    } else if (message == WM_INIT_DONE) {
      result = SetupDialogModel::OnInitDone(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam), &runResult.ResultCode);
    }
    return 0;
  });
  queue.BindToCurrentThread();

  Log().Info(L"ダイアログを表示しました。");
  Log().Info(L"ダイアログの初期化処理を行います。");
  Log().Info(L"ダイアログ背景を初期化します。");
  Log().Info(L"コントロールの初期化処理を行います。");
  const std::string title = platform::WideToUtf8(kTitle);
  WriteAll(options.outputFd, plain ? "=== " + title + " ===\n" : "\x1b[2J\x1b[H\x1b[1m" + title + "\x1b[0m\n\n");
  show(L"インストーラーを起動しています...", StepLine::kNewStep);

  if (!SetupDialogModel::StartWorker(starter, &queue)) {
    // Without a worker nothing would ever end this dialog: it ends as cancelled.
    return kDialogCancel;
  }
  Log().Info(L"タイマーの起動処理を行います。");

  auto nextTick = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (result < 0) {
    queue.Pump(100);
    if (result < 0 && std::chrono::steady_clock::now() >= nextTick) {
      show(model.OnTimer(), StepLine::kSameStep);
      nextTick += std::chrono::seconds(1);
    }
  }
  WriteAll(options.outputFd, plain ? "\n" : "\n\n");
  return result;
}

}  // namespace terminal

int RunStartupDialog(RunResult& result, InitWorkerStarter starter) {
  return terminal::RunTerminalStartupDialog(result, std::move(starter), terminal::TerminalOptions());
}

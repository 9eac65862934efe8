#pragma once
// Drives the terminal front end in-process as a user at a terminal would:
// keys go into a pipe that stands for standard input, and the screens come
// out of a pipe that stands for standard output.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/launcher_context.h"
#include "app/window_messages.h"
#include "net/download_notify.h"
#include "ui/terminal/terminal_front_end.h"

namespace tavo_test {

// A safety net against a wizard that never ends; not a timing assertion.
constexpr auto kSessionDeadline = std::chrono::seconds(30);

class TerminalSession {
 public:
  TerminalSession(LauncherContext& context, WizardController::InstallStarter starter,
                  terminal::OutputStyle style = terminal::OutputStyle::Plain, int columns = 0) {
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) return;
    inWrite_ = in[1];
    outRead_ = out[0];
    terminal::TerminalOptions options;
    options.inputFd = in[0];
    options.outputFd = out[1];
    options.style = style;
    options.columns = columns;
    reader_ = std::thread([this] { ReadOutput(); });
    ui_ = std::thread([this, &context, starter, options, in0 = in[0], out1 = out[1]] {
      result_ = terminal::RunTerminalWizard(context, starter, options);
      ::close(in0);
      ::close(out1);  // the reader sees the end of the output
      finished_.store(true);
    });
  }

  ~TerminalSession() { Finish(); }

  void Type(const std::string& keys) {
    if (inWrite_ < 0) return;
    ssize_t ignored = ::write(inWrite_, keys.data(), keys.size());
    (void)ignored;
  }

  void EndInput() {
    if (inWrite_ >= 0) ::close(inWrite_);
    inWrite_ = -1;
  }

  // Waits until the output, from where the last wait stopped, holds text;
  // then continues after it. False when the wizard ended without it.
  bool WaitFor(const std::string& text) {
    std::unique_lock<std::mutex> hold(lock_);
    const auto deadline = std::chrono::steady_clock::now() + kSessionDeadline;
    for (;;) {
      const size_t at = output_.find(text, cursor_);
      if (at != std::string::npos) {
        cursor_ = at + text.size();
        return true;
      }
      if (outputEnded_ || std::chrono::steady_clock::now() >= deadline) return false;
      changed_.wait_until(hold, deadline);
    }
  }

  // Ends the input and waits for the window to close; the dialog result.
  int Finish() {
    EndInput();
    if (ui_.joinable()) ui_.join();
    if (reader_.joinable()) reader_.join();
    if (outRead_ >= 0) ::close(outRead_);
    outRead_ = -1;
    return result_;
  }

  bool Finished() const { return finished_.load(); }

  std::string Output() {
    std::lock_guard<std::mutex> hold(lock_);
    return output_;
  }
  // The output after the point the last WaitFor reached.
  std::string Rest() {
    std::lock_guard<std::mutex> hold(lock_);
    return output_.substr(cursor_);
  }

 private:
  void ReadOutput() {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(outRead_, buffer, sizeof buffer);
      std::lock_guard<std::mutex> hold(lock_);
      if (n <= 0) {
        outputEnded_ = true;
        changed_.notify_all();
        return;
      }
      output_.append(buffer, static_cast<size_t>(n));
      changed_.notify_all();
    }
  }

  int inWrite_ = -1;
  int outRead_ = -1;
  std::thread ui_, reader_;
  std::atomic<bool> finished_{false};
  int result_ = -1;
  std::mutex lock_;
  std::condition_variable changed_;
  std::string output_;
  size_t cursor_ = 0;
  bool outputEnded_ = false;
};

// An install worker that sends what the real one sends: the steps, download
// progress, and the end with a result; held before the end until Release when
// gated, so that the test can act while the installation runs.
class FakeInstall {
 public:
  explicit FakeInstall(intptr_t result = 1, uintptr_t detail = 0, bool gated = false)
      : result_(result), detail_(detail), gated_(gated) {}
  ~FakeInstall() {
    Release();
    Join();
  }

  WizardController::InstallStarter Starter() {
    return [this](LauncherContext&, MessageSink* target) {
      if (refuseStart_) return false;
      ++starts_;
      Join();
      worker_ = std::thread([this, target] { Work(target); });
      return true;
    };
  }

  void Release() {
    std::lock_guard<std::mutex> hold(lock_);
    released_ = true;
    changed_.notify_all();
  }
  void Join() {
    if (worker_.joinable()) worker_.join();
  }
  int Starts() const { return starts_.load(); }
  void RefuseStart() { refuseStart_ = true; }
  // Runs on the worker before the end message (a box from the worker, for one).
  void BeforeEnd(std::function<void()> action) { beforeEnd_ = std::move(action); }
  intptr_t LastDoneAnswer() const { return doneAnswer_.load(); }

 private:
  void Work(MessageSink* target) {
    for (uintptr_t step = 1; step <= 6; ++step) target->Send(WM_INSTALL_STEP, step, 0);
    target->Send(WM_INSTALL_STEP, 7, 0);
    const wchar_t* progress[] = {L"100KB/200KB", L"200KB/200KB"};
    for (const wchar_t* text : progress) target->Send(WM_DOWNLOAD_PROGRESS, 0, reinterpret_cast<intptr_t>(text));
    for (uintptr_t step = 8; step <= 9; ++step) target->Send(WM_INSTALL_STEP, step, 0);
    if (gated_) {
      std::unique_lock<std::mutex> hold(lock_);
      changed_.wait(hold, [this] { return released_; });
    }
    if (beforeEnd_) beforeEnd_();
    target->Send(WM_INSTALL_STEP, 10, 0);
    doneAnswer_.store(target->Send(WM_INSTALL_DONE, detail_, result_));
  }

  intptr_t result_;
  uintptr_t detail_;
  bool gated_;
  bool refuseStart_ = false;
  std::thread worker_;
  std::atomic<int> starts_{0};
  std::atomic<intptr_t> doneAnswer_{-1};
  std::function<void()> beforeEnd_;
  std::mutex lock_;
  std::condition_variable changed_;
  bool released_ = false;
};

}  // namespace tavo_test

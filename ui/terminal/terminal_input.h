#pragma once
#include <termios.h>

#include <cstdint>
#include <functional>

#include "ui/terminal/terminal_keys.h"
#include "ui/terminal/terminal_screen.h"

namespace terminal {

// The wizard's keyboard: the input read key by key, and a wake-up by which a
// worker about to hand a message over interrupts the wait for keys.
class KeyInput {
 public:
  explicit KeyInput(int fd) : fd_(fd) {}
  // Makes the wake-up and takes a terminal's keys one by one, without echo,
  // with Ctrl+C as a key; false when the wake-up cannot be made.
  bool Open();
  // Gives the terminal back and closes the wake-up.
  void Close();
  // Written by a worker to wake the wait.
  int WakeFd() const { return wakeWrite_; }

  bool Next(KeyEvent* key) { return decoder_.Next(key); }
  // The input has ended and every key of it has been taken.
  bool Exhausted() const { return eof_ && !decoder_.HasPending(); }
  // Waits up to timeoutMs for keys or a wake-up. handOver runs in between,
  // told whether a wake-up came, so that a worker's message is handled before
  // the keys that came with it are read. True when nothing came at all.
  bool Wait(int timeoutMs, const std::function<void(bool woken)>& handOver);

 private:
  int fd_;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  bool raw_ = false;
  struct termios saved_ {};
  KeyDecoder decoder_;
  bool eof_ = false;
};

// What a key does on the wizard's window: moves the focus or the notices
// selection, or presses a control. True when Ctrl+C, answered as the system
// close command, closes the window.
bool HandleWizardKey(const KeyEvent& key, WizardScreen& screen, WizardController& controller);

// The answer (platform::kId*) a key gives to an open box of that type; 0 when
// the key does not answer it.
int BoxAnswer(const KeyEvent& key, uint32_t type);

}  // namespace terminal

#pragma once
#include <signal.h>

#include <memory>
#include <string>

#include "ui/terminal/terminal_front_end.h"
#include "ui/terminal/terminal_screen.h"

namespace terminal {

// Screen refresh while something moves (the progress bar), and the longest
// wait of a blocked output.
constexpr int kTickMs = 100;

// The terminal's output: bytes written whole, and its size.
class TerminalOutput {
 public:
  TerminalOutput(int fd, int columns) : fd_(fd), columns_(columns) {}
  // Keeps a reader that goes away from ending the launcher before it has
  // logged its end; Release restores what was there.
  void Hold();
  void Release();
  void Write(const std::string& bytes);
  void WriteLine(const std::wstring& text);
  int Columns() const;  // the width asked for, else the terminal's, else 80
  int Rows() const;     // the terminal's height, else 40

 private:
  int fd_;
  int columns_;
  bool held_ = false;
  struct sigaction saved_ {};
};

// Lays the wizard's window out on the terminal. The wizard reports what
// happened; the renderer writes what its kind of output shows of it and says
// when the whole window has to be drawn again.
class Renderer {
 public:
  virtual ~Renderer() = default;
  virtual void WindowOpened() = 0;
  virtual void WindowClosed() = 0;
  // The whole window: the screen and the box in front of it (nullptr: none).
  virtual void Draw(const WizardScreen& screen, const BoxText* box, bool windowOpen) = 0;
  // A box opened in front of the screen; true when the whole window is to be drawn now.
  virtual bool BoxOpened(const BoxText& box) = 0;
  virtual void BoxAnswered(const BoxText& box, int result) = 0;
  // The status line or a note changed; true when the window is to be drawn again.
  virtual bool StatusLineChanged(const std::wstring& line) = 0;
  virtual bool NoteShown(const std::wstring& note) = 0;
  // Whether every state the keys lead to is drawn, rather than the latest one
  // once the keys stop.
  virtual bool DrawsEveryKey() const = 0;
  // A tick passed without keys; true when the window is to be drawn again
  // because something on it moves by itself (the progress bar).
  virtual bool TickPassed(const WizardScreen& screen) = 0;
};

// Plain text when the options ask for it, when the output is no terminal or
// TERM is unset or "dumb"; else the full screen. The start-up dialog and the
// wizard follow the same rule.
bool UsesPlainText(const TerminalOptions& options);
std::unique_ptr<Renderer> MakeRenderer(const TerminalOptions& options, TerminalOutput& output);

std::unique_ptr<Renderer> MakePlainRenderer(TerminalOutput& output);
std::unique_ptr<Renderer> MakeFullScreenRenderer(TerminalOutput& output);

}  // namespace terminal

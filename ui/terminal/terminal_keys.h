#pragma once
#include <cstddef>
#include <string>

namespace terminal {

// The keys the wizard understands, decoded from the bytes of standard input.
enum class Key {
  Char,       // a printable ASCII character (mnemonics, y/n, j/k)
  Enter,      // CR, LF or CR LF
  Space,
  Tab,
  ShiftTab,   // ESC [ Z
  Up,         // ESC [ A, ESC O A
  Down,       // ESC [ B, ESC O B
  Escape,     // a lone ESC
  Interrupt,  // Ctrl+C: the terminal's stand-in for the system close command
};

struct KeyEvent {
  Key key = Key::Char;
  char ch = 0;  // for Key::Char
};

// Turns input bytes into keys. An escape sequence may arrive split over two
// reads, so an ESC at the end of the bytes fed so far is held back until more
// bytes come or Flush says that none will.
class KeyDecoder {
 public:
  void Feed(const char* data, size_t size);
  // The next complete key; false when none is ready.
  bool Next(KeyEvent* key);
  // No more bytes follow soon: a held-back ESC counts as the Escape key and an
  // unfinished sequence is dropped.
  void Flush();
  // Bytes are waiting that may still become keys.
  bool HasPending() const { return !buffer_.empty(); }

 private:
  std::string buffer_;
  bool flushing_ = false;
  bool afterCr_ = false;  // an LF right after a CR belongs to the same Enter
};

}  // namespace terminal

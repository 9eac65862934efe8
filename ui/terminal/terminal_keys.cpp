#include "ui/terminal/terminal_keys.h"

namespace terminal {

void KeyDecoder::Feed(const char* data, size_t size) {
  buffer_.append(data, size);
  flushing_ = false;
}

void KeyDecoder::Flush() { flushing_ = true; }

bool KeyDecoder::Next(KeyEvent* key) {
  while (!buffer_.empty()) {
    const unsigned char c = static_cast<unsigned char>(buffer_[0]);
    const bool afterCr = afterCr_;
    afterCr_ = false;
    if (c == 0x1B) {
      if (buffer_.size() == 1) {
        if (!flushing_) return false;
        buffer_.erase(0, 1);
        key->key = Key::Escape;
        return true;
      }
      const char introducer = buffer_[1];
      if (introducer == '[' || introducer == 'O') {
        // CSI: parameters, then one final byte in 0x40..0x7E; SS3: one byte.
        size_t end = 2;
        if (introducer == '[') {
          while (end < buffer_.size() &&
                 !(static_cast<unsigned char>(buffer_[end]) >= 0x40 && static_cast<unsigned char>(buffer_[end]) <= 0x7E)) {
            ++end;
          }
        }
        if (end >= buffer_.size()) {
          if (!flushing_) return false;
          buffer_.clear();  // an unfinished sequence means nothing
          return false;
        }
        const char final = buffer_[end];
        const bool plain = end == 2;  // no parameters
        buffer_.erase(0, end + 1);
        if (plain && final == 'A') { key->key = Key::Up; return true; }
        if (plain && final == 'B') { key->key = Key::Down; return true; }
        if (plain && final == 'Z' && introducer == '[') { key->key = Key::ShiftTab; return true; }
        continue;  // other function keys do nothing here
      }
      // ESC followed by anything else: the Escape key, and the byte after it
      // is a key of its own.
      buffer_.erase(0, 1);
      key->key = Key::Escape;
      return true;
    }
    buffer_.erase(0, 1);
    if (c == '\r') {
      afterCr_ = true;
      key->key = Key::Enter;
      return true;
    }
    if (c == '\n') {
      if (afterCr) continue;
      key->key = Key::Enter;
      return true;
    }
    if (c == '\t') { key->key = Key::Tab; return true; }
    if (c == ' ') { key->key = Key::Space; return true; }
    if (c == 0x03) { key->key = Key::Interrupt; return true; }
    if (c > 0x20 && c < 0x7F) {
      key->key = Key::Char;
      key->ch = static_cast<char>(c);
      return true;
    }
    // Other control bytes and the bytes of non-ASCII characters are no keys
    // of the wizard.
  }
  return false;
}

}  // namespace terminal

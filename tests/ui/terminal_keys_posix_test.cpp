#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ui/terminal/terminal_keys.h"

namespace {

using terminal::Key;
using terminal::KeyDecoder;
using terminal::KeyEvent;

// Keys written compactly: 'c a character, E Enter, S Space, T Tab, B Shift+Tab,
// U Up, D Down, X Escape, I Interrupt. The bytes arrive in one read, or one byte a read.
std::string Decode(const std::string& bytes, size_t chunk) {
  KeyDecoder decoder;
  std::string keys;
  KeyEvent key;
  for (size_t at = 0; at <= bytes.size(); at += chunk) {
    if (at < bytes.size()) {
      decoder.Feed(bytes.data() + at, std::min(chunk, bytes.size() - at));
    } else {
      decoder.Flush();  // the end of the input
    }
    while (decoder.Next(&key)) {
      keys += key.key == Key::Char ? std::string("'") + key.ch : std::string(1, "ESTBUDXI"[static_cast<int>(key.key) - 1]);
    }
  }
  return keys;
}

TEST(TerminalKeys, DecodesTheWizardKeys) {
  const struct {
    const char* name;
    std::string bytes, keys;
  } cases[] = {
      {"mnemonics keep their case", "NxCm", "'N'x'C'm"},
      {"CR, LF and CR LF are one Enter each", "\r\n\r\n\n", "EEE"},
      {"CR CR are two", "\r\r", "EE"},
      {"space and tab", " \t", "ST"},
      {"shift tab", "\x1b[Z", "B"},
      {"arrows, both forms", "\x1b[A\x1b[B\x1bOA\x1bOB", "UDUD"},
      {"j and k stay letters", "jk", "'j'k"},
      {"lone escape", "\x1b", "X"},
      {"escape then a letter", "\x1bn", "X'n"},
      {"double escape", "\x1b\x1b", "XX"},
      {"other function keys are dropped", "\x1b[15~\x1b[1;5A\x1bOP", ""},
      {"ctrl c", "\x03", "I"},
      {"other control bytes are dropped", "\x01\x7f\x08", ""},
      {"non-ASCII characters are dropped", "\xe3\x81\x82y", "'y"},
      {"unfinished sequence at the end is dropped", "\x1b[1;", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.keys, Decode(c.bytes, std::max<size_t>(c.bytes.size(), 1))) << c.name;
    EXPECT_EQ(c.keys, Decode(c.bytes, 1)) << c.name << ", one byte a read";
  }
  // A lone ESC waits for what follows; a CR is an Enter at once, and the LF of the next read joins it.
  KeyDecoder decoder;
  KeyEvent key;
  decoder.Feed("\x1b", 1);
  EXPECT_FALSE(decoder.Next(&key));
  EXPECT_TRUE(decoder.HasPending());
  decoder.Feed("\r", 1);
  EXPECT_TRUE(decoder.Next(&key) && key.key == Key::Escape && decoder.Next(&key) && key.key == Key::Enter);
  decoder.Feed("\n", 1);
  EXPECT_FALSE(decoder.Next(&key));
}

}  // namespace

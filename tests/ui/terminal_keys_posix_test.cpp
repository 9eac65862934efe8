#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/terminal/terminal_keys.h"
#include "ui/terminal/terminal_text.h"

namespace {

using terminal::Key;
using terminal::KeyDecoder;
using terminal::KeyEvent;

// Keys written compactly: a character stands for itself, and
// E Enter, S Space, T Tab, B Shift+Tab, U Up, D Down, X Escape, I Interrupt.
std::string Decode(const std::string& bytes, bool flush = true) {
  KeyDecoder decoder;
  decoder.Feed(bytes.data(), bytes.size());
  if (flush) decoder.Flush();
  std::string keys;
  KeyEvent key;
  while (decoder.Next(&key)) {
    switch (key.key) {
      case Key::Char: keys += std::string("'") + key.ch; break;
      case Key::Enter: keys += "E"; break;
      case Key::Space: keys += "S"; break;
      case Key::Tab: keys += "T"; break;
      case Key::ShiftTab: keys += "B"; break;
      case Key::Up: keys += "U"; break;
      case Key::Down: keys += "D"; break;
      case Key::Escape: keys += "X"; break;
      case Key::Interrupt: keys += "I"; break;
    }
  }
  return keys;
}

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::string keys;
};

TEST(TerminalKeys, DecodesTheWizardKeys) {
  const DecodeCase cases[] = {
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
    EXPECT_EQ(c.keys, Decode(c.bytes)) << c.name;
  }
}

TEST(TerminalKeys, EscapeSequenceSplitAcrossReads) {
  KeyDecoder decoder;
  KeyEvent key;
  decoder.Feed("\x1b", 1);
  EXPECT_FALSE(decoder.Next(&key)) << "a lone ESC waits for what follows";
  EXPECT_TRUE(decoder.HasPending());
  decoder.Feed("[", 1);
  EXPECT_FALSE(decoder.Next(&key));
  decoder.Feed("Z", 1);
  ASSERT_TRUE(decoder.Next(&key));
  EXPECT_EQ(Key::ShiftTab, key.key);
  EXPECT_FALSE(decoder.HasPending());
}

TEST(TerminalKeys, CrAndLfSplitAcrossReadsIsOneEnter) {
  KeyDecoder decoder;
  KeyEvent key;
  decoder.Feed("\r", 1);
  ASSERT_TRUE(decoder.Next(&key));
  EXPECT_EQ(Key::Enter, key.key);
  decoder.Feed("\n", 1);
  EXPECT_FALSE(decoder.Next(&key));
  decoder.Feed("\n", 1);
  ASSERT_TRUE(decoder.Next(&key));
  EXPECT_EQ(Key::Enter, key.key);
}

TEST(TerminalText, StripMnemonic) {
  struct Case {
    std::wstring caption, shown;
    wchar_t letter;
  } cases[] = {
      {L"確認(&N)", L"確認(N)", L'N'},
      {L"完了（&N）", L"完了（N）", L'N'},
      {L"インストールの続行(&C)", L"インストールの続行(C)", L'C'},
      {L"閉じる(&x)", L"閉じる(x)", L'X'},
      {L"A && B", L"A & B", 0},
      {L"no marker", L"no marker", 0},
      {L"trailing &", L"trailing &", 0},
  };
  for (const auto& c : cases) {
    wchar_t letter = 1;
    EXPECT_EQ(c.shown, terminal::StripMnemonic(c.caption, &letter));
    EXPECT_EQ(c.letter, letter);
  }
}

TEST(TerminalText, WidthsAndWrapping) {
  EXPECT_EQ(0, terminal::TextWidth(L""));
  EXPECT_EQ(3, terminal::TextWidth(L"abc"));
  EXPECT_EQ(14, terminal::TextWidth(L"重要なお知らせ"));
  EXPECT_EQ(5, terminal::TextWidth(L"（N）"));
  EXPECT_EQ(5, terminal::TextWidth(L"ｶﾀｶﾅa"));  // half-width katakana is narrow

  const auto pieces = terminal::WrapLine(L"あいうえおabc", 5);
  EXPECT_EQ((std::vector<std::wstring>{L"あい", L"うえ", L"おabc"}), pieces);
  EXPECT_EQ(std::vector<std::wstring>{L""}, terminal::WrapLine(L"", 10));
  // A character wider than the screen still makes progress.
  EXPECT_EQ(3u, terminal::WrapLine(L"あいう", 1).size());
}

TEST(TerminalText, SplitLines) {
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"c", L""}), terminal::SplitLines(L"a\r\nb\nc\r"));
  EXPECT_EQ((std::vector<std::wstring>{L"", L""}), terminal::SplitLines(L"\r\n"));
}

TEST(TerminalText, ColourSequences) {
  // COLORREF has red in the low byte.
  EXPECT_EQ("\x1b[38;2;255;0;0m", terminal::ColourSequence(0x0000FF, false, terminal::ColourDepth::TrueColour));
  EXPECT_EQ("\x1b[48;2;0;102;204m", terminal::ColourSequence(0xCC6600, true, terminal::ColourDepth::TrueColour));
  EXPECT_EQ("\x1b[38;5;196m", terminal::ColourSequence(0x0000FF, false, terminal::ColourDepth::Colour256));
  struct Case {
    uint32_t colorref;
    int index;
  } cases[] = {
      {0x000000, 16}, {0xFFFFFF, 231}, {0x0000FF, 196}, {0x00FF00, 46}, {0xFF0000, 21},
      {0x3D3D3D, 237}, {0x808080, 244}, {0xCC6600, 26},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.index, terminal::NearestXterm256(c.colorref)) << std::hex << c.colorref;
  }
}

}  // namespace

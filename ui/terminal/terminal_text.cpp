#include "ui/terminal/terminal_text.h"

#include <cstdio>
#include <cstdlib>

namespace terminal {

int CharWidth(wchar_t c) {
  const uint32_t u = static_cast<uint32_t>(c);
  if (u == 0) return 0;
  if ((u >= 0x0300 && u <= 0x036F) || (u >= 0x3099 && u <= 0x309A) || u == 0x200B || (u >= 0xFE00 && u <= 0xFE0F)) {
    return 0;
  }
  if ((u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0x303E) || (u >= 0x3041 && u <= 0x33FF) ||
      (u >= 0x3400 && u <= 0x4DBF) || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xA000 && u <= 0xA4CF) ||
      (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) ||
      (u >= 0xFF00 && u <= 0xFF60) || (u >= 0xFFE0 && u <= 0xFFE6) || (u >= 0x1F300 && u <= 0x1F64F) ||
      (u >= 0x20000 && u <= 0x3FFFD)) {
    return 2;
  }
  // Symbols of ambiguous width (the squares and arrow of the step line) take
  // one column on most terminals.
  return 1;
}

int TextWidth(const std::wstring& text) {
  int width = 0;
  for (wchar_t c : text) width += CharWidth(c);
  return width;
}

std::wstring StripMnemonic(const std::wstring& caption, wchar_t* mnemonic) {
  std::wstring out;
  wchar_t letter = 0;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == L'&' && i + 1 < caption.size()) {
      ++i;
      if (caption[i] != L'&' && letter == 0) {
        letter = caption[i];
        if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - L'a' + L'A');
      }
    }
    out += caption[i];
  }
  if (mnemonic != nullptr) *mnemonic = letter;
  return out;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::wstring current;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') {
      lines.push_back(current);
      current.clear();
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else {
      current += c;
    }
  }
  lines.push_back(current);
  return lines;
}

std::vector<std::wstring> WrapLine(const std::wstring& line, int columns) {
  std::vector<std::wstring> pieces;
  if (columns < 2) columns = 2;
  std::wstring current;
  int width = 0;
  for (wchar_t c : line) {
    const int w = CharWidth(c);
    if (width + w > columns && !current.empty()) {
      pieces.push_back(current);
      current.clear();
      width = 0;
    }
    current += c;
    width += w;
  }
  pieces.push_back(current);
  return pieces;
}

int NearestXterm256(uint32_t colorref) {
  const int r = static_cast<int>(colorref & 0xFF);
  const int g = static_cast<int>((colorref >> 8) & 0xFF);
  const int b = static_cast<int>((colorref >> 16) & 0xFF);
  static const int kLevels[6] = {0, 95, 135, 175, 215, 255};
  auto nearestLevel = [](int v) {
    int best = 0;
    for (int i = 1; i < 6; ++i) {
      if (std::abs(kLevels[i] - v) < std::abs(kLevels[best] - v)) best = i;
    }
    return best;
  };
  const int ri = nearestLevel(r), gi = nearestLevel(g), bi = nearestLevel(b);
  auto distance = [&](int cr, int cg, int cb) {
    return (cr - r) * (cr - r) + (cg - g) * (cg - g) + (cb - b) * (cb - b);
  };
  const int cubeIndex = 16 + 36 * ri + 6 * gi + bi;
  const int cubeDistance = distance(kLevels[ri], kLevels[gi], kLevels[bi]);
  // The grey ramp 232..255 runs from 8 to 238 in steps of 10.
  int grey = (r + g + b) / 3;
  int greyStep = grey < 8 ? 0 : (grey > 238 ? 23 : (grey - 8 + 5) / 10);
  if (greyStep > 23) greyStep = 23;
  const int greyValue = 8 + greyStep * 10;
  const int greyDistance = distance(greyValue, greyValue, greyValue);
  return greyDistance < cubeDistance ? 232 + greyStep : cubeIndex;
}

std::string ColourSequence(uint32_t colorref, ColourLayer layer, ColourDepth depth) {
  const int selector = layer == ColourLayer::kBackground ? 48 : 38;
  char buffer[32];
  if (depth == ColourDepth::TrueColour) {
    std::snprintf(buffer, sizeof buffer, "\x1b[%d;2;%u;%u;%um", selector, colorref & 0xFF,
                  (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
  } else {
    std::snprintf(buffer, sizeof buffer, "\x1b[%d;5;%dm", selector, NearestXterm256(colorref));
  }
  return buffer;
}

}  // namespace terminal

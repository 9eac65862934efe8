#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace terminal {

// Columns a character takes on a terminal: 2 for the wide East Asian forms
// the Japanese texts use, 0 for combining marks, 1 otherwise.
int CharWidth(wchar_t c);
int TextWidth(const std::wstring& text);

// A caption with its mnemonic marker removed ("確認(&N)" -> "確認(N)"; "&&" is
// a literal "&"); *mnemonic receives the letter after the marker, upper-cased,
// or 0 when the caption has none.
std::wstring StripMnemonic(const std::wstring& caption, wchar_t* mnemonic = nullptr);

// The lines of a text; CR LF, LF and CR all end a line.
std::vector<std::wstring> SplitLines(const std::wstring& text);

// One line broken into pieces of at most `columns` columns (at least one
// character a piece); an empty line stays one empty piece.
std::vector<std::wstring> WrapLine(const std::wstring& line, int columns);

enum class ColourDepth { Colour256, TrueColour };
enum class ColourLayer { kForeground, kBackground };

// The SGR escape sequence that selects a COLORREF (red in the low byte) as
// the foreground or background colour.
std::string ColourSequence(uint32_t colorref, ColourLayer layer, ColourDepth depth);
// The nearest colour of the 6x6x6 cube and grey ramp of 256-colour terminals.
int NearestXterm256(uint32_t colorref);

}  // namespace terminal

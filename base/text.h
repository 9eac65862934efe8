#pragma once
#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

// printf-style formatting of wide strings. Use %ls for wide-string arguments
// (valid with glibc and with mingw's C99 stdio), never %s.
std::wstring FormatText(const wchar_t* format, ...);
std::wstring FormatTextV(const wchar_t* format, va_list args);

// Decimal conversions as the settings readers use them: leading white space
// skipped, conversion stops at the first non-digit, no digits gives 0.
int32_t ParseDecimalInt(const std::wstring& text);
uint32_t ParseDecimalUInt(const std::wstring& text);

std::wstring ToLowerAscii(std::wstring text);
// Removes every carriage return and line feed.
std::wstring RemoveLineBreaks(const std::wstring& text);
void ReplaceAll(std::wstring* text, const std::wstring& from, const std::wstring& to);


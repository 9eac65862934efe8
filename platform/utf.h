#pragma once
#include <cstddef>
#include <string>

namespace platform {

// Portable conversions between the product's wide strings and byte encodings.
// Invalid input is replaced by U+FFFD, never dropped silently.
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& bytes);
// UTF-16LE bytes of a wide string (surrogate pairs where wchar_t is 32-bit).
std::string WideToUtf16Le(const std::wstring& text);
std::wstring Utf16LeToWide(const std::string& bytes);
// Bytes as lower-case hexadecimal digits, two to a byte.
std::string HexText(const void* bytes, size_t size);

}  // namespace platform

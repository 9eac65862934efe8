#include "base/text.h"

#include <cwchar>
#include <cwctype>

std::wstring FormatTextV(const wchar_t* format, va_list args) {
  std::wstring out;
  size_t capacity = 256;
  for (;;) {
    out.resize(capacity);
    va_list copy;
    va_copy(copy, args);
    int n = vswprintf(&out[0], capacity, format, copy);
    va_end(copy);
    if (n >= 0 && static_cast<size_t>(n) < capacity) {
      out.resize(static_cast<size_t>(n));
      return out;
    }
    // vswprintf reports overflow as -1 on both libraries; grow and retry, but
    // stop at a size no log line or path could need.
    if (capacity >= (1u << 20)) {
      out.clear();
      return out;
    }
    capacity *= 4;
  }
}

std::wstring FormatText(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring out = FormatTextV(format, args);
  va_end(args);
  return out;
}

namespace {

// Leading white space, an optional sign, then digits until the first other
// character; wraps like the C runtime's 32-bit conversions do.
bool ParseSignAndDigits(const std::wstring& text, bool* negative, uint64_t* magnitude) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    *negative = text[i] == L'-';
    ++i;
  }
  uint64_t value = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    any = true;
    if (value < (1ull << 40)) value = value * 10 + static_cast<uint64_t>(text[i] - L'0');
  }
  *magnitude = value;
  return any;
}

}  // namespace

int32_t ParseDecimalInt(const std::wstring& text) {
  bool negative = false;
  uint64_t magnitude = 0;
  if (!ParseSignAndDigits(text, &negative, &magnitude)) return 0;
  // Out-of-range values saturate, as wcstol does.
  if (!negative && magnitude > 0x7FFFFFFFull) return INT32_MAX;
  if (negative && magnitude > 0x80000000ull) return INT32_MIN;
  int64_t v = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return static_cast<int32_t>(v);
}

uint32_t ParseDecimalUInt(const std::wstring& text) {
  bool negative = false;
  uint64_t magnitude = 0;
  if (!ParseSignAndDigits(text, &negative, &magnitude)) return 0;
  if (magnitude > 0xFFFFFFFFull) return UINT32_MAX;
  uint32_t v = static_cast<uint32_t>(magnitude);
  return negative ? static_cast<uint32_t>(0u - v) : v;
}

std::wstring ToLowerAscii(std::wstring text) {
  for (auto& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

std::wstring RemoveLineBreaks(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (c != L'\r' && c != L'\n') out.push_back(c);
  }
  return out;
}

void ReplaceAll(std::wstring* text, const std::wstring& from, const std::wstring& to) {
  if (from.empty()) return;
  size_t pos = 0;
  while ((pos = text->find(from, pos)) != std::wstring::npos) {
    text->replace(pos, from.size(), to);
    pos += to.size();
  }
}

std::wstring QuoteCommandLineArgument(const std::wstring& argument) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only before a quote: doubled, then the quote escaped.
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  // Before the closing quote they are doubled too, so that it still closes.
  out.append(backslashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

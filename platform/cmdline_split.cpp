#include "platform/cmdline_split.h"

namespace platform {

std::vector<std::wstring> SplitWindowsCommandLine(const std::wstring& line) {
  std::vector<std::wstring> args;
  const size_t n = line.size();
  size_t i = 0;
  auto blank = [&](size_t k) { return k < n && (line[k] == L' ' || line[k] == L'\t'); };

  // The program name: up to the closing quote, or up to the first blank; no
  // escapes are interpreted in it.
  std::wstring program;
  if (i < n && line[i] == L'"') {
    ++i;
    while (i < n && line[i] != L'"') program.push_back(line[i++]);
    if (i < n) ++i;  // the closing quote
  } else {
    while (i < n && !blank(i)) program.push_back(line[i++]);
  }
  args.push_back(program);
  while (blank(i)) ++i;
  if (i >= n) return args;

  // The arguments: 2n backslashes before a quote give n backslashes and a
  // quote that toggles quoting; 2n+1 give n backslashes and a literal quote;
  // other backslashes are literal. Runs of quotes follow the system's count
  // of three.
  std::wstring current;
  int qcount = 0;
  int bcount = 0;
  while (i < n) {
    wchar_t c = line[i];
    if ((c == L' ' || c == L'\t') && qcount == 0) {
      args.push_back(current);
      current.clear();
      while (blank(i)) ++i;
      bcount = 0;
      if (i >= n) return args;  // trailing blanks start no argument
      continue;
    }
    if (c == L'\\') {
      current.push_back(c);
      ++i;
      ++bcount;
    } else if (c == L'"') {
      if ((bcount & 1) == 0) {
        current.resize(current.size() - static_cast<size_t>(bcount / 2));
        ++qcount;
      } else {
        current.resize(current.size() - static_cast<size_t>(bcount / 2) - 1);
        current.push_back(L'"');
      }
      ++i;
      bcount = 0;
      while (i < n && line[i] == L'"') {
        if (++qcount == 3) {
          current.push_back(L'"');
          qcount = 0;
        }
        ++i;
      }
      if (qcount == 2) qcount = 0;
    } else {
      current.push_back(c);
      ++i;
      bcount = 0;
    }
  }
  args.push_back(current);
  return args;
}

std::wstring QuoteWindowsArgument(const std::wstring& argument) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count double only before a quote.
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(2 * backslashes, L'\\');
  out.push_back(L'"');
  return out;
}

std::wstring QuoteWindowsProgram(const std::wstring& path) {
  if (path.find(L'"') != std::wstring::npos) return std::wstring();
  return L"\"" + path + L"\"";
}

}  // namespace platform

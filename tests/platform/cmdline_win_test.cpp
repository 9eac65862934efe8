// The portable command-line splitter against the system's own CommandLineToArgvW: the table of cases, and every line
// built from three pieces of the characters that matter.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/cmdline_split.h"
#include "tests/support/cmdline_cases.h"

namespace {

std::vector<std::wstring> SystemSplit(const std::wstring& line) {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(line.c_str(), &count);
  std::vector<std::wstring> args(argv, argv ? argv + count : argv);
  return ::LocalFree(argv), args;
}

std::string Show(const std::vector<std::wstring>& args) {
  std::string out;
  for (const auto& a : args) {
    out += "[";
    for (wchar_t c : a) out += (c < 0x80) ? static_cast<char>(c) : '?';
    out += "]";
  }
  return out;
}

TEST(CommandLineWin, TheSplitterAgreesWithTheSystem) {
  for (const auto& c : tavo_test::CommandLineCases()) {
    if (!*c.line) continue;  // the system answers an empty line with the module path
    EXPECT_EQ(Show(c.args), Show(SystemSplit(c.line))) << Show({c.line});
  }
  const wchar_t* pieces[] = {L"a", L" ", L"\t", L"\"", L"\\", L"\\\\", L"\\\"", L"\"\"", L"b c"};
  for (size_t n = 0; n < 9 * 9 * 9 * 2; ++n) {
    const std::wstring line = std::wstring(n % 2 ? L"Setup.exe " : L"\"C:\\A B\\Setup.exe\" ") + pieces[n / 2 % 9] +
                              pieces[n / 18 % 9] + pieces[n / 162 % 9];
    EXPECT_EQ(Show(SystemSplit(line)), Show(platform::SplitWindowsCommandLine(line))) << Show({line});
    // Any argument, quoted, comes back whole and unchanged.
    const std::wstring argument = line.substr(line.find(L".exe") + 5);
    EXPECT_EQ(Show({L"x", argument}), Show(SystemSplit(L"x " + platform::QuoteWindowsArgument(argument))))
        << Show({argument});
  }
}

}  // namespace

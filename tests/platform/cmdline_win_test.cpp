// The table of command lines that the portable splitter is checked against,
// proven here against the system's own CommandLineToArgvW.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/cmdline_split.h"
#include "platform/folders.h"
#include "tests/support/cmdline_cases.h"

namespace {

std::vector<std::wstring> SystemSplit(const wchar_t* line) {
  std::vector<std::wstring> args;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(line, &count);
  if (!argv) return args;
  for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
  ::LocalFree(argv);
  return args;
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

TEST(CommandLineWin, TableAgreesWithTheSystem) {
  for (const auto& c : tavo_test::CommandLineCases()) {
    const std::wstring line = c.line;
    if (line.empty()) continue;  // the system answers with the module path there
    EXPECT_EQ(Show(c.args), Show(SystemSplit(c.line))) << Show({line});
  }
}

TEST(CommandLineWin, PortableSplitterAgreesWithTheSystem) {
  // Further lines beyond the table, built from the characters that matter.
  const wchar_t* pieces[] = {L"a", L" ", L"\t", L"\"", L"\\", L"\\\\", L"\\\"", L"\"\"", L"b c"};
  const size_t n = sizeof(pieces) / sizeof(pieces[0]);
  int checked = 0;
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < n; ++j) {
      for (size_t k = 0; k < n; ++k) {
        for (const wchar_t* program : {L"Setup.exe ", L"\"C:\\A B\\Setup.exe\" "}) {
          const std::wstring line = std::wstring(program) + pieces[i] + pieces[j] + pieces[k];
          EXPECT_EQ(Show(SystemSplit(line.c_str())), Show(platform::SplitWindowsCommandLine(line)))
              << Show({line});
          ++checked;
        }
      }
    }
  }
  EXPECT_EQ(static_cast<int>(n * n * n * 2), checked);
}

TEST(CommandLineWin, EmptyLineIsTheModulePathForTheSystem) {
  const std::vector<std::wstring> args = SystemSplit(L"");
  ASSERT_EQ(1u, args.size());
  EXPECT_EQ(platform::GetModulePath(), args[0]);
}

}  // namespace

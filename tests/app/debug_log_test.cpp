#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

#include "app/debug_log.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;

// The log file as text, without its byte-order mark.
std::wstring ReadLog(const std::wstring& path, bool* hasBom = nullptr) {
  std::string bytes = tavo_test::ReadBytes(path);
  bool bom = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
  if (hasBom) *hasBom = bom;
  return platform::Utf16LeToWide(bom ? bytes.substr(2) : bytes);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t pos; (pos = text.find(L"\r\n", start)) != std::wstring::npos; start = pos + 2)
    lines.push_back(text.substr(start, pos - start));
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return lines;
}

std::wstring EntryText(const std::wstring& line) {
  // "[yyyy/mm/dd hh:mm:ss.mmm] [level] [text]"
  size_t second = line.find(L"] [", 0);
  size_t third = line.find(L"] [", second + 1);
  return line.substr(third + 3, line.size() - third - 4);
}

TEST(DebugLog, WritesUtf16LeLinesWithByteOrderMarkOnce) {
  TempDir dir;
  DebugLog log;
  log.SetPath(dir.File(L"TAVODebugLog.txt"));
  log.SetEnabled(true);
  ASSERT_TRUE(log.Info(L"プログラムを開始します。"));

  std::string bytes = tavo_test::ReadBytes(dir.File(L"TAVODebugLog.txt"));
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ('\xFF', bytes[0]);
  EXPECT_EQ('\xFE', bytes[1]);
  EXPECT_EQ(std::string("\r\0\n\0", 4), bytes.substr(bytes.size() - 4));

  // A second writer (a second run) appends without another mark.
  DebugLog second;
  second.SetPath(dir.File(L"TAVODebugLog.txt"));
  second.SetEnabled(true);
  ASSERT_TRUE(second.Info(L"プログラムを終了します。"));
  bool bom = false;
  std::wstring text = ReadLog(dir.File(L"TAVODebugLog.txt"), &bom);
  EXPECT_TRUE(bom);
  EXPECT_EQ(std::wstring::npos, text.find(L"\xFEFF"));
  auto lines = Lines(text);
  ASSERT_EQ(2u, lines.size());
  std::wregex shape(LR"(\[\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[情報\] \[.*\])");
  for (const auto& line : lines) EXPECT_TRUE(std::regex_match(line, shape)) << platform::WideToUtf8(line);
  EXPECT_EQ(L"プログラムを開始します。", EntryText(lines[0]));
  EXPECT_EQ(L"プログラムを終了します。", EntryText(lines[1]));
}

TEST(DebugLog, ErrorCarriesTheLastSystemErrorAndKeepsIt) {
  TempDir dir;
  DebugLog log;
  log.SetPath(dir.File(L"log.txt"));
  log.SetEnabled(true);
  platform::SetLastError(5);
  ASSERT_TRUE(log.Error(L"x"));
  EXPECT_EQ(5u, platform::LastError());
  ASSERT_TRUE(log.ErrorPlain(L"y"));
  auto lines = Lines(ReadLog(dir.File(L"log.txt")));
  ASSERT_EQ(2u, lines.size());
  EXPECT_NE(std::wstring::npos, lines[0].find(L"] [エラー] [x (ERRORCODE 5)]"));
  EXPECT_NE(std::wstring::npos, lines[1].find(L"] [エラー] [y]"));
}

TEST(DebugLog, LineBreaksAreRemovedSoAnEntryStaysOneLine) {
  TempDir dir;
  DebugLog log;
  log.SetPath(dir.File(L"log.txt"));
  log.SetEnabled(true);
  log.Info(L"a\r\nb\nc\rd");
  platform::SetLastError(2);
  log.Error(L"e\r\nf");
  auto lines = Lines(ReadLog(dir.File(L"log.txt")));
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(L"abcd", EntryText(lines[0]));
  EXPECT_EQ(L"ef (ERRORCODE 2)", EntryText(lines[1]));
}

TEST(DebugLog, DisabledLogDropsEntriesAndReportsSuccess) {
  TempDir dir;
  DebugLog log;
  log.SetPath(dir.File(L"log.txt"));
  EXPECT_TRUE(log.Info(L"before the paths are known"));
  EXPECT_FALSE(platform::FileExists(dir.File(L"log.txt")));
}

TEST(DebugLog, UnwritableLogReturnsFalseAndLeavesTheErrorAlone) {
  TempDir dir;
  // A folder where the file should be: it cannot be opened for appending.
  ASSERT_TRUE(platform::CreateFolder(dir.File(L"locked.txt")));
  DebugLog log;
  log.SetPath(dir.File(L"locked.txt"));
  log.SetEnabled(true);
  platform::SetLastError(1234);
  EXPECT_FALSE(log.Info(L"x"));
  EXPECT_EQ(1234u, platform::LastError());
  EXPECT_FALSE(log.Error(L"y"));
}

TEST(DebugLog, ConcurrentWritersNeverSplitALine) {
  TempDir dir;
  DebugLog log;
  log.SetPath(dir.File(L"log.txt"));
  log.SetEnabled(true);
  const int kPerThread = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&log, t] {
      std::wstring text(300, static_cast<wchar_t>(L'A' + t));
      for (int i = 0; i < kPerThread; ++i) log.Info(text);
    });
  }
  for (auto& th : threads) th.join();
  bool bom = false;
  auto lines = Lines(ReadLog(dir.File(L"log.txt"), &bom));
  EXPECT_TRUE(bom);
  ASSERT_EQ(3u * kPerThread, lines.size());
  int counts[3] = {0, 0, 0};
  for (const auto& line : lines) {
    std::wstring text = EntryText(line);
    ASSERT_EQ(300u, text.size());
    ASSERT_EQ(std::wstring(300, text[0]), text);
    counts[text[0] - L'A']++;
  }
  for (int c : counts) EXPECT_EQ(kPerThread, c);
}

}  // namespace

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

#include "base/debug_log.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace {

// The entries of the log, which must be one UTF-16LE text with one mark at its start and CR LF after every entry.
std::vector<tavo_test::LogEntry> ReadEntries(const std::wstring& path) {
  const tavo_test::DebugLogFile log = tavo_test::ReadDebugLog(path);
  EXPECT_TRUE(log.hasBom && log.byteOrderMarks == 1 && log.crlfEverywhere);
  EXPECT_EQ(log.lines.size(), log.entries.size()) << "lines that are no entry";
  static const std::wregex stamp(LR"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3})");
  for (const auto& entry : log.entries) EXPECT_TRUE(std::regex_match(entry.stamp, stamp)) << entry.stamp;
  return log.entries;
}

class DebugLogTest : public ::testing::Test {
 protected:
  void Open(DebugLog* log) {
    log->SetPath(path_);
    log->SetEnabled(true);
  }
  tavo_test::TempDir dir_;
  std::wstring path_ = dir_.File(L"TAVODebugLog.txt");
};

TEST_F(DebugLogTest, EntriesStayOneLineAndCarryAndKeepTheLastSystemError) {
  DebugLog log, next;
  EXPECT_TRUE(log.Info(L"before the paths are known"));  // disabled: dropped, and no failure
  Open(&log);
  platform::SetLastError(5);
  ASSERT_TRUE(log.Info(L"プログラムを開始します。") && log.Error(L"x") && log.ErrorPlain(L"y") && log.Info(L"a\r\nb\nc\rd"));
  EXPECT_EQ(5u, platform::LastError());
  platform::SetLastError(2);
  ASSERT_TRUE(log.Error(L"e\r\nf"));
  EXPECT_EQ(2u, platform::LastError());
  Open(&next);  // the next run appends to the same file without another mark
  ASSERT_TRUE(next.Info(L"next run"));
  const auto entries = ReadEntries(path_);
  ASSERT_EQ(6u, entries.size());
  const std::pair<std::wstring, bool> want[] = {{L"プログラムを開始します。", false}, {L"x (ERRORCODE 5)", true}, {L"y", true},
                                                {L"abcd", false}, {L"ef (ERRORCODE 2)", true}, {L"next run", false}};
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(want[i].first, entries[i].text) << i;
    EXPECT_EQ(entries[want[i].second ? 1 : 0].level, entries[i].level) << i;
  }
  EXPECT_NE(entries[0].level, entries[1].level) << "errors and information are told apart";
  // A log that cannot be written reports it and still leaves the caller's last error alone.
  DebugLog blocked;
  ASSERT_TRUE(platform::CreateFolder(path_ = dir_.File(L"folder")));
  Open(&blocked);
  platform::SetLastError(1234);
  EXPECT_FALSE(blocked.Info(L"x") || blocked.Error(L"y"));
  EXPECT_EQ(1234u, platform::LastError());
}

// Workers of one run share the log, and during a self-update the old and the new launcher append to it
// through handles of their own: no entry may be split, lost or overwritten.
TEST_F(DebugLogTest, ConcurrentWritersThroughOneAndSeveralHandles) {
  DebugLog shared, own1, own2;
  for (DebugLog* log : {&shared, &own1, &own2}) Open(log);
  ASSERT_TRUE(shared.Info(L"start"));
  const int kPerThread = 150;
  std::vector<std::thread> threads;
  int t = 0;
  for (DebugLog* log : {&shared, &shared, &own1, &own2}) {
    threads.emplace_back([log, letter = static_cast<wchar_t>(L'A' + t++)] {
      for (int i = 0; i < kPerThread; ++i) log->Info(std::wstring(300, letter));
    });
  }
  for (auto& thread : threads) thread.join();
  const auto entries = ReadEntries(path_);
  ASSERT_EQ(1u + 4 * kPerThread, entries.size());
  int counts[4] = {0, 0, 0, 0};
  for (size_t i = 1; i < entries.size(); ++i) {
    ASSERT_EQ(std::wstring(300, entries[i].text[0]), entries[i].text);
    counts[entries[i].text[0] - L'A']++;
  }
  for (int c : counts) EXPECT_EQ(kPerThread, c);
}

}  // namespace

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

struct Entry {
  std::wstring stamp, level, text;
};

// Every line of the log, which must be one UTF-16LE text with one mark at its
// start and CR LF after every entry.
std::vector<Entry> ReadEntries(const std::wstring& path) {
  const std::string bytes = tavo_test::ReadBytes(path);
  EXPECT_EQ(0u, bytes.compare(0, 2, "\xFF\xFE")) << "the file starts with its byte-order mark";
  const std::wstring text = platform::Utf16LeToWide(bytes.size() >= 2 ? bytes.substr(2) : "");
  EXPECT_EQ(std::wstring::npos, text.find(L'\xFEFF')) << "a second mark";
  static const std::wregex shape(LR"(\[(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3})\] \[([^\]]*)\] \[(.*)\])");
  std::vector<Entry> entries;
  size_t start = 0;
  for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    const std::wstring line = text.substr(start, end - start);
    std::wsmatch m;
    if (!std::regex_match(line, m, shape)) {
      ADD_FAILURE() << "not an entry: " << platform::WideToUtf8(line);
      continue;
    }
    entries.push_back({m[1], m[2], m[3]});
  }
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return entries;
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

TEST_F(DebugLogTest, EntriesKeepTheirTextOnOneLineAndTheLastSystemError) {
  DebugLog log;
  Open(&log);
  platform::SetLastError(5);
  ASSERT_TRUE(log.Info(L"プログラムを開始します。"));
  ASSERT_TRUE(log.Error(L"x"));
  EXPECT_EQ(5u, platform::LastError());
  ASSERT_TRUE(log.ErrorPlain(L"y"));
  ASSERT_TRUE(log.Info(L"a\r\nb\nc\rd"));
  platform::SetLastError(2);
  ASSERT_TRUE(log.Error(L"e\r\nf"));
  EXPECT_EQ(2u, platform::LastError());
  // A second writer (the next run) appends to the same file without another mark.
  DebugLog next;
  Open(&next);
  ASSERT_TRUE(next.Info(L"next run"));
  const auto entries = ReadEntries(path_);
  ASSERT_EQ(6u, entries.size());
  const std::wstring texts[] = {L"プログラムを開始します。", L"x (ERRORCODE 5)", L"y", L"abcd", L"ef (ERRORCODE 2)", L"next run"};
  const bool errors[] = {false, true, true, false, true, false};
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(texts[i], entries[i].text) << i;
    EXPECT_EQ(errors[i] ? entries[1].level : entries[0].level, entries[i].level) << i;
  }
  EXPECT_NE(entries[0].level, entries[1].level) << "errors and information are told apart";
}

TEST_F(DebugLogTest, DisabledOrUnwritableLogNeverDisturbsTheCaller) {
  DebugLog log;
  log.SetPath(path_);
  EXPECT_TRUE(log.Info(L"before the paths are known"));
  EXPECT_FALSE(platform::FileExists(path_));
  // A folder where the file should be: it cannot be opened for appending.
  ASSERT_TRUE(platform::CreateFolder(path_));
  log.SetEnabled(true);
  platform::SetLastError(1234);
  EXPECT_FALSE(log.Info(L"x"));
  EXPECT_FALSE(log.Error(L"y"));
  EXPECT_EQ(1234u, platform::LastError());
}

// Workers of one run share the log, and during a self-update the old and the
// new launcher append to it through handles of their own: no entry may be
// split, lost or overwritten.
TEST_F(DebugLogTest, ConcurrentWritersThroughOneAndSeveralHandles) {
  DebugLog shared, own1, own2;
  Open(&shared);
  Open(&own1);
  Open(&own2);
  ASSERT_TRUE(shared.Info(L"start"));
  const int kPerThread = 150;
  DebugLog* logs[] = {&shared, &shared, &own1, &own2};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([log = logs[t], t] {
      const std::wstring text(300, static_cast<wchar_t>(L'A' + t));
      for (int i = 0; i < kPerThread; ++i) log->Info(text);
    });
  }
  for (auto& thread : threads) thread.join();
  const auto entries = ReadEntries(path_);
  ASSERT_EQ(1u + 4 * kPerThread, entries.size());
  int counts[4] = {0, 0, 0, 0};
  for (size_t i = 1; i < entries.size(); ++i) {
    const std::wstring& text = entries[i].text;
    ASSERT_EQ(std::wstring(300, text[0]), text);
    counts[text[0] - L'A']++;
  }
  for (int c : counts) EXPECT_EQ(kPerThread, c);
}

}  // namespace

// The Windows Installer's record in the simulated machine's Application log
// (eventlog.tsv): where the search stops, which records count.
#include <gtest/gtest.h>

#include <string>

#include "app/launcher_context.h"
#include "install/install_result.h"
#include "platform/error.h"
#include "platform/event_log.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::LogCapture;
using tavo_test::SimMachine;

constexpr int64_t kStart = 1700000000;

std::string Record(int64_t time, const std::string& source, const std::string& id, const std::string& strings) {
  return std::to_string(time) + "\t" + source + "\t" + id + (strings.empty() ? "" : "\t" + strings) + "\n";
}

class EventLogSearch : public ::testing::Test {
 protected:
  // Runs the search over the records (oldest first); the exit code starts at 77.
  bool Search(const std::string& records, int32_t productType = 1) {
    machine_.WriteFile("eventlog.tsv", records);
    LaunchSettings settings;
    settings.ProductType = productType;
    code_ = 77;
    return ReadExitCodeFromEventLog(settings, kStart, &code_);
  }
  SimMachine machine_;
  LogCapture log_;
  int32_t code_ = 77;
};

TEST_F(EventLogSearch, TakesTheNewestMatchingRecordsStatus) {
  EXPECT_TRUE(Search(Record(kStart, "MsiInstaller", "1033", "TAVO Total Shield\t9.0\t1041\t1603\tTAVO") +
                     Record(kStart + 5, "MsiInstaller", "1033", "TAVO Total Shield\t9.0\t1041\t3010\tTAVO")));
  EXPECT_EQ(3010, code_);
  EXPECT_TRUE(log_.Contains(L"Windowsログから終了コードを取得しました）"));
}

TEST_F(EventLogSearch, ARecordAtTheStartTimeCountsAnOlderOneEndsTheSearch) {
  EXPECT_TRUE(Search(Record(kStart, "MsiInstaller", "1033", "TAVO Total Shield\t9.0\t1041\t1603")));
  EXPECT_EQ(1603, code_);
  log_.Clear();
  // The matching record is older than the start: a newer unrelated record
  // is passed over, the older one ends the search.
  EXPECT_FALSE(Search(Record(kStart - 1, "MsiInstaller", "1033", "TAVO Total Shield\t9.0\t1041\t0") +
                      Record(kStart + 1, "Application Error", "1000", "setup.exe")));
  EXPECT_EQ(77, code_);
  EXPECT_TRUE(log_.Contains(L"Windowsログの取得を終了しました"));
  EXPECT_FALSE(log_.Contains(L"Windowsログの取得に失敗しました"));
}

TEST_F(EventLogSearch, RecordsOfOtherSourcesIdsOrWithoutStringsArePassedOver) {
  const std::string older = Record(kStart + 1, "msiinstaller", "1033", "TAVO Total Shield\t9.0\t1041\t1618");
  EXPECT_TRUE(Search(older + Record(kStart + 2, "Other", "1033", "TAVO Total Shield\t9.0\t1041\t5") +
                     Record(kStart + 3, "MsiInstaller", "1040", "TAVO Total Shield\t9.0\t1041\t6") +
                     Record(kStart + 4, "MsiInstaller", "1033", "")));
  EXPECT_EQ(1618, code_) << "the source compares without regard to case";
}

TEST_F(EventLogSearch, TheRecordMustNameThisEditionOrTavoSecurity) {
  struct Case {
    int32_t productType;
    const char* product;
    bool found;
  };
  const Case cases[] = {
      {1, "TAVO Total Shield", true},       {2, "TAVO Virus Guard", true},
      {5, "TAVO Net Shield", true},         {6, "TAVO Total Shield Plus", true},
      {1, "TAVO Total Shield Plus", true},  {6, "TAVO Total Shield", false},
      {2, "TAVO Net Shield", false},        {1, "Product: TAVO Security 9", true},
      {1, "tavo total shield", false},      {3, "TAVO Total Shield", false},
      {99, "TAVO Security", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.found, Search(Record(kStart, "MsiInstaller", "1033", std::string(c.product) + "\tv\t1041\t1603"),
                              c.productType))
        << c.productType << " " << c.product;
  }
}

TEST_F(EventLogSearch, ARecordWithoutAStatusKeepsTheExitCode) {
  EXPECT_TRUE(Search(Record(kStart, "MsiInstaller", "1033", "TAVO Total Shield\t9.0\t1041")));
  EXPECT_EQ(77, code_);
}

TEST_F(EventLogSearch, NoRecordOrAnEmptyLogIsNotFound) {
  EXPECT_FALSE(Search(""));
  EXPECT_TRUE(log_.Contains(L"Windowsログの取得に失敗しました"));
  log_.Clear();
  EXPECT_FALSE(Search(Record(kStart, "Other", "1", "x")));
  EXPECT_TRUE(log_.Contains(L"Windowsログの取得に失敗しました"));
}

TEST_F(EventLogSearch, ACorruptRecordEndsTheReading) {
  EXPECT_FALSE(Search(Record(kStart, "MsiInstaller", "1033", "TAVO Total Shield\t9.0\t1041\t0") +
                      "not a record\n"));
  EXPECT_TRUE(log_.Contains(L"Windowsログの取得に失敗しました"));
}

TEST_F(EventLogSearch, ALogThatCannotBeOpenedGivesNoMessage) {
  // The log is a folder.
  ASSERT_TRUE(platform::CreateFolder(platform::Utf8ToWide(machine_.folder() + "eventlog.tsv")));
  LaunchSettings settings;
  int32_t code = 5;
  EXPECT_FALSE(ReadExitCodeFromEventLog(settings, kStart, &code));
  EXPECT_EQ(5, code);
  EXPECT_TRUE(log_.Entries().empty());
}

TEST(EventLogReaderPosix, ReadsBackwardsAndEndsWithHandleEof) {
  SimMachine machine;
  machine.WriteFile("eventlog.tsv", "10\tA\t1\r\n\n20\tB\t3221225473\ts1\t\ts3\n");
  platform::EventLogReader reader;
  ASSERT_TRUE(reader.Open(L"Application"));
  platform::EventLogRecord record;
  ASSERT_TRUE(reader.ReadPrevious(&record));
  EXPECT_EQ(20, record.timeWritten);
  EXPECT_EQ(L"B", record.sourceName);
  EXPECT_EQ(3221225473u, record.eventId);
  EXPECT_EQ((std::vector<std::wstring>{L"s1", L"", L"s3"}), record.strings);
  ASSERT_TRUE(reader.ReadPrevious(&record));
  EXPECT_EQ(10, record.timeWritten);
  EXPECT_TRUE(record.strings.empty());
  EXPECT_FALSE(reader.ReadPrevious(&record));
  EXPECT_EQ(platform::kErrorHandleEof, platform::LastError());
  EXPECT_FALSE(reader.Open(L"Security"));
}

TEST(EventLogReaderPosix, TheDefaultMachineAndAMissingFileAreEmptyLogs) {
  platform::EventLogReader reader;
  platform::EventLogRecord record;
  ASSERT_TRUE(reader.Open(L"Application"));
  EXPECT_FALSE(reader.ReadPrevious(&record));
  SimMachine machine;
  ASSERT_TRUE(reader.Open(L"application"));
  EXPECT_FALSE(reader.ReadPrevious(&record));
  EXPECT_EQ(platform::kErrorHandleEof, platform::LastError());
}

}  // namespace

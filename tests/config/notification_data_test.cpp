// The notification data file: header, records, colours.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "config/notification_data.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::LogCapture;
using tavo_test::TempDir;

struct ColorRow {
  const wchar_t* text;
  uint32_t color;
};

const ColorRow kColorRows[] = {
    {L"255,0,0", 0x0000FFu},  // pure red, red in the low byte
    {L"0,255,0", 0x00FF00u},
    {L"0,0,255", 0xFF0000u},
    {L"0,0,0", 0x000000u},
    {L"18,52,86", 0x563412u},
    {L"300,0,0", 44u},           // 300 modulo 256
    {L"256,512,1", 0x010000u},
    {L"-1,0,0", 0x0000FFu},      // low 8 bits of -1
    {L" 10, +20,  30", 0x1E140Au},  // leading blanks and a sign
    {L"10abc,20,30xyz", 0x1E140Au},  // conversion stops at the first non-digit
    {L"x,y,z", 0x000000u},           // no number gives 0
    {L",,", 0x000000u},              // three empty pieces
    {L"255,0", 0xFFFFFFFFu},         // two pieces
    {L"", 0xFFFFFFFFu},              // no pieces
    {L"255", 0xFFFFFFFFu},
    {L"1,2,3,4", 0xFFFFFFFFu},
    {L"1,2,3,", 0xFFFFFFFFu},        // an empty fourth piece still counts
    {L"red", 0xFFFFFFFFu},
};

TEST(ParseColor, Table) {
  for (const ColorRow& row : kColorRows) EXPECT_EQ(row.color, ParseColor(row.text)) << row.text;
  EXPECT_EQ(0xFFFFFFFFu, kInvalidColor);
}

std::string Record(int index, const std::string& body) {
  char name[48];
  std::snprintf(name, sizeof(name), "NotificationDataValue%02d", index);
  return std::string("<") + name + ">" + body + "</" + name + ">";
}

std::string NotificationFile(const std::string& count, const std::string& records,
                             const std::string& version = "7") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NotificationDataSet>"
         "<NotificationVersion>" + version + "</NotificationVersion>"
         "<NotificationDataValueCount>" + count + "</NotificationDataValueCount>" + records +
         "</NotificationDataSet>\n";
}

class NotificationFileTest : public ::testing::Test {
 protected:
  std::wstring Write(const std::string& text) {
    std::wstring path = dir_.File(L"SetupNotification.xml");
    tavo_test::WriteBytes(path, text);
    return path;
  }
  TempDir dir_;
};

TEST_F(NotificationFileTest, RecordsAreReadInFileOrderWithTheirFields) {
  const std::wstring path = Write(NotificationFile(
      "4",
      Record(0, "<NFDTitle>First_BR_Second</NFDTitle><NFDURL>https://example.com/a</NFDURL>"
                "<STRCOLOR>255,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType>"
                "<NFDConditionValue>26</NFDConditionValue>") +
          Record(1, "<NFDTitle>Exact</NFDTitle><NFDConditionType>5</NFDConditionType>"
                    "<NFDConditionValue>9.0.2032.2</NFDConditionValue>") +
          Record(2, "<NFDTitle>_BR_a_BR__BR_</NFDTitle><STRCOLOR>1,2</STRCOLOR>"
                    "<NFDConditionType>1</NFDConditionType><NFDConditionValue>text</NFDConditionValue>") +
          Record(3, "<NFDTitle>日本語のお知らせ</NFDTitle><NFDConditionType>4</NFDConditionType>"
                    "<NFDConditionValue>abc</NFDConditionValue>")));
  std::vector<NotificationItem> items;
  ASSERT_TRUE(ReadNotificationItems(path, &items));
  ASSERT_EQ(4u, items.size());

  EXPECT_EQ(L"First\r\nSecond", items[0].Title);
  EXPECT_EQ(L"https://example.com/a", items[0].Url);
  EXPECT_EQ(0x0000FFu, items[0].Color);
  EXPECT_EQ(2, items[0].ConditionType);
  EXPECT_EQ(26, items[0].ConditionValue);
  EXPECT_TRUE(items[0].ConditionText.empty());

  EXPECT_EQ(L"Exact", items[1].Title);
  EXPECT_TRUE(items[1].Url.empty());
  EXPECT_EQ(0u, items[1].Color);  // default "0,0,0"
  EXPECT_EQ(5, items[1].ConditionType);
  EXPECT_EQ(L"9.0.2032.2", items[1].ConditionText);
  EXPECT_EQ(0, items[1].ConditionValue);

  EXPECT_EQ(L"\r\na\r\n\r\n", items[2].Title);
  EXPECT_EQ(0xFFFFFFFFu, items[2].Color);
  EXPECT_EQ(1, items[2].ConditionType);
  EXPECT_EQ(L"text", items[2].ConditionText);

  EXPECT_EQ(L"日本語のお知らせ", items[3].Title);
  EXPECT_EQ(0, items[3].ConditionValue);  // an integer condition that is not a number
}

TEST_F(NotificationFileTest, KeptItemRule) {
  const std::wstring path = Write(NotificationFile(
      "6", Record(0, "<NFDConditionType>3</NFDConditionType><NFDConditionValue>0</NFDConditionValue>") +
               Record(1, "<STRCOLOR>1,1,1</STRCOLOR><NFDConditionValue>5</NFDConditionValue>") +  // dropped
               Record(2, "<NFDURL>https://example.com/u</NFDURL>") +
               Record(3, "<NFDTitle>Only a title</NFDTitle>") +
               // Record 04 is missing: reads as empty and is dropped.
               Record(5, "<NFDTitle>Last</NFDTitle><NFDConditionType>6</NFDConditionType>"
                         "<NFDConditionValue>130</NFDConditionValue>")));
  std::vector<NotificationItem> items;
  ASSERT_TRUE(ReadNotificationItems(path, &items));
  ASSERT_EQ(4u, items.size());
  EXPECT_EQ(3, items[0].ConditionType);
  EXPECT_TRUE(items[0].Title.empty());
  EXPECT_EQ(L"https://example.com/u", items[1].Url);
  EXPECT_EQ(L"Only a title", items[2].Title);
  EXPECT_EQ(L"Last", items[3].Title);
  EXPECT_EQ(130, items[3].ConditionValue);
}

TEST_F(NotificationFileTest, ItemsAreAppended) {
  const std::wstring path = Write(NotificationFile("1", Record(0, "<NFDTitle>New</NFDTitle>")));
  std::vector<NotificationItem> items(1);
  items[0].Title = L"Held";
  ASSERT_TRUE(ReadNotificationItems(path, &items));
  ASSERT_EQ(2u, items.size());
  EXPECT_EQ(L"Held", items[0].Title);
  EXPECT_EQ(L"New", items[1].Title);
}

TEST_F(NotificationFileTest, CountBoundsTheRecords) {
  const std::string records = Record(0, "<NFDTitle>A</NFDTitle>") + Record(1, "<NFDTitle>B</NFDTitle>") +
                              Record(2, "<NFDTitle>C</NFDTitle>");
  struct Row {
    const char* count;
    size_t items;
  };
  // Absurd and negative counts give the same list as the exact one, without
  // walking billions of absent records.
  const Row rows[] = {{"0", 0}, {"", 0}, {"abc", 0}, {"1", 1}, {"2", 2}, {"3", 3}, {"4", 3},
                      {"100", 3}, {"2147483647", 3}, {"-1", 3}, {"-2147483648", 3}, {"4294967295", 3}};
  for (const Row& row : rows) {
    std::vector<NotificationItem> items;
    ASSERT_TRUE(ReadNotificationItems(Write(NotificationFile(row.count, records)), &items)) << row.count;
    EXPECT_EQ(row.items, items.size()) << row.count;
  }
}

TEST_F(NotificationFileTest, ThreeDigitRecordNumbersFrom100) {
  std::string records;
  for (int i = 0; i <= 100; ++i) {
    records += Record(i, "<NFDTitle>T" + std::to_string(i) + "</NFDTitle>");
  }
  std::vector<NotificationItem> items;
  ASSERT_TRUE(ReadNotificationItems(Write(NotificationFile("101", records)), &items));
  ASSERT_EQ(101u, items.size());
  EXPECT_EQ(L"T9", items[9].Title);
  EXPECT_EQ(L"T100", items[100].Title);

  items.clear();
  ASSERT_TRUE(ReadNotificationItems(Write(NotificationFile("100", records)), &items));
  EXPECT_EQ(100u, items.size());
}

TEST_F(NotificationFileTest, MissingOrBrokenFilesFail) {
  std::vector<NotificationItem> items;
  EXPECT_FALSE(ReadNotificationItems(dir_.File(L"absent.xml"), &items));
  EXPECT_FALSE(ReadNotificationItems(Write(""), &items));
  EXPECT_FALSE(ReadNotificationItems(Write("<NotificationDataSet><NotificationDataValueCount>1"), &items));
  EXPECT_FALSE(ReadNotificationItems(Write("not xml at all"), &items));
  EXPECT_TRUE(items.empty());
}

TEST_F(NotificationFileTest, HeaderValues) {
  int32_t version = -5;
  int32_t count = -5;
  ASSERT_TRUE(ReadNotificationHeader(Write(NotificationFile("12", "", "2024051")), &version, &count));
  EXPECT_EQ(2024051, version);
  EXPECT_EQ(12, count);

  ASSERT_TRUE(ReadNotificationHeader(Write("<NotificationDataSet/>"), &version, &count));
  EXPECT_EQ(0, version);
  EXPECT_EQ(0, count);

  version = 3;
  count = 4;
  EXPECT_FALSE(ReadNotificationHeader(dir_.File(L"absent.xml"), &version, &count));
  EXPECT_FALSE(ReadNotificationHeader(Write("<NotificationDataSet>"), &version, &count));
  EXPECT_EQ(3, version);  // left as they were
  EXPECT_EQ(4, count);
}

TEST_F(NotificationFileTest, LoadNotificationHeaderFillsTheRunState) {
  LauncherContext context;
  context.NotificationPath = Write(NotificationFile("2", "", "9"));
  LogCapture log;
  ASSERT_TRUE(LoadNotificationHeader(&context));
  EXPECT_EQ(9, context.NotificationVersion);
  EXPECT_EQ(2, context.NotificationCount);
  EXPECT_EQ(std::vector<std::wstring>{L"通知データファイルを読み込みました。"}, log.Texts());

  log.Clear();
  context.NotificationPath = dir_.File(L"absent.xml");
  EXPECT_FALSE(LoadNotificationHeader(&context));
  EXPECT_EQ(9, context.NotificationVersion);
  EXPECT_TRUE(log.Texts().empty());
}

}  // namespace

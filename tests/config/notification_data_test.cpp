// The notification data file: header, records, colours.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "config/notification_data.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ParseColor, Table) {
  const std::pair<const wchar_t*, uint32_t> rows[] = {
      {L"255,0,0", 0x0000FFu},  // red in the low byte
      {L"0,255,0", 0x00FF00u},        {L"0,0,255", 0xFF0000u},         {L"18,52,86", 0x563412u},
      {L"300,0,0", 44u},              {L"256,512,1", 0x010000u},       {L"-1,0,0", 0x0000FFu},  // low 8 bits
      {L" 10, +20,  30", 0x1E140Au},  {L"10abc,20,30xyz", 0x1E140Au},  // conversion stops at a non-digit
      {L"x,y,z", 0u},                 {L",,", 0u},
      {L"255,0", kInvalidColor},      {L"", kInvalidColor},            {L"255", kInvalidColor},
      {L"1,2,3,4", kInvalidColor},    {L"1,2,3,", kInvalidColor},      {L"red", kInvalidColor},
  };
  for (const auto& row : rows) EXPECT_EQ(row.second, ParseColor(row.first)) << row.first;
}

std::string Record(int index, const std::string& body) {
  char name[48];
  std::snprintf(name, sizeof(name), "NotificationDataValue%02d", index);
  return std::string("<") + name + ">" + body + "</" + name + ">";
}

class NotificationFileTest : public ::testing::Test {
 protected:
  std::wstring Write(const std::string& count, const std::string& records, const std::string& version = "7") {
    return WriteText("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NotificationDataSet><NotificationVersion>" +
                     version + "</NotificationVersion><NotificationDataValueCount>" + count +
                     "</NotificationDataValueCount>" + records + "</NotificationDataSet>\n");
  }
  std::wstring WriteText(const std::string& text) {
    std::wstring path = dir_.File(L"SetupNotification.xml");
    tavo_test::WriteBytes(path, text);
    return path;
  }
  tavo_test::TempDir dir_;
};

TEST_F(NotificationFileTest, KeptRecordsAreAppendedInFileOrderWithTheirFields) {
  const std::wstring path = Write("7",
      Record(0, "<NFDTitle>First_BR_Second</NFDTitle><NFDURL>https://example.com/a</NFDURL>"
                "<STRCOLOR>255,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType><NFDConditionValue>26</NFDConditionValue>") +
      Record(1, "<NFDTitle>Exact</NFDTitle><NFDConditionType>5</NFDConditionType>"
                "<NFDConditionValue>9.0.2032.2</NFDConditionValue>") +
      Record(2, "<NFDTitle>_BR_a_BR__BR_</NFDTitle><STRCOLOR>1,2</STRCOLOR><NFDConditionType>4</NFDConditionType>"
                "<NFDConditionValue>abc</NFDConditionValue>") +
      // Without a title, an address or a condition type the record is dropped.
      Record(3, "<STRCOLOR>1,1,1</STRCOLOR><NFDConditionValue>5</NFDConditionValue>") +
      Record(4, "<NFDURL>https://example.com/u</NFDURL>") +
      // Record 05 is missing: it reads as empty and is dropped.
      Record(6, "<NFDConditionType>3</NFDConditionType><NFDConditionValue>0</NFDConditionValue>"));
  std::vector<NotificationItem> items(1);
  items[0].Title = L"Held";
  ASSERT_TRUE(ReadNotificationItems(path, &items));
  ASSERT_EQ(6u, items.size());
  EXPECT_EQ(L"Held", items[0].Title);
  EXPECT_EQ(L"First\r\nSecond", items[1].Title);
  EXPECT_EQ(L"https://example.com/a", items[1].Url);
  EXPECT_EQ(0x0000FFu, items[1].Color);
  EXPECT_EQ(2, items[1].ConditionType);
  EXPECT_EQ(26, items[1].ConditionValue);
  EXPECT_TRUE(items[1].ConditionText.empty());
  EXPECT_TRUE(items[2].Url.empty());
  EXPECT_EQ(0u, items[2].Color);  // the default colour is black
  EXPECT_EQ(L"9.0.2032.2", items[2].ConditionText);  // type 5 keeps its value as text
  EXPECT_EQ(0, items[2].ConditionValue);
  EXPECT_EQ(L"\r\na\r\n\r\n", items[3].Title);
  EXPECT_EQ(kInvalidColor, items[3].Color);
  EXPECT_EQ(0, items[3].ConditionValue);  // a number condition that is not a number
  EXPECT_EQ(L"https://example.com/u", items[4].Url);
  EXPECT_EQ(3, items[5].ConditionType);
}

TEST_F(NotificationFileTest, CountBoundsTheRecords) {
  std::string records;
  for (int i = 0; i <= 100; ++i) records += Record(i, "<NFDTitle>T" + std::to_string(i) + "</NFDTitle>");
  // Absurd and negative counts read what is there without walking billions of absent records.
  const std::pair<const char*, size_t> rows[] = {{"0", 0},   {"", 0},    {"abc", 0},  {"1", 1},
                                                 {"100", 100}, {"101", 101}, {"102", 101}, {"2147483647", 101},
                                                 {"-1", 101},  {"-2147483648", 101}, {"4294967295", 101}};
  for (const auto& row : rows) {
    std::vector<NotificationItem> items;
    ASSERT_TRUE(ReadNotificationItems(Write(row.first, records), &items)) << row.first;
    ASSERT_EQ(row.second, items.size()) << row.first;
    if (row.second == 101) {
      EXPECT_EQ(L"T100", items[100].Title);  // three digits from 100 on
    }
  }
}

TEST_F(NotificationFileTest, MissingOrBrokenFilesFailAndLeaveTheHeaderValues) {
  std::vector<NotificationItem> items;
  int32_t version = 3, count = 4;
  for (const std::wstring& path : {dir_.File(L"absent.xml"), WriteText(""), WriteText("not xml at all"),
                                   WriteText("<NotificationDataSet><NotificationDataValueCount>1")}) {
    EXPECT_FALSE(ReadNotificationItems(path, &items));
    EXPECT_FALSE(ReadNotificationHeader(path, &version, &count));
  }
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(3, version);
  EXPECT_EQ(4, count);
  ASSERT_TRUE(ReadNotificationHeader(WriteText("<NotificationDataSet/>"), &version, &count));
  EXPECT_EQ(0, version);
  EXPECT_EQ(0, count);

  LauncherContext context;
  context.NotificationPath = Write("12", "", "2024051");
  ASSERT_TRUE(LoadNotificationHeader(&context));
  EXPECT_EQ(2024051, context.NotificationVersion);
  EXPECT_EQ(12, context.NotificationCount);
  context.NotificationPath = dir_.File(L"absent.xml");
  EXPECT_FALSE(LoadNotificationHeader(&context));
  EXPECT_EQ(2024051, context.NotificationVersion);
}

}  // namespace

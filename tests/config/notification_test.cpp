// The notification data file, and which of its notices apply.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/launcher_context.h"
#include "config/notification_data.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ParseColor, Table) {
  const std::pair<const wchar_t*, uint32_t> rows[] = {  // red in the low byte, each number's low 8 bits
      {L"255,0,0", 0x0000FFu}, {L"0,255,0", 0x00FF00u}, {L"0,0,255", 0xFF0000u}, {L"18,52,86", 0x563412u}, {L"300,0,0", 44u},
      {L"256,512,1", 0x010000u}, {L"-1,0,0", 0x0000FFu}, {L" 10, +20,  30", 0x1E140Au}, {L"10abc,20,30xyz", 0x1E140Au},
      {L"x,y,z", 0u}, {L",,", 0u}, {L"255,0", kInvalidColor}, {L"", kInvalidColor}, {L"255", kInvalidColor},
      {L"1,2,3,4", kInvalidColor}, {L"1,2,3,", kInvalidColor}, {L"red", kInvalidColor}};

  for (const auto& row : rows) EXPECT_EQ(row.second, ParseColor(row.first)) << row.first;
}

// A notification file with the given records, numbered from 00: {condition type, condition value, more XML}.
struct Record {
  std::string type, value, more = "";
};
std::string NotificationFile(const std::string& count, const std::vector<Record>& records, const char* version = "7") {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NotificationDataSet><NotificationVersion>" +
                    std::string(version) + "</NotificationVersion><NotificationDataValueCount>" + count +
                    "</NotificationDataValueCount>";
  for (size_t i = 0; i < records.size(); ++i) {
    char name[48];
    std::snprintf(name, sizeof(name), "NotificationDataValue%02d", static_cast<int>(i));
    const Record& r = records[i];
    if (r.type == "gap") continue;
    xml += std::string("<") + name + ">" + r.more + (r.type.empty() ? "" : "<NFDConditionType>" + r.type +
           "</NFDConditionType>") + (r.value.empty() ? "" : "<NFDConditionValue>" + r.value + "</NFDConditionValue>") +
           "</" + name + ">";
  }
  return xml + "</NotificationDataSet>\n";
}

class NotificationFileTest : public ::testing::Test {
 protected:
  std::wstring Write(const std::string& text) {
    tavo_test::WriteBytes(path_, text);
    return path_;
  }
  tavo_test::TempDir dir_;
  std::wstring path_ = dir_.File(L"SetupNotification.xml");
};

TEST_F(NotificationFileTest, KeptRecordsAreAppendedInFileOrderWithTheirFields) {
  Write(NotificationFile("7", {{"2", "26", "<NFDTitle>First_BR_Second</NFDTitle><NFDURL>https://a/</NFDURL>"
                                           "<STRCOLOR>255,0,0</STRCOLOR>"},
                               {"5", "9.0.2032.2", "<NFDTitle>Exact</NFDTitle>"},
                               {"4", "abc", "<NFDTitle>_BR_a_BR__BR_</NFDTitle><STRCOLOR>1,2</STRCOLOR>"},
                               // No title, address or condition type: dropped, as is the missing record 05.
                               {"", "5", "<STRCOLOR>1,1,1</STRCOLOR>"}, {"", "", "<NFDURL>https://u/</NFDURL>"},
                               {"gap", "", ""}, {"3", "0", ""}}));
  std::vector<NotificationItem> items(1);  // records already held stay in front
  ASSERT_TRUE(ReadNotificationItems(path_, &items));
  std::wstring got;
  for (const auto& i : items) {
    got += i.Title + L"|" + i.Url + L"|" + std::to_wstring(i.Color) + L"|" + std::to_wstring(i.ConditionType) + L"|" +
           std::to_wstring(i.ConditionValue) + L"|" + i.ConditionText + L"\n";
  }
  // Titles break lines at _BR_; the colour defaults to black; type 5 keeps its value as text; a number
  // condition that is not a number is 0.
  EXPECT_EQ(L"||0|0|0|\nFirst\r\nSecond|https://a/|255|2|26|\nExact||0|5|0|9.0.2032.2\n\r\na\r\n\r\n||" +
                std::to_wstring(kInvalidColor) + L"|4|0|\n|https://u/|0|0|0|\n||0|3|0|\n",
            got);
}

TEST_F(NotificationFileTest, CountBoundsTheRecordsAndBadFilesLeaveTheHeader) {
  const std::vector<Record> records(101, Record{"6", "130", ""});
  // Absurd and negative counts read what is there without walking billions of absent records.
  const std::pair<const char*, size_t> rows[] = {{"0", 0},    {"", 0},           {"abc", 0},  {"1", 1},
                                                 {"100", 100}, {"101", 101},       {"102", 101}, {"2147483647", 101},
                                                 {"-1", 101},  {"-2147483648", 101}, {"4294967295", 101}};
  for (const auto& row : rows) {
    std::vector<NotificationItem> items;
    ASSERT_TRUE(ReadNotificationItems(Write(NotificationFile(row.first, records)), &items)) << row.first;
    EXPECT_EQ(row.second, items.size()) << row.first;  // three-digit record numbers from 100 on
  }
  std::vector<NotificationItem> items;
  int32_t version = 3, count = 4;
  for (const std::wstring& path : {dir_.File(L"absent.xml"), Write(""), Write("not xml"), Write("<NotificationDataSet>")}) {
    EXPECT_FALSE(ReadNotificationItems(path, &items));
    EXPECT_FALSE(ReadNotificationHeader(path, &version, &count));
  }
  EXPECT_EQ(std::make_tuple(true, 3, 4), std::make_tuple(items.empty(), version, count)) << "bad files change nothing";
  ASSERT_TRUE(LoadNotificationHeader(Write(NotificationFile("12", {}, "2024051")), &version, &count));
  EXPECT_EQ(std::make_pair(2024051, 12), std::make_pair(version, count));
  ASSERT_TRUE(ReadNotificationHeader(Write("<NotificationDataSet/>"), &version, &count));
  EXPECT_EQ(0, version + count);
}

// A machine as the conditions see it.
struct Facts : NoticeFacts {
  int32_t os = 26, installed = 0, productType = 1;  // installed edition; 0: none
  int versionIndex = 0;                             // the version-table entry the installed version matches
  std::wstring version;                             // empty: no version value
  int32_t SystemOsCode() const override { return os; }
  bool EditionInstalled(int32_t edition) const override { return installed != 0 && edition == installed; }
  bool AnyEditionInstalled() const override { return installed != 0; }
  bool TtsOrTvgInstalled() const override { return installed == 1 || installed == 2; }
  bool InstalledVersionIs(int index) const override { return index != 0 && index == versionIndex; }
  bool InstalledProductVersion(std::wstring* text) const override { return !(*text = version).empty(); }
  int32_t ProductTypeToInstall() const override { return productType; }
};
Facts Os(int32_t os) { Facts f; f.os = os; return f; }
Facts Has(int32_t edition, int versionIndex = 0, const wchar_t* version = L"") {
  Facts f;
  f.installed = edition, f.versionIndex = versionIndex, f.version = version;
  return f;
}
Facts ToInstall(int32_t productType) { Facts f = Has(5); f.productType = productType; return f; }

TEST(NoticeConditions, DecisionTable) {
  const struct {
    int32_t type, value;
    const wchar_t* text;
    Facts facts;
    bool page, startUp;
  } rows[] = {
      // 2: the system; 99 any, 97 any on the page only, unless it is the system's own code.
      {2, 26, L"", Os(26), 1, 1}, {2, 25, L"", Os(26), 0, 0}, {2, 99, L"", Os(26), 1, 1}, {2, 97, L"", Os(26), 1, 0},
      {2, 97, L"", Os(97), 1, 1}, {2, 0, L"", Os(0), 1, 1},   {2, 0, L"", Os(26), 0, 0},  {2, -1, L"", Os(26), 0, 0},
      // 3: the installed edition; 0 none, 1 TTS or TVG, 2 TTS, 3 TVG, 6 TNS, 7 TTSP.
      {3, 0, L"", Has(0), 1, 1},  {3, 0, L"", Has(1), 0, 0},  {3, 1, L"", Has(1), 1, 1},  {3, 1, L"", Has(2), 1, 1},
      {3, 1, L"", Has(5), 0, 0},  {3, 1, L"", Has(0), 0, 0},  {3, 2, L"", Has(1), 1, 1},  {3, 2, L"", Has(2), 0, 0},
      {3, 3, L"", Has(2), 1, 1},  {3, 3, L"", Has(1), 0, 0},  {3, 6, L"", Has(5), 1, 1},  {3, 6, L"", Has(6), 0, 0},
      {3, 7, L"", Has(6), 1, 1},  {3, 7, L"", Has(5), 0, 0},  {3, 4, L"", Has(1), 0, 0},  {3, 5, L"", Has(5), 0, 0},
      {3, 99, L"", Has(6), 0, 0},
      // 4: the installed version's entry; 1 to 5 count at start-up, 6 to 10 on the page only;
      // 0: a product is installed, and at start-up it must be TTS or TVG.
      {4, 1, L"", Has(1, 1, L"v"), 1, 1},  {4, 5, L"", Has(2, 5, L"v"), 1, 1},   {4, 6, L"", Has(1, 6, L"v"), 1, 0},
      {4, 10, L"", Has(1, 10, L"v"), 1, 0}, {4, 2, L"", Has(1, 3, L"v"), 0, 0},  {4, 11, L"", Has(1, 11, L"v"), 0, 0},
      {4, 3, L"", Has(0, 3, L"v"), 1, 1},  {4, 3, L"", Has(0), 0, 0},           {4, 0, L"", Has(1, 0, L"v"), 1, 1},
      {4, 0, L"", Has(2, 0, L"v"), 1, 1},  {4, 0, L"", Has(5, 0, L"v"), 1, 0},  {4, 0, L"", Has(6, 0, L"v"), 1, 0},
      {4, 0, L"", Has(0), 0, 0},
      // 5: the exact version text, case-sensitive.
      {5, 0, L"9.0.2032.2", Has(1, 0, L"9.0.2032.2"), 1, 1}, {5, 0, L"9.0.2032", Has(1, 0, L"9.0.2032.2"), 0, 0},
      {5, 0, L"9.0.2032.2 ", Has(1, 0, L"9.0.2032.2"), 0, 0}, {5, 0, L"", Has(1, 0, L"9.0.2032.2"), 0, 0},
      {5, 0, L"", Has(0), 0, 0},                              {5, 0, L"v1.0", Has(1, 0, L"V1.0"), 0, 0},
      // 6: the launcher's version number.
      {6, 130, L"", Facts(), 1, 1}, {6, 131, L"", Facts(), 1, 1}, {6, 129, L"", Facts(), 0, 0},
      {6, 132, L"", Facts(), 0, 0}, {6, 0, L"", Facts(), 0, 0},   {6, -130, L"", Facts(), 0, 0},
      // 7: the edition to install; 0 an unknown one, 1 TTS or TVG, 2 TTS, 3 TVG, 6 TNS, 7 TTSP.
      {7, 0, L"", ToInstall(3), 1, 1}, {7, 0, L"", ToInstall(1), 0, 0}, {7, 1, L"", ToInstall(1), 1, 1},
      {7, 1, L"", ToInstall(2), 1, 1}, {7, 1, L"", ToInstall(5), 0, 0}, {7, 2, L"", ToInstall(1), 1, 1},
      {7, 2, L"", ToInstall(2), 0, 0}, {7, 3, L"", ToInstall(2), 1, 1}, {7, 6, L"", ToInstall(5), 1, 1},
      {7, 6, L"", ToInstall(6), 0, 0}, {7, 7, L"", ToInstall(6), 1, 1}, {7, 5, L"", ToInstall(5), 0, 0},
      // Other types never apply.
      {0, 0, L"v", Has(1, 1, L"v"), 0, 0}, {1, 1, L"v", Has(1, 1, L"v"), 0, 0}, {8, 99, L"v", Has(1, 1, L"v"), 0, 0},
  };
  for (const auto& row : rows) {
    NotificationItem item;
    item.Title = L"notice", item.ConditionType = row.type, item.ConditionValue = row.value, item.ConditionText = row.text;
    const std::string what = "type " + std::to_string(row.type) + " value " + std::to_string(row.value) + " os " +
                             std::to_string(row.facts.os) + " installed " + std::to_string(row.facts.installed) + "/" +
                             std::to_string(row.facts.versionIndex) + " to install " + std::to_string(row.facts.productType);
    EXPECT_EQ(row.page, IsNoticeApplicable(item, row.facts, NoticeRule::Page)) << what;
    EXPECT_EQ(row.startUp, IsNoticeApplicable(item, row.facts, NoticeRule::StartUp)) << what;
  }
}

}  // namespace

// Which notices apply: the notices page's rule and the start-up count's rule.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "config/notification_data.h"
#include "tests/support/temp_dir.h"

namespace {

// A machine as the conditions see it; the version answers follow the real
// table: an index applies when the installed version begins with its prefix.
class FakeFacts : public NoticeFacts {
 public:
  int32_t os = 26;
  int32_t installedEdition = 0;  // 0: none; else 1, 2, 5, 6
  std::wstring version;          // empty: no version value
  int32_t productType = 1;

  int32_t SystemOsCode() const override { return os; }
  bool EditionInstalled(int32_t edition) const override { return installedEdition != 0 && edition == installedEdition; }
  bool AnyEditionInstalled() const override { return installedEdition != 0; }
  bool TtsOrTvgInstalled() const override { return installedEdition == 1 || installedEdition == 2; }
  bool InstalledVersionIs(int index) const override {
    static const wchar_t* const prefixes[] = {L"3.0", L"4.0", L"4.2", L"5.0", L"5.2",
                                              L"6.0", L"7.0", L"8.0", L"9.0", L"10.0"};
    if (index < 1 || index > 10 || version.empty()) return false;
    const std::wstring prefix = prefixes[index - 1];
    return version.compare(0, prefix.size(), prefix) == 0;
  }
  bool InstalledProductVersion(std::wstring* text) const override {
    if (version.empty()) return false;
    *text = version;
    return true;
  }
  int32_t ProductTypeToInstall() const override { return productType; }
};

NotificationItem Item(int32_t type, int32_t value, const wchar_t* text = L"") {
  NotificationItem item;
  item.Title = L"notice";
  item.ConditionType = type;
  item.ConditionValue = value;
  item.ConditionText = text;
  return item;
}

struct Verdict {
  bool page;
  bool startUp;
};

void Check(const NotificationItem& item, const FakeFacts& facts, Verdict expected, const std::string& what) {
  EXPECT_EQ(expected.page, IsNoticeApplicable(item, facts, NoticeRule::Page)) << what << " (page)";
  EXPECT_EQ(expected.startUp, IsNoticeApplicable(item, facts, NoticeRule::StartUp)) << what << " (start-up)";
}

TEST(NoticeConditions, OperatingSystem) {
  struct Row {
    int32_t os;
    int32_t value;
    Verdict verdict;
  };
  const Row rows[] = {
      {26, 26, {true, true}},   {26, 25, {false, false}}, {9, 9, {true, true}},
      {26, 99, {true, true}},   // any system
      {26, 97, {true, false}},  // any system on the page only
      {97, 97, {true, true}},   // unless 97 happens to be the system's code
      {0, 0, {true, true}},     {26, 0, {false, false}},  {26, -1, {false, false}},
  };
  for (const Row& row : rows) {
    FakeFacts facts;
    facts.os = row.os;
    Check(Item(2, row.value), facts, row.verdict, "os " + std::to_string(row.os) + " value " + std::to_string(row.value));
  }
}

TEST(NoticeConditions, InstalledEdition) {
  // Columns: nothing installed, TTS, TVG, TNS, TTSP.
  const int32_t installs[] = {0, 1, 2, 5, 6};
  struct Row {
    int32_t value;
    bool applies[5];
  };
  const Row rows[] = {
      {0, {true, false, false, false, false}},
      {1, {false, true, true, false, false}},
      {2, {false, true, false, false, false}},
      {3, {false, false, true, false, false}},
      {6, {false, false, false, true, false}},
      {7, {false, false, false, false, true}},
      {4, {false, false, false, false, false}},
      {5, {false, false, false, false, false}},
      {99, {false, false, false, false, false}},
  };
  for (const Row& row : rows) {
    for (int column = 0; column < 5; ++column) {
      FakeFacts facts;
      facts.installedEdition = installs[column];
      const bool expected = row.applies[column];
      Check(Item(3, row.value), facts, {expected, expected},
            "value " + std::to_string(row.value) + " installed " + std::to_string(installs[column]));
    }
  }
}

TEST(NoticeConditions, InstalledVersion) {
  struct Row {
    int32_t edition;
    const wchar_t* version;
    int32_t value;
    Verdict verdict;
  };
  const Row rows[] = {
      {1, L"3.0.1.0", 1, {true, true}},
      {1, L"4.0.1.0", 2, {true, true}},
      {1, L"4.2.71.3", 3, {true, true}},
      {1, L"5.0.0.1", 4, {true, true}},
      {2, L"5.2.0.1", 5, {true, true}},
      {1, L"6.0.0.1", 6, {true, false}},   // 6 to 10: the page only
      {1, L"7.0.0.1", 7, {true, false}},
      {1, L"8.0.0.1", 8, {true, false}},
      {1, L"9.0.2032.2", 9, {true, false}},
      {1, L"10.0.1", 10, {true, false}},
      {1, L"10.1", 10, {false, false}},
      {1, L"10.1", 1, {false, false}},
      {1, L"4.2.71.3", 2, {false, false}},
      {1, L"9.0.2032.2", 11, {false, false}},
      // Value 0: a product is installed; the start-up count asks for TTS or TVG.
      {1, L"9.0.2032.2", 0, {true, true}},
      {2, L"9.0.2032.2", 0, {true, true}},
      {5, L"9.0.2032.2", 0, {true, false}},
      {6, L"9.0.2032.2", 0, {true, false}},
      {0, L"", 0, {false, false}},
      {0, L"4.2.71.3", 3, {true, true}},   // a version value without a known edition
      {0, L"", 3, {false, false}},
  };
  for (const Row& row : rows) {
    FakeFacts facts;
    facts.installedEdition = row.edition;
    facts.version = row.version;
    std::string what = "edition " + std::to_string(row.edition) + " value " + std::to_string(row.value);
    for (wchar_t c : std::wstring(row.version)) what += static_cast<char>(c);
    Check(Item(4, row.value), facts, row.verdict, what);
  }
}

TEST(NoticeConditions, ExactVersionText) {
  FakeFacts facts;
  facts.installedEdition = 1;
  facts.version = L"9.0.2032.2";
  Check(Item(5, 0, L"9.0.2032.2"), facts, {true, true}, "equal");
  Check(Item(5, 0, L"9.0.2032"), facts, {false, false}, "prefix only");
  Check(Item(5, 0, L"9.0.2032.2 "), facts, {false, false}, "trailing blank");
  Check(Item(5, 0, L""), facts, {false, false}, "empty text");
  facts.version.clear();
  Check(Item(5, 0, L""), facts, {false, false}, "no version installed");
  facts.version = L"V1.0";
  Check(Item(5, 0, L"v1.0"), facts, {false, false}, "case-sensitive");
}

TEST(NoticeConditions, Number) {
  FakeFacts facts;
  for (int32_t value : {130, 131}) Check(Item(6, value), facts, {true, true}, std::to_string(value));
  for (int32_t value : {0, 129, 132, 6, -130}) Check(Item(6, value), facts, {false, false}, std::to_string(value));
}

TEST(NoticeConditions, EditionToInstall) {
  // Columns: the launcher's ProductType 1, 2, 5, 6, and an unknown 3.
  const int32_t productTypes[] = {1, 2, 5, 6, 3};
  struct Row {
    int32_t value;
    bool applies[5];
  };
  const Row rows[] = {
      {0, {false, false, false, false, true}},
      {1, {true, true, false, false, false}},
      {2, {true, false, false, false, false}},
      {3, {false, true, false, false, false}},
      {6, {false, false, true, false, false}},
      {7, {false, false, false, true, false}},
      {5, {false, false, false, false, false}},
  };
  for (const Row& row : rows) {
    for (int column = 0; column < 5; ++column) {
      FakeFacts facts;
      facts.productType = productTypes[column];
      facts.installedEdition = 5;  // what is installed does not matter here
      const bool expected = row.applies[column];
      Check(Item(7, row.value), facts, {expected, expected},
            "value " + std::to_string(row.value) + " type " + std::to_string(productTypes[column]));
    }
  }
}

TEST(NoticeConditions, OtherTypesNeverApply) {
  FakeFacts facts;
  facts.installedEdition = 1;
  facts.version = L"9.0.2032.2";
  for (int32_t type : {0, 1, 8, 9, 100, -1}) {
    for (int32_t value : {0, 1, 99, 130}) {
      Check(Item(type, value, L"9.0.2032.2"), facts, {false, false},
            "type " + std::to_string(type) + " value " + std::to_string(value));
    }
  }
}

TEST(NoticeConditions, CountUsesTheStartUpRule) {
  tavo_test::TempDir dir;
  const std::wstring path = dir.File(L"SetupNotification.xml");
  auto record = [](int index, int type, const std::string& value) {
    char name[40];
    std::snprintf(name, sizeof(name), "NotificationDataValue%02d", index);
    return std::string("<") + name + "><NFDTitle>n" + std::to_string(index) + "</NFDTitle><NFDConditionType>" +
           std::to_string(type) + "</NFDConditionType><NFDConditionValue>" + value + "</NFDConditionValue></" +
           name + ">";
  };
  auto write = [&](const std::string& records, int count) {
    tavo_test::WriteBytes(path, "<NotificationDataSet><NotificationDataValueCount>" + std::to_string(count) +
                                    "</NotificationDataValueCount>" + records + "</NotificationDataSet>");
  };
  FakeFacts facts;
  facts.os = 26;
  facts.installedEdition = 5;
  facts.version = L"9.0.2032.2";

  // Only a notice that the page alone accepts: counted as none, so the page is skipped.
  write(record(0, 2, "97"), 1);
  EXPECT_EQ(0, CountApplicableNotices(path, facts));
  write(record(0, 2, "97") + record(1, 4, "9") + record(2, 4, "0") + record(3, 1, "x"), 4);
  EXPECT_EQ(0, CountApplicableNotices(path, facts));

  write(record(0, 2, "97") + record(1, 2, "26") + record(2, 6, "131") + record(3, 3, "6") + record(4, 7, "2") +
            record(5, 5, "9.0.2032.2"),
        6);
  EXPECT_EQ(5, CountApplicableNotices(path, facts));

  write(record(0, 2, "99"), 0);
  EXPECT_EQ(0, CountApplicableNotices(path, facts));
  EXPECT_EQ(0, CountApplicableNotices(dir.File(L"absent.xml"), facts));
  tavo_test::WriteBytes(path, "<NotificationDataSet>");
  EXPECT_EQ(0, CountApplicableNotices(path, facts));
}

}  // namespace

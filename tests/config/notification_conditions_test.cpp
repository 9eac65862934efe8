// Which notices apply: the notices page's rule and the start-up count's rule.
#include <gtest/gtest.h>

#include <string>

#include "config/notification_data.h"
#include "tests/support/temp_dir.h"

namespace {

// A machine as the conditions see it.
class FakeFacts : public NoticeFacts {
 public:
  int32_t os = 26;
  int32_t installedEdition = 0;  // 0: none; else 1, 2, 5, 6
  int versionIndex = 0;          // the entry of the version table the installed version matches; 0: none
  std::wstring version;          // empty: no version value
  int32_t productType = 1;

  int32_t SystemOsCode() const override { return os; }
  bool EditionInstalled(int32_t edition) const override { return installedEdition != 0 && edition == installedEdition; }
  bool AnyEditionInstalled() const override { return installedEdition != 0; }
  bool TtsOrTvgInstalled() const override { return installedEdition == 1 || installedEdition == 2; }
  bool InstalledVersionIs(int index) const override { return index != 0 && index == versionIndex; }
  bool InstalledProductVersion(std::wstring* text) const override {
    *text = version;
    return !version.empty();
  }
  int32_t ProductTypeToInstall() const override { return productType; }
};

struct Row {
  int32_t type;         // condition type
  int32_t value;        // condition value
  const wchar_t* text;  // condition text
  FakeFacts facts;
  bool page, startUp;
};

FakeFacts Os(int32_t os) { FakeFacts f; f.os = os; return f; }
FakeFacts Installed(int32_t edition, int versionIndex = 0, const wchar_t* version = L"") {
  FakeFacts f;
  f.installedEdition = edition;
  f.versionIndex = versionIndex;
  f.version = version;
  return f;
}
FakeFacts ToInstall(int32_t productType) { FakeFacts f = Installed(5); f.productType = productType; return f; }

TEST(NoticeConditions, DecisionTable) {
  const Row rows[] = {
      // 2: the operating system; 99 any system, 97 any system on the page only, unless it is the system's code.
      {2, 26, L"", Os(26), true, true},   {2, 25, L"", Os(26), false, false}, {2, 99, L"", Os(26), true, true},
      {2, 97, L"", Os(26), true, false},  {2, 97, L"", Os(97), true, true},   {2, 0, L"", Os(0), true, true},
      {2, 0, L"", Os(26), false, false},  {2, -1, L"", Os(26), false, false},
      // 3: the installed edition; 0 nothing, 1 TTS or TVG, 2 TTS, 3 TVG, 6 TNS, 7 TTSP.
      {3, 0, L"", Installed(0), true, true},  {3, 0, L"", Installed(1), false, false},
      {3, 1, L"", Installed(1), true, true},  {3, 1, L"", Installed(2), true, true},
      {3, 1, L"", Installed(5), false, false}, {3, 1, L"", Installed(0), false, false},
      {3, 2, L"", Installed(1), true, true},  {3, 2, L"", Installed(2), false, false},
      {3, 3, L"", Installed(2), true, true},  {3, 3, L"", Installed(1), false, false},
      {3, 6, L"", Installed(5), true, true},  {3, 6, L"", Installed(6), false, false},
      {3, 7, L"", Installed(6), true, true},  {3, 7, L"", Installed(5), false, false},
      {3, 4, L"", Installed(1), false, false}, {3, 5, L"", Installed(5), false, false},
      {3, 99, L"", Installed(6), false, false},
      // 4: the installed version's entry; 1 to 5 count at start-up, 6 to 10 on the page only.
      {4, 1, L"", Installed(1, 1, L"v"), true, true},   {4, 5, L"", Installed(2, 5, L"v"), true, true},
      {4, 6, L"", Installed(1, 6, L"v"), true, false},  {4, 10, L"", Installed(1, 10, L"v"), true, false},
      {4, 2, L"", Installed(1, 3, L"v"), false, false}, {4, 11, L"", Installed(1, 11, L"v"), false, false},
      {4, 3, L"", Installed(0, 3, L"v"), true, true},   // a version without a known edition
      {4, 3, L"", Installed(0), false, false},
      // 4 with value 0: a product is installed; the start-up count asks for TTS or TVG.
      {4, 0, L"", Installed(1, 0, L"v"), true, true},   {4, 0, L"", Installed(2, 0, L"v"), true, true},
      {4, 0, L"", Installed(5, 0, L"v"), true, false},  {4, 0, L"", Installed(6, 0, L"v"), true, false},
      {4, 0, L"", Installed(0), false, false},
      // 5: the exact version text, case-sensitive.
      {5, 0, L"9.0.2032.2", Installed(1, 0, L"9.0.2032.2"), true, true},
      {5, 0, L"9.0.2032", Installed(1, 0, L"9.0.2032.2"), false, false},
      {5, 0, L"9.0.2032.2 ", Installed(1, 0, L"9.0.2032.2"), false, false},
      {5, 0, L"", Installed(1, 0, L"9.0.2032.2"), false, false},
      {5, 0, L"", Installed(0), false, false},
      {5, 0, L"v1.0", Installed(1, 0, L"V1.0"), false, false},
      // 6: the launcher's version number.
      {6, 130, L"", FakeFacts(), true, true}, {6, 131, L"", FakeFacts(), true, true},
      {6, 129, L"", FakeFacts(), false, false}, {6, 132, L"", FakeFacts(), false, false},
      {6, 0, L"", FakeFacts(), false, false}, {6, -130, L"", FakeFacts(), false, false},
      // 7: the edition to install; 0 an unknown one, 1 TTS or TVG, 2 TTS, 3 TVG, 6 TNS, 7 TTSP.
      {7, 0, L"", ToInstall(3), true, true},  {7, 0, L"", ToInstall(1), false, false},
      {7, 1, L"", ToInstall(1), true, true},  {7, 1, L"", ToInstall(2), true, true},
      {7, 1, L"", ToInstall(5), false, false}, {7, 2, L"", ToInstall(1), true, true},
      {7, 2, L"", ToInstall(2), false, false}, {7, 3, L"", ToInstall(2), true, true},
      {7, 6, L"", ToInstall(5), true, true},  {7, 6, L"", ToInstall(6), false, false},
      {7, 7, L"", ToInstall(6), true, true},  {7, 5, L"", ToInstall(5), false, false},
      // Other types never apply.
      {0, 0, L"v", Installed(1, 1, L"v"), false, false},  {1, 1, L"v", Installed(1, 1, L"v"), false, false},
      {8, 99, L"v", Installed(1, 1, L"v"), false, false}, {-1, 130, L"v", Installed(1, 1, L"v"), false, false},
  };
  for (const Row& row : rows) {
    NotificationItem item;
    item.Title = L"notice";
    item.ConditionType = row.type;
    item.ConditionValue = row.value;
    item.ConditionText = row.text;
    const std::string what = "type " + std::to_string(row.type) + " value " + std::to_string(row.value) +
                             " os " + std::to_string(row.facts.os) + " installed " +
                             std::to_string(row.facts.installedEdition) + "/" + std::to_string(row.facts.versionIndex) +
                             " to install " + std::to_string(row.facts.productType);
    EXPECT_EQ(row.page, IsNoticeApplicable(item, row.facts, NoticeRule::Page)) << what;
    EXPECT_EQ(row.startUp, IsNoticeApplicable(item, row.facts, NoticeRule::StartUp)) << what;
  }
}

TEST(NoticeConditions, CountUsesTheStartUpRule) {
  tavo_test::TempDir dir;
  const std::wstring path = dir.File(L"SetupNotification.xml");
  auto write = [&](const std::vector<std::pair<int, std::string>>& records, int count) {
    std::string xml = "<NotificationDataSet><NotificationDataValueCount>" + std::to_string(count) +
                      "</NotificationDataValueCount>";
    for (size_t i = 0; i < records.size(); ++i) {
      char name[40];
      std::snprintf(name, sizeof(name), "NotificationDataValue%02d", static_cast<int>(i));
      xml += std::string("<") + name + "><NFDTitle>n</NFDTitle><NFDConditionType>" +
             std::to_string(records[i].first) + "</NFDConditionType><NFDConditionValue>" + records[i].second +
             "</NFDConditionValue></" + name + ">";
    }
    tavo_test::WriteBytes(path, xml + "</NotificationDataSet>");
  };
  FakeFacts facts = Installed(5, 9, L"9.0.2032.2");
  // Notices that only the page accepts count as none, so the page is skipped.
  write({{2, "97"}}, 1);
  EXPECT_EQ(0, CountApplicableNotices(path, facts));
  write({{2, "97"}, {4, "9"}, {4, "0"}, {1, "x"}}, 4);
  EXPECT_EQ(0, CountApplicableNotices(path, facts));
  write({{2, "97"}, {2, "26"}, {6, "131"}, {3, "6"}, {7, "2"}, {5, "9.0.2032.2"}}, 6);
  EXPECT_EQ(5, CountApplicableNotices(path, facts));
  write({{2, "99"}}, 0);
  EXPECT_EQ(0, CountApplicableNotices(path, facts));
  EXPECT_EQ(0, CountApplicableNotices(dir.File(L"absent.xml"), facts));
  tavo_test::WriteBytes(path, "<NotificationDataSet>");
  EXPECT_EQ(0, CountApplicableNotices(path, facts));
}

}  // namespace

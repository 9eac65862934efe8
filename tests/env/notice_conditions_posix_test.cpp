// Notice conditions answered by simulated machines.
#include <gtest/gtest.h>

#include "config/launch_settings.h"
#include "env/notice_conditions.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::SimMachine;

const wchar_t kInfo[] = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";

NotificationItem Item(int32_t type, int32_t value, const wchar_t* text = L"") {
  NotificationItem item;
  item.Title = L"notice";
  item.ConditionType = type;
  item.ConditionValue = value;
  item.ConditionText = text;
  return item;
}

struct MachineRow {
  int major, minor, architecture;
  const wchar_t* product;  // null: nothing installed
  const wchar_t* version;
  int32_t productType;
  NotificationItem item;
  bool page;
  bool startUp;
};

TEST(MachineNoticeFacts, ConditionsOnSimulatedMachines) {
  const MachineRow rows[] = {
      {10, 0, 9, nullptr, nullptr, 1, Item(2, 26), true, true},       // Windows 10 x64
      {10, 0, 0, nullptr, nullptr, 1, Item(2, 26), false, false},     // Windows 10 x86 is 25
      {10, 0, 0, nullptr, nullptr, 1, Item(2, 25), true, true},
      {6, 1, 9, nullptr, nullptr, 1, Item(2, 9), true, true},         // Windows 7 x64
      {6, 1, 9, nullptr, nullptr, 1, Item(2, 97), true, false},
      {10, 0, 9, nullptr, nullptr, 1, Item(3, 0), true, true},
      {10, 0, 9, L"TAVO Net Shield", L"9.0.1.0", 1, Item(3, 0), false, false},
      {10, 0, 9, L"TAVO Net Shield", L"9.0.1.0", 1, Item(3, 6), true, true},
      {10, 0, 9, L"TAVO Total Shield Plus", L"9.0.1.0", 1, Item(3, 2), false, false},
      {10, 0, 9, L"TAVO Total Shield Plus", L"9.0.1.0", 1, Item(3, 7), true, true},
      {10, 0, 9, L"TAVO Virus Guard", L"9.0.1.0", 1, Item(3, 1), true, true},
      {10, 0, 9, L"TAVO Total Shield", L"10.0.1", 1, Item(4, 10), true, false},
      {10, 0, 9, L"TAVO Total Shield", L"10.1", 1, Item(4, 10), false, false},
      {10, 0, 9, L"TAVO Total Shield", L"4.2.71.3", 1, Item(4, 3), true, true},
      {10, 0, 9, L"TAVO Net Shield", L"4.2.71.3", 1, Item(4, 0), true, false},
      {10, 0, 9, L"TAVO Total Shield", L"4.2.71.3", 1, Item(4, 0), true, true},
      {10, 0, 9, L"TAVO Total Shield", L"9.0.2032.2", 1, Item(5, 0, L"9.0.2032.2"), true, true},
      {10, 0, 9, nullptr, nullptr, 5, Item(7, 6), true, true},
      {10, 0, 9, nullptr, nullptr, 5, Item(7, 1), false, false},
      {10, 0, 9, nullptr, nullptr, 2, Item(7, 3), true, true},
  };
  int number = 0;
  for (const MachineRow& row : rows) {
    ++number;
    SimMachine machine;
    machine.SetWindows(row.major, row.minor, 1, row.architecture, row.architecture == 9 ? 1 : 0);
    if (row.product != nullptr) {
      machine.SetRegistryString(kInfo, L"ProductName", row.product);
      machine.SetRegistryString(kInfo, L"ProductVersion", row.version);
    }
    LaunchSettings settings;
    settings.ProductType = row.productType;
    MachineNoticeFacts facts(row.productType);
    EXPECT_EQ(row.page, IsNoticeApplicable(row.item, settings)) << "row " << number;
    EXPECT_EQ(row.page, IsNoticeApplicable(row.item, facts, NoticeRule::Page)) << "row " << number;
    EXPECT_EQ(row.startUp, IsNoticeApplicable(row.item, facts, NoticeRule::StartUp)) << "row " << number;
  }
}

TEST(MachineNoticeFacts, CountOnTheMachine) {
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  machine.SetRegistryString(kInfo, L"ProductName", L"TAVO Net Shield");
  machine.SetRegistryString(kInfo, L"ProductVersion", L"9.0.1.0");
  tavo_test::TempDir dir;
  const std::wstring path = dir.File(L"SetupNotification.xml");
  tavo_test::WriteBytes(path,
                        "<NotificationDataSet><NotificationDataValueCount>3</NotificationDataValueCount>"
                        "<NotificationDataValue00><NFDConditionType>2</NFDConditionType>"
                        "<NFDConditionValue>97</NFDConditionValue></NotificationDataValue00>"
                        "<NotificationDataValue01><NFDConditionType>4</NFDConditionType>"
                        "<NFDConditionValue>0</NFDConditionValue></NotificationDataValue01>"
                        "<NotificationDataValue02><NFDConditionType>3</NFDConditionType>"
                        "<NFDConditionValue>6</NFDConditionValue></NotificationDataValue02>"
                        "</NotificationDataSet>");
  LaunchSettings settings;
  EXPECT_EQ(1, CountApplicableNotices(path, settings));
  machine.SetRegistryString(kInfo, L"ProductName", L"TAVO Total Shield");
  EXPECT_EQ(1, CountApplicableNotices(path, settings));  // now 4/0 applies, 3/6 no longer
}

}  // namespace

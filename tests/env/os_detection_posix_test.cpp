// Operating-system classification and the machine registry on simulated machines.
#include <gtest/gtest.h>

#include "env/os_detection.h"
#include "platform/sysinfo.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::SimMachine;

TEST(OsDetection, MachineFactsGiveCodeAndSupport) {
  struct Row {
    int major, minor, productType, architecture, wow64, suiteMask, r2;
    int atLeast63;  // -1: the machine's default answer
    OsCode code;
    bool supported;
  } rows[] = {
      {6, 1, 3, 9, 1, 0, 0, -1, 1, false},       {6, 0, 3, 9, 1, 0, 0, -1, 2, false},
      {6, 0, 2, 0, 0, 0, 0, -1, 3, false},       {5, 2, 3, 9, 1, 0, 1, -1, 4, false},
      {5, 2, 3, 0, 0, 0, 1, -1, 4, false},       // R2 server: the x64 code unless a workstation
      {5, 2, 1, 0, 0, 0, 1, -1, 5, false},       {5, 2, 3, 9, 1, 0, 0, -1, 6, false},
      {5, 2, 3, 0, 0, 0, 0, -1, 6, false},       {5, 2, 1, 0, 0, 0, 0, -1, 7, false},
      {5, 0, 3, 0, 0, 0, 0, -1, 8, false},       {6, 1, 1, 9, 1, 0, 0, -1, 9, true},
      {6, 1, 1, 0, 0, 0, 0, -1, 10, true},       {6, 0, 1, 9, 1, 0, 0, -1, 11, false},
      {6, 0, 1, 0, 0, 0, 0, -1, 12, false},      {5, 2, 1, 9, 1, 0, 0, -1, 13, false},
      {5, 1, 1, 0, 0, 0, 0, -1, 14, false},      {5, 0, 1, 0, 0, 0, 0, -1, 15, false},
      {5, 2, 3, 9, 1, 0x2000, 0, -1, 16, false}, {5, 2, 3, 0, 0, 0x2000, 0, -1, 16, false},
      {5, 2, 1, 0, 0, 0x2000, 0, -1, 17, false}, {6, 1, 3, 9, 1, 0x8000, 0, -1, 18, false},
      {6, 2, 1, 0, 0, 0, 0, 0, 19, true},        {6, 2, 1, 9, 1, 0, 0, 0, 20, true},
      {6, 2, 3, 9, 1, 0, 0, 0, 21, false},       {6, 3, 1, 0, 0, 0, 0, -1, 22, true},
      {6, 2, 1, 0, 0, 0, 0, 1, 22, true},        // 8.1 reporting 6.2
      {6, 3, 1, 9, 1, 0, 0, -1, 23, true},       {6, 2, 1, 9, 1, 0, 0, 1, 23, true},
      {6, 3, 3, 9, 1, 0, 0, -1, 24, false},      {6, 2, 3, 9, 1, 0, 0, 1, 24, false},
      {10, 0, 1, 0, 0, 0, 0, -1, 25, true},      {10, 0, 1, 9, 1, 0, 0, -1, 26, true},
      {10, 0, 3, 9, 1, 0, 0, -1, 27, false},     {10, 0, 2, 9, 1, 0, 0, -1, 27, false},
      // Unknown releases have no code; a workstation of a later release is still supported.
      {10, 1, 1, 9, 1, 0, 0, -1, 0, true},       {6, 4, 1, 9, 1, 0, 0, -1, 0, true},
      {11, 0, 1, 9, 1, 0, 0, -1, 0, true},       {4, 0, 1, 0, 0, 0, 0, -1, 0, false},
      {10, 0, 1, 6, 1, 0, 0, -1, 0, true},       // Itanium: no code of its own
      {5, 3, 1, 0, 0, 0, 0, -1, 0, false},
  };
  for (const auto& row : rows) {
    SimMachine machine;
    machine.SetWindows(row.major, row.minor, row.productType, row.architecture, row.wow64);
    machine.Set("Windows", "SuiteMask", std::to_string(row.suiteMask));
    machine.Set("Windows", "R2", std::to_string(row.r2));
    if (row.atLeast63 >= 0) machine.Set("Windows", "AtLeast63", std::to_string(row.atLeast63));
    const std::string where = std::to_string(row.major) + "." + std::to_string(row.minor) + " type " +
                              std::to_string(row.productType) + " arch " + std::to_string(row.architecture);
    EXPECT_EQ(row.code, GetOsCode()) << where;
    EXPECT_EQ(row.supported, IsSupportedOs()) << where;
    EXPECT_EQ(row.code == 0, GetOsName().empty()) << where;
  }
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  machine.Set("Windows", "PlatformId", "1");  // not NT
  EXPECT_EQ(0, GetOsCode());
  EXPECT_FALSE(IsSupportedOs());
}

TEST(OsDetection, SixtyFourBitWindowsAndArchitectureFallback) {
  struct Row {
    int arch, wow64, nativeInfo;
    bool is64;
    OsCode code;  // Windows 10 workstation; -1: not asked
  } rows[] = {
      {9, 1, 1, true, 26}, {6, 1, 1, true, 0}, {0, 0, 1, false, 25}, {5, 0, 1, false, -1},
      // Without native information a process outside WoW64 still sees x64; one under WoW64 sees x86.
      {9, 0, 0, false, 26}, {9, 1, 0, false, 25},
  };
  for (const auto& row : rows) {
    SimMachine machine;
    machine.SetWindows(10, 0, 1, row.arch, row.wow64);
    machine.Set("Windows", "NativeInfo", std::to_string(row.nativeInfo));
    EXPECT_EQ(row.is64, IsWindows64Bit()) << row.arch << "/" << row.wow64 << "/" << row.nativeInfo;
    if (row.code >= 0) {
      EXPECT_EQ(row.code, GetOsCode()) << row.arch << "/" << row.wow64 << "/" << row.nativeInfo;
    }
  }
}

TEST(MachineRegistry, SixtyFourBitViewUnderWow64AndUnreadableKeys) {
  for (int arch : {9, 0}) {
    SimMachine machine;
    machine.SetWindows(10, 0, 1, arch, arch == 9);
    machine.SetRegistryString(L"SOFTWARE\\A", L"Name", L"value");
    machine.SetRegistryString(L"SOFTWARE\\A", L"Empty", L"");
    machine.SetRegistryString(L"SOFTWARE\\Wow6432Node\\Only32", L"V", L"32");
    machine.SetRegistryString(L"SOFTWARE\\Locked", L"V", L"x");
    machine.DenyRegistryKey(L"SOFTWARE\\Locked");
    std::wstring text = L"before";
    EXPECT_TRUE(ReadMachineRegistryString(L"software\\a", L"name", &text)) << arch;
    EXPECT_EQ(L"value", text);
    EXPECT_TRUE(ReadMachineRegistryString(L"SOFTWARE\\A", L"Empty", &text)) << arch;
    EXPECT_EQ(L"", text);  // an empty string value is still a value
    EXPECT_FALSE(ReadMachineRegistryString(L"SOFTWARE\\A", L"Missing", &text)) << arch;
    EXPECT_FALSE(ReadMachineRegistryString(L"SOFTWARE\\A", L"Name", nullptr)) << arch;
    // Under WoW64 the launcher reads the 64-bit view, never the redirected 32-bit copy.
    EXPECT_FALSE(MachineRegistryValueExists(L"SOFTWARE\\Only32", L"V")) << arch;
    EXPECT_FALSE(ReadMachineRegistryString(L"SOFTWARE\\Locked", L"V", &text)) << arch;
    EXPECT_FALSE(MachineRegistryValueExists(L"SOFTWARE\\Locked", L"V")) << arch;
  }
}

}  // namespace

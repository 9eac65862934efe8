#include <gtest/gtest.h>

#include "env/os_detection.h"
#include "platform/sysinfo.h"
#include "platform/utf.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::SimMachine;

struct OsRow {
  int major, minor, productType, architecture;
  int suiteMask;
  int r2;
  int atLeast63;  // -1: the machine's default answer
  OsCode code;
  bool supported;
};

// Every code the launcher can report, and a few that give 0.
const OsRow kRows[] = {
    {6, 1, 3, 9, 0, 0, -1, 1, false},          // Server 2008 R2
    {6, 0, 3, 9, 0, 0, -1, 2, false},          // Server 2008 x64
    {6, 0, 2, 0, 0, 0, -1, 3, false},          // Server 2008 x86, domain controller
    {5, 2, 3, 9, 0, 1, -1, 4, false},          // Server 2003 R2 x64
    {5, 2, 3, 0, 0, 1, -1, 4, false},          // R2 server: x64 code unless a workstation
    {5, 2, 3, 9, 0, 0, -1, 6, false},          // Server 2003 x64
    {5, 0, 3, 0, 0, 0, -1, 8, false},          // 2000 Server
    {6, 1, 1, 9, 0, 0, -1, 9, true},           // 7 x64
    {6, 1, 1, 0, 0, 0, -1, 10, true},          // 7 x86
    {6, 0, 1, 9, 0, 0, -1, 11, false},         // Vista x64
    {6, 0, 1, 0, 0, 0, -1, 12, false},         // Vista x86
    {5, 2, 1, 9, 0, 0, -1, 13, false},         // XP x64
    {5, 1, 1, 0, 0, 0, -1, 14, false},         // XP x86
    {5, 0, 1, 0, 0, 0, -1, 15, false},         // 2000 Professional
    {5, 2, 3, 9, 0x2000, 0, -1, 16, false},    // Storage Server 2003 x64
    {5, 2, 3, 0, 0x2000, 0, -1, 16, false},
    {6, 1, 3, 9, 0x8000, 0, -1, 18, false},    // Home Server 2011
    {6, 2, 1, 0, 0, 0, 0, 19, true},           // 8 x86
    {6, 2, 1, 9, 0, 0, 0, 20, true},           // 8 x64
    {6, 2, 3, 9, 0, 0, 0, 21, false},          // Server 2012
    {6, 3, 1, 0, 0, 0, -1, 22, true},          // 8.1 x86
    {6, 2, 1, 0, 0, 0, 1, 22, true},           // 8.1 x86 reporting 6.2
    {6, 3, 1, 9, 0, 0, -1, 23, true},          // 8.1 x64
    {6, 2, 1, 9, 0, 0, 1, 23, true},           // 8.1 x64 reporting 6.2
    {6, 3, 3, 9, 0, 0, -1, 24, false},         // Server 2012 R2
    {6, 2, 3, 9, 0, 0, 1, 24, false},          // Server 2012 R2 reporting 6.2
    {10, 0, 1, 0, 0, 0, -1, 25, true},         // 10 x86
    {10, 0, 1, 9, 0, 0, -1, 26, true},         // 10 x64
    {10, 0, 3, 9, 0, 0, -1, 27, false},        // Server 2016
    {10, 0, 2, 9, 0, 0, -1, 27, false},
    {10, 1, 1, 9, 0, 0, -1, 0, true},          // unknown minor: no code, still a supported workstation
    {6, 4, 1, 9, 0, 0, -1, 0, true},
    {11, 0, 1, 9, 0, 0, -1, 0, true},
    {4, 0, 1, 0, 0, 0, -1, 0, false},
    {10, 0, 1, 6, 0, 0, -1, 0, true},          // Itanium workstation: no code of its own
    {5, 3, 1, 0, 0, 0, -1, 0, false},
};

TEST(OsDetection, EveryCodeFromSimulatedMachines) {
  for (const auto& row : kRows) {
    SimMachine machine;
    machine.SetWindows(row.major, row.minor, row.productType, row.architecture, row.architecture == 9 ? 1 : 0);
    machine.Set("Windows", "SuiteMask", std::to_string(row.suiteMask));
    machine.Set("Windows", "R2", std::to_string(row.r2));
    if (row.atLeast63 >= 0) machine.Set("Windows", "AtLeast63", std::to_string(row.atLeast63));
    std::string where = std::to_string(row.major) + "." + std::to_string(row.minor) + " type " +
                        std::to_string(row.productType) + " arch " + std::to_string(row.architecture);
    EXPECT_EQ(row.code, GetOsCode()) << where;
    EXPECT_EQ(row.supported, IsSupportedOs()) << where;
    EXPECT_EQ(OsNameOf(row.code), GetOsName()) << where;
  }
}

TEST(OsDetection, RemainingCodesOfThe2003Family) {
  // x86 codes of the pairs belong to workstations without an x64 processor;
  // such a 5.2 workstation is classified by its suite and release.
  struct Row { int productType, arch, suite, r2; OsCode code; } rows[] = {
      {1, 0, 0, 1, 5}, {1, 0, 0, 0, 7}, {1, 0, 0x2000, 0, 17}, {3, 0, 0, 0, 6},
  };
  for (const auto& row : rows) {
    SimMachine machine;
    machine.SetWindows(5, 2, row.productType, row.arch, 0);
    machine.Set("Windows", "SuiteMask", std::to_string(row.suite));
    machine.Set("Windows", "R2", std::to_string(row.r2));
    EXPECT_EQ(row.code, GetOsCode());
  }
}

TEST(OsDetection, AllTwentySevenNames) {
  EXPECT_EQ(L"", OsNameOf(0));
  EXPECT_EQ(L"Windows Server 2008R2 x64", OsNameOf(1));
  EXPECT_EQ(L"Windows 7 x64", OsNameOf(9));
  EXPECT_EQ(L"Windows Home Server 2011", OsNameOf(18));
  EXPECT_EQ(L"Windows Server 2012 R2", OsNameOf(24));
  EXPECT_EQ(L"Windows 10 x64", OsNameOf(26));
  EXPECT_EQ(L"Windows Server 2016", OsNameOf(27));
  EXPECT_EQ(L"", OsNameOf(28));
  for (int code = 1; code <= 27; ++code) EXPECT_FALSE(OsNameOf(code).empty()) << code;
}

TEST(OsDetection, NonNtPlatformAndVista) {
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  machine.Set("Windows", "PlatformId", "1");
  EXPECT_EQ(0, GetOsCode());
  EXPECT_FALSE(IsSupportedOs());
  EXPECT_TRUE(IsVistaOrLater());
  machine.SetWindows(5, 1, 1, 0, 0);
  EXPECT_FALSE(IsVistaOrLater());
}

TEST(OsDetection, SixtyFourBitWindows) {
  struct Row { int arch; int nativeInfo; bool is64; } rows[] = {
      {9, 1, true}, {6, 1, true}, {0, 1, false}, {9, 0, false}, {5, 1, false},
  };
  for (const auto& row : rows) {
    SimMachine machine;
    machine.SetWindows(10, 0, 1, row.arch, 0);
    machine.Set("Windows", "NativeInfo", std::to_string(row.nativeInfo));
    EXPECT_EQ(row.is64, IsWindows64Bit()) << row.arch << "/" << row.nativeInfo;
  }
}

TEST(OsDetection, ArchitectureFallsBackToOrdinaryInformation) {
  // Without native information, a non-WoW64 x64 process still reports x64.
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 0);
  machine.Set("Windows", "NativeInfo", "0");
  EXPECT_EQ(26, GetOsCode());
  // Under WoW64 the ordinary information says x86.
  machine.Set("Windows", "Wow64", "1");
  EXPECT_EQ(25, GetOsCode());
}

TEST(MachineRegistry, SixtyFourBitViewUnderWow64) {
  const std::wstring key = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";
  {
    // 64-bit Windows, launcher under WoW64: the 64-bit value is found.
    SimMachine machine;
    machine.SetWindows(10, 0, 1, 9, 1);
    machine.SetRegistryString(key, L"ProductName", L"TAVO Total Shield");
    machine.SetRegistryString(L"SOFTWARE\\Wow6432Node\\Only32", L"V", L"32");
    std::wstring text = L"unchanged";
    EXPECT_TRUE(MachineRegistryValueExists(key, L"ProductName"));
    EXPECT_TRUE(ReadMachineRegistryString(key, L"ProductName", &text));
    EXPECT_EQ(L"TAVO Total Shield", text);
    EXPECT_TRUE(ReadMachineRegistryString(L"software\\tavo\\tavo security\\currentversion\\info", L"productname", &text));
    // The redirected 32-bit copy is not what the launcher reads.
    EXPECT_FALSE(MachineRegistryValueExists(L"SOFTWARE\\Only32", L"V"));
    EXPECT_FALSE(ReadMachineRegistryString(key, L"Missing", &text));
    EXPECT_FALSE(ReadMachineRegistryString(key, L"ProductName", nullptr));
  }
  {
    // 32-bit Windows: the normal view, no redirection.
    SimMachine machine;
    machine.SetWindows(10, 0, 1, 0, 0);
    machine.SetRegistryString(key, L"ProductName", L"TAVO Virus Guard");
    std::wstring text;
    EXPECT_TRUE(ReadMachineRegistryString(key, L"ProductName", &text));
    EXPECT_EQ(L"TAVO Virus Guard", text);
    EXPECT_FALSE(ReadMachineRegistryString(key, L"Missing", &text));
  }
}

TEST(MachineRegistry, EmptyValueLeavesTextAndUnreadableKeyFails) {
  SimMachine machine;
  machine.SetRegistryString(L"SOFTWARE\\A", L"Empty", L"");
  machine.SetRegistryString(L"SOFTWARE\\Locked", L"V", L"x");
  machine.DenyRegistryKey(L"SOFTWARE\\Locked");
  std::wstring text = L"before";
  EXPECT_TRUE(ReadMachineRegistryString(L"SOFTWARE\\A", L"Empty", &text));
  EXPECT_EQ(L"", text);  // an empty REG_SZ still has its terminator, so it is read
  EXPECT_FALSE(ReadMachineRegistryString(L"SOFTWARE\\Locked", L"V", &text));
  EXPECT_FALSE(MachineRegistryValueExists(L"SOFTWARE\\Locked", L"V"));
}

TEST(MachineRegistry, RegeditFilesInUtf16AreRead) {
  SimMachine machine;
  std::wstring text =
      L"Windows Registry Editor Version 5.00\r\n\r\n"
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info]\r\n"
      L"\"ProductName\"=\"TAVO Net Shield\"\r\n\"Path\"=\"C:\\\\Program Files\\\\TAVO\\\\\"\r\n"
      L"\"Count\"=dword:00000010\r\n";
  machine.WriteFile("registry.reg", "\xFF\xFE" + platform::WideToUtf16Le(text));
  std::wstring value;
  EXPECT_TRUE(ReadMachineRegistryString(L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info", L"Path", &value));
  EXPECT_EQ(L"C:\\Program Files\\TAVO\\", value);
  EXPECT_TRUE(MachineRegistryValueExists(L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info", L"Count"));
  EXPECT_FALSE(ReadMachineRegistryString(L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info", L"Count", &value));
}

}  // namespace

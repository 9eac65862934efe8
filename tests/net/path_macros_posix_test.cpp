// The path macros on simulated machines, with concrete folders.
#include <gtest/gtest.h>

#include <string>

#include "app/paths.h"
#include "net/package_download.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::SimMachine;

TEST(PathMacrosOnSimulatedMachine, DefaultFolders) {
  SimMachine machine;
  const std::wstring m = machine.wfolder();
  EXPECT_EQ(m + L"Windows/System32", ExpandPathMacros(L"*SYSTEM32*"));
  EXPECT_EQ(m + L"Temp/setup.msi", ExpandPathMacros(L"*USERTEMP*setup.msi"));
  EXPECT_EQ(m + L"Windows", ExpandPathMacros(L"*SYSTEMDRIVE*"));
  // The machine folder plays the part of the system drive.
  EXPECT_EQ(m, ExpandPathMacros(L"*WINDIR*"));
  EXPECT_EQ(m + L"Desktop/a.lnk", ExpandPathMacros(L"*DISKTOP*a.lnk"));
  EXPECT_EQ(ParentFolder(platform::GetModulePath()) + L"x", ExpandPathMacros(L"*CURRENTPATH*x"));
}

TEST(PathMacrosOnSimulatedMachine, FoldersFromMachineIni) {
  SimMachine machine;
  machine.Set("Folders", "Temp", "Users/me/AppData/Local/Temp");
  machine.Set("Folders", "Windows", "WINNT");
  machine.Set("Folders", "System", "WINNT/SysWOW64");
  machine.Set("Folders", "Desktop", "Users/me/Desktop");
  const std::wstring m = machine.wfolder();
  EXPECT_EQ(m + L"WINNT/SysWOW64/msiexec.exe", ExpandPathMacros(L"*SYSTEM32*/msiexec.exe"));
  EXPECT_EQ(m + L"Users/me/AppData/Local/Temp/a.msi", ExpandPathMacros(L"*USERTEMP*a.msi"));
  EXPECT_EQ(m + L"WINNT", ExpandPathMacros(L"*SYSTEMDRIVE*"));
  EXPECT_EQ(m, ExpandPathMacros(L"*WINDIR*"));
  EXPECT_EQ(m + L"Users/me/Desktop/", ExpandPathMacros(L"*DISKTOP*"));
}

TEST(PathMacrosOnSimulatedMachine, EveryTokenInOneText) {
  SimMachine machine;
  const std::wstring m = machine.wfolder();
  const std::wstring exe = ParentFolder(platform::GetModulePath());
  EXPECT_EQ(L"\"" + m + L"Windows/System32/msiexec.exe\" /i \"" + m + L"Temp/a.msi\" /l \"" + exe + L"log\" " + m +
                L"Windows|" + m + L"|" + m + L"Desktop/|" + m + L"Temp/",
            ExpandPathMacros(L"\"*SYSTEM32*/msiexec.exe\" /i \"*USERTEMP*a.msi\" /l \"*CURRENTPATH*log\" "
                             L"*SYSTEMDRIVE*|*WINDIR*|*DISKTOP*|*USERTEMP*"));
}

}  // namespace

// The command lines the launcher hands to the Windows Installer and to
// installers that run by themselves, and the local installer table.
#include <gtest/gtest.h>

#include <string>

#include "app/launcher_context.h"
#include "app/paths.h"
#include "config/download_config.h"
#include "install/package_execution.h"
#include "platform/folders.h"

namespace {

std::wstring Sep() { return std::wstring(1, platform::PathSeparator()); }

TEST(PackageCommands, NetworkMsiFormatHasTwoBlanksBeforeTheDistributionFile) {
  const std::wstring system = Sep() + L"Windows" + Sep() + L"System32";
  const std::wstring expected = L"\"" + system + Sep() +
                                L"msiexec.exe\" /i \"P.msi\" /qn REBOOT=ReallySuppress /l*v \"L.txt\" "
                                L"IGNORE_CONFLICTS=1  DISTRIBUTION_PACKAGE=\"D.xml\"";
  EXPECT_EQ(expected, NetworkMsiCommand(system, L"P.msi", L"L.txt", L"D.xml"));
  EXPECT_EQ(expected, NetworkMsiCommand(system + Sep(), L"P.msi", L"L.txt", L"D.xml"));
}

TEST(PackageCommands, LocalMsiFormatCarriesTheAdministratorConfiguration) {
  const std::wstring system = Sep() + L"S";
  EXPECT_EQ(L"\"" + system + Sep() +
                L"msiexec.exe\" /i \"I.msi\" /qn REBOOT=ReallySuppress ADMINCFG=\"C.xml\" /l*v \"L.txt\" "
                L"IGNORE_CONFLICTS=1 DISTRIBUTION_PACKAGE=\"D.xml\"",
            LocalMsiCommand(system, L"I.msi", L"C.xml", L"L.txt", L"D.xml"));
}

TEST(PackageCommands, OtherInstallersRunThemselves) {
  EXPECT_EQ(L"\"a b" + Sep() + L"setup.exe\"", DirectCommand(L"a b" + Sep() + L"setup.exe"));
}

TEST(PackageCommands, OnlyTheExactExtensionMsiSelectsTheWindowsInstaller) {
  struct Case {
    const wchar_t* name;
    bool msi;
  };
  const Case cases[] = {
      {L"setup.msi", true},      {L"a.tar.msi", true},   {L".msi", true},         {L"setup.MSI", false},
      {L"setup.Msi", false},     {L"setup.exe", false},  {L"setupmsi", false},    {L"setup.msi.exe", false},
      {L"setup.msix", false},    {L"setup.", false},     {L"", false},            {L"msi", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.msi, IsMsiPackage(c.name)) << std::wstring(c.name).c_str();
}

TEST(PackageCommands, LocalInstallerTable) {
  struct Row {
    int32_t productType;
    bool x64;
    const wchar_t* installer;
    const wchar_t* folder;
  };
  const Row rows[] = {
      {1, false, L"TTS\\tts_nt32_jpn.exe", L"TTS"},     {1, true, L"TTS\\tts_nt64_jpn.exe", L"TTS"},
      {2, false, L"TVG\\tvg_nt32_jpn.exe", L"TVG"},     {2, true, L"TVG\\tvg_nt64_jpn.exe", L"TVG"},
      {5, false, L"TNS\\tns_nt32_jpn.exe", L"TNS"},     {5, true, L"TNS\\tns_nt64_jpn.exe", L"TNS"},
      {6, false, L"TTSP\\ttsp_nt32_jpn.exe", L"TTSP"},  {6, true, L"TTSP\\ttsp_nt64_jpn.exe", L"TTSP"},
      {0, true, L"TTSP\\ttsp_nt64_jpn.exe", L"TTSP"},   {97, false, L"TTSP\\ttsp_nt32_jpn.exe", L"TTSP"},
  };
  for (const Row& r : rows) {
    LocalInstallFiles files = LocalInstallFilesFor(r.productType, r.x64);
    EXPECT_EQ(r.installer, files.installer) << r.productType;
    EXPECT_EQ(std::wstring(r.folder) + L"\\cfg.xml", files.configuration);
    EXPECT_EQ(std::wstring(r.folder) + L"\\dpkg.xml", files.distribution);
  }
}

TEST(PackageCommands, PackagePathIsTheWorkFolderFileOrTheSaveFilePath) {
  LauncherContext context;
  context.WorkFolder = EnsureTrailingSeparator(Sep() + L"work");
  PackageEntry package;
  package.PackageFileName = L"tavo.msi";
  EXPECT_EQ(context.WorkFolder + L"tavo.msi", PackageLocalPath(context, package));
  package.SaveFilePath = Sep() + L"elsewhere" + Sep() + L"x.msi";
  EXPECT_EQ(package.SaveFilePath, PackageLocalPath(context, package));
  package.SaveFilePath = L"*USERTEMP*x.msi";
  EXPECT_EQ(EnsureTrailingSeparator(platform::GetTempFolder()) + L"x.msi", PackageLocalPath(context, package));
}

}  // namespace

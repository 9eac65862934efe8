// The command lines the launcher hands to the Windows Installer and to installers that run by themselves.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/launcher_context.h"
#include "base/worker_threads.h"
#include "config/download_config.h"
#include "install/install_thread.h"
#include "install/package_execution.h"
#include "platform/cmdline_split.h"
#include "platform/folders.h"
#include "platform/held_file.h"
#include "tests/support/log_capture.h"

namespace {

using Args = std::vector<std::wstring>;

std::wstring Sep() { return std::wstring(1, platform::PathSeparator()); }

TEST(PackageCommands, PathsWithBlanksAndQuotesSplitBackWhole) {
  const std::wstring system = Sep() + L"Windows" + Sep() + L"System32";
  const std::wstring msiexec = system + Sep() + L"msiexec.exe";
  const std::wstring package = L"C:" + Sep() + L"Users" + Sep() + L"A B" + Sep() + L"tavo.msi";
  const std::wstring log = L"C:" + Sep() + L"T" + Sep() + L"TAVOInstallLog.txt", dpkg = L"D E.xml";
  const std::wstring network = NetworkMsiCommand(system, package, log, dpkg);
  EXPECT_EQ(network, NetworkMsiCommand(system + Sep(), package, log, dpkg)) << "one separator either way";
  // Two blanks before the distribution file, as the Windows Installer is used to.
  EXPECT_NE(std::wstring::npos, network.find(L"IGNORE_CONFLICTS=1  DISTRIBUTION_PACKAGE="));
  const struct {
    std::wstring line;
    Args args;
  } cases[] = {
      {network, {msiexec, L"/i", package, L"/qn", L"REBOOT=ReallySuppress", L"/l*v+", log, L"IGNORE_CONFLICTS=1",
                 L"DISTRIBUTION_PACKAGE=" + dpkg}},
      {LocalMsiCommand(system, package, L"c f g.xml", log, dpkg),
       {msiexec, L"/i", package, L"/qn", L"REBOOT=ReallySuppress", L"ADMINCFG=c f g.xml", L"/l*v+", log,
        L"IGNORE_CONFLICTS=1", L"DISTRIBUTION_PACKAGE=" + dpkg}},
      {DirectCommand(L"a b" + Sep() + L"setup.exe"), {L"a b" + Sep() + L"setup.exe"}},
      // A quote in a path adds no argument; backslashes before it or at the end stay as they are.
      {NetworkMsiCommand(system, L"a\" /x \"b.msi", L"l\\\" c\\", L"d\\"),
       {msiexec, L"/i", L"a\" /x \"b.msi", L"/qn", L"REBOOT=ReallySuppress", L"/l*v+", L"l\\\" c\\",
        L"IGNORE_CONFLICTS=1", L"DISTRIBUTION_PACKAGE=d\\"}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.args, platform::SplitWindowsCommandLine(c.line)) << c.line.c_str();
  // A program name takes no escapes: a program path with a quote gives no command to start.
  EXPECT_EQ(L"", DirectCommand(L"a\"b.exe"));
}

TEST(PackageCommands, OnlyTheExactExtensionMsiSelectsTheWindowsInstaller) {
  for (const wchar_t* name : {L"setup.msi", L"a.tar.msi", L".msi"}) EXPECT_TRUE(IsMsiPackage(name));
  for (const wchar_t* name : {L"setup.MSI", L"setup.Msi", L"setup.exe", L"setupmsi", L"setup.msi.exe", L"setup.msix",
                              L"setup.", L"", L"msi"}) {
    EXPECT_FALSE(IsMsiPackage(name)) << std::wstring(name).c_str();
  }
}

TEST(PackageCommands, EachEditionAndArchitectureHasItsOwnLocalInstaller) {
  std::set<std::wstring> installers;
  for (int32_t productType : {1, 2, 5, 6}) {
    for (bool x64 : {false, true}) {
      const LocalInstallFiles files = LocalInstallFilesFor(productType, x64);
      installers.insert(files.installer);
      // The configuration and distribution files lie beside the installer.
      const std::wstring folder = files.installer.substr(0, files.installer.find(L'\\') + 1);
      ASSERT_GT(folder.size(), 1u);
      EXPECT_EQ(folder + L"cfg.xml", files.configuration);
      EXPECT_EQ(folder + L"dpkg.xml", files.distribution);
    }
  }
  EXPECT_EQ(8u, installers.size());
  // An unknown edition gets the installer of an edition, never nothing.
  EXPECT_EQ(1u, installers.count(LocalInstallFilesFor(97, false).installer));
}

// The starter logs that the worker runs once the worker exists; the worker
// then logs it again as its own first line.
TEST(PackageCommands, ACommandStartsOnlyAVerifiedPackageOfThisRunByItsFullPath) {
  const std::wstring root = platform::PathSeparator() == L'/' ? L"/" : L"C:\\";
  const std::wstring work = root + L"W" + Sep(), blank = root + L"A B" + Sep();
  auto entry = [](const wchar_t* file, const std::wstring& saveTo, bool verified) {
    PackageEntry p;
    p.PackageFileName = file, p.SaveFilePath = saveTo, p.Verified = verified;
    if (verified) p.File = std::make_shared<platform::HeldFile>();
    return p;
  };
  const std::vector<PackageEntry> packages = {entry(L"tool.exe", L"", true), entry(L"other.exe", L"", false),
                                              entry(L"x.exe", blank + L"x.exe", true), entry(L"noext", L"", true)};
  const struct {
    std::wstring command;
    int started;  // index of the package, -1 none
  } cases[] = {
      {L"\"" + work + L"tool.exe\" /s", 0},
      {work + L"tool.exe /s", 0},
      {work + L"TOOL.EXE", 0},
      {L"\"" + blank + L"x.exe\"", 2},
      {blank + L"x.exe", -1},  // unquoted, the system would look for "A" first
      {work + L"other.exe", -1},  // not verified
      {work + L"noext", -1},      // the system would add ".exe"
      {L"tool.exe", -1},          // searched for
      {root + L"Windows" + Sep() + L"System32" + Sep() + L"cmd.exe /c " + work + L"tool.exe", -1},
      {L"", -1},
  };
  for (const auto& c : cases) {
    const PackageEntry* started = PackageStartedBy(c.command, packages, work);
    EXPECT_EQ(c.started < 0 ? nullptr : &packages[c.started], started) << std::string(c.command.begin(), c.command.end());
  }
}

TEST(InstallThread, TheStarterLogsTheWorkerOnceItExists) {
  tavo_test::LogCapture log;
  LaunchSettings settings;  // no server: the worker ends at its connection check
  LauncherContext run;
  ASSERT_TRUE(StartInstallThread(InstallRun{settings, run, run}, nullptr));
  WaitForDetachedWorkers();
  std::vector<std::wstring> texts = log.Texts();
  texts.resize(3);
  EXPECT_EQ((std::vector<std::wstring>{L"インストールスレッドを実行します。", L"インストールスレッドを実行します。",
                                       L"インストール処理を実行します。"}), texts);
}

}  // namespace

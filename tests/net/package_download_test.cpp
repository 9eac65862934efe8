#include "net/package_download.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "app/paths.h"
#include "platform/folders.h"
#include "tests/net/net_test_util.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::WriteBytes;

TEST(VerifyPackageHash, Md5OfTheFileAgainstTheConfiguredText) {
  tavo_test::TempDir dir;
  tavo_test::LogCapture log;
  // The MD5 digests of Pattern(size), as md5sum prints them: sizes around the reading block.
  const std::pair<size_t, std::wstring> digests[] = {
      {0, L"d41d8cd98f00b204e9800998ecf8427e"},     {1, L"93b885adfe0da089cdf634904fd59f71"},
      {63999, L"47b08fedc24fb7d50125fff36b28feff"}, {64000, L"37816152c91b4d73fe3a7faeb4371cd5"},
      {64001, L"681ebdb883b8e4530d8464c5aa5a0783"}, {200000, L"78bcc89c082c48f2f68843beca96b86b"},
  };
  const std::wstring path = dir.File(L"file.bin");
  for (const auto& d : digests) {
    ASSERT_TRUE(WriteBytes(path, net_test::Pattern(d.first)));
    std::wstring digest;
    ASSERT_TRUE(ComputeFileMd5(path, &digest));
    EXPECT_EQ(d.second, digest) << d.first;
    EXPECT_TRUE(VerifyPackageHash(path, d.second)) << d.first;
    EXPECT_FALSE(VerifyPackageHash(path, d.second.substr(1))) << d.first;
  }
  ASSERT_TRUE(WriteBytes(path, "abc"));
  const std::pair<std::wstring, bool> texts[] = {
      {L"900150983cd24fb0d6963f7d28e17f72", true},     {L"900150983Cd24fb0D6963f7d28E17F72", true},
      {L"900150983cd24fb0\r\nd6963f7d28e17f72", true}, {L"900150983cd24fb0\nd6963f7d28e17f72", true},
      {L"900150983cd24fb0d6963f7d28e17f72\r\n", true}, {L"900150983cd24fb0 d6963f7d28e17f72", false},
      {L"00000000000000000000000000000000", false},   {L"", false},
      {L"0", true},                                    {L"00", false},
  };
  for (const auto& t : texts) EXPECT_EQ(t.second, VerifyPackageHash(path, t.first));
  // "0" alone turns the check off, even for a file that is not there; any other text needs the file.
  EXPECT_TRUE(VerifyPackageHash(dir.File(L"missing.bin"), L"0"));
  EXPECT_FALSE(VerifyPackageHash(dir.File(L"missing.bin"), L"d41d8cd98f00b204e9800998ecf8427e"));
}

// The waits between the attempts at a package cannot be seen by a whole run
// without waiting minutes, so they are counted here on a clock that does not sleep.
class CountingClock : public WaitClock {
 public:
  void Wait(uint32_t milliseconds) override {
    waits.push_back(milliseconds);
    if (onWait) onWait();
  }
  std::vector<uint32_t> waits;
  std::function<void()> onWait;
};

TEST(DownloadPackages, FailedAttemptsWaitOnlyWhenTheRetryMarkerIsThere) {
  tavo_test::LoopbackServer server;
  START_LOOPBACK_SERVER(server);
  ASSERT_TRUE(server.WriteFile("/a.msi", net_test::Pattern(1)));
  for (int row = 0; row < 3; ++row) {
    const bool marker = row != 0, recovers = row == 2;
    tavo_test::TempDir work;
    tavo_test::LogCapture log;
    if (marker) {
      ASSERT_TRUE(WriteBytes(JoinPath(work.path(), kRetryMarkerFileName), ""));
    }
    ASSERT_TRUE(server.ClearRules());
    ASSERT_TRUE(server.ClearRequests());
    ASSERT_TRUE(server.SetRule("/a.msi", "status=503"));
    CountingClock clock;
    if (recovers) clock.onWait = [&] { server.ClearRules(); };
    LauncherContext context;
    context.WorkFolder = work.path();
    PackageEntry entry;
    entry.PackageDownloadURL = server.Url("/a.msi");
    entry.PackageFileName = L"a.msi";
    entry.PackageHash = L"0";
    entry.Architecture = entry.ProductType = 99;
    std::vector<PackageEntry> packages = {entry};
    int32_t code = 0;
    EXPECT_EQ(recovers, DownloadPackages(context, &packages, nullptr, &code, clock)) << row;
    EXPECT_EQ(recovers ? kDownloadErrorStarted : kDownloadErrorPackageFailed, code) << row;
    EXPECT_EQ(recovers, packages[0].Verified) << row;
    const size_t attempts = recovers ? 2 : kPackageDownloadAttempts;
    EXPECT_EQ(attempts, server.RequestsFor("/a.msi").size()) << row;
    EXPECT_EQ(std::vector<uint32_t>(marker ? attempts - 1 : 0, kRetryWaitMs), clock.waits) << row;
  }
}

TEST(ExpandPathMacros, EveryTokenBecomesItsFolder) {
  auto trimmed = [](std::wstring folder) {
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
  };
  const std::wstring system = trimmed(platform::GetSystemFolder()), temp = platform::GetTempFolder(),
                     current = ParentFolder(platform::GetModulePath()), windows = trimmed(platform::GetWindowsFolder()),
                     desktop = EnsureTrailingSeparator(platform::GetDesktopFolder()), root = ExpandPathMacros(L"*WINDIR*");
  for (const auto& folder : {system, temp, current, windows, desktop, root}) ASSERT_FALSE(folder.empty());
  const std::pair<std::wstring, std::wstring> rows[] = {
      {L"*SYSTEM32*\\a.dll", system + L"\\a.dll"},
      {L"*USERTEMP*a.msi", temp + L"a.msi"},
      {L"*CURRENTPATH*a.exe", current + L"a.exe"},
      {L"*SYSTEMDRIVE*", windows},
      {L"*DISKTOP*x.lnk", desktop + L"x.lnk"},
      {L"\"*USERTEMP*a.exe\" /log \"*USERTEMP*a.log\"", L"\"" + temp + L"a.exe\" /log \"" + temp + L"a.log\""},
      {L"", L""},
      {L"C:\\plain\\path.msi", L"C:\\plain\\path.msi"},
      // Tokens are case-sensitive and need both asterisks.
      {L"*usertemp*a", L"*usertemp*a"},
      {L"USERTEMP*a", L"USERTEMP*a"},
      {L"**", L"**"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.second, ExpandPathMacros(row.first));
  // *WINDIR* is the root of the system folder's drive.
  EXPECT_EQ(0u, system.find(root.substr(0, root.size() - 1)));
  EXPECT_EQ(platform::PathSeparator(), root.back());
  // The temporary folder ends in one separator: a name after it never doubles it.
  EXPECT_EQ(std::wstring::npos, ExpandPathMacros(L"*USERTEMP*x").find(std::wstring(2, platform::PathSeparator())));
}

}  // namespace

#include "net/package_download.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "app/paths.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "tests/net/net_test_util.h"
#include "tests/support/log_capture.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace {

using net_test::FakeClock;
using net_test::Pattern;
using net_test::RecordingTarget;
using net_test::SameBytes;
using tavo_test::LogCapture;
using tavo_test::LoopbackServer;
using tavo_test::ReadBytes;
using tavo_test::TempDir;
using tavo_test::WriteBytes;

const wchar_t kDownloadStart[] = L"パッケージのダウンロード（関数処理）を行います。";
const wchar_t kNotApplicable[] = L"以下のパッケージは、条件に一致しないためダウンロードされません。";
const wchar_t kDownloading[] = L"以下のファイルをダウンロードします。";
const wchar_t kHashDone[] = L"ハッシュ解析処理を完了しました。";
const wchar_t kHashWrong[] = L"ハッシュデータに誤りがあります。";
const wchar_t kHashSkipped[] = L"ハッシュを確認しません。";

std::wstring Retry(int attempt) {
  return L"以下のプログラムのダウンロードに失敗しました。(リトライ:" + std::to_wstring(attempt) + L")";
}

std::wstring WithCode(const std::wstring& text) { return text + L" (ERRORCODE "; }

// The MD5 digest of Pattern(size, 0), as md5sum prints it.
struct KnownDigest {
  size_t size;
  const char* md5;
};
const KnownDigest kDigests[] = {
    {0, "d41d8cd98f00b204e9800998ecf8427e"},     {1, "93b885adfe0da089cdf634904fd59f71"},
    {63999, "47b08fedc24fb7d50125fff36b28feff"}, {64000, "37816152c91b4d73fe3a7faeb4371cd5"},
    {64001, "681ebdb883b8e4530d8464c5aa5a0783"}, {200000, "78bcc89c082c48f2f68843beca96b86b"},
};

std::wstring Wide(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

// A package for every machine and edition.
PackageEntry Package(const std::wstring& url, const std::wstring& fileName, const std::wstring& hash) {
  PackageEntry entry;
  entry.PackageDownloadURL = url;
  entry.PackageVersion = L"1.0";
  entry.PackageName = L"package";
  entry.PackageHash = hash;
  entry.PackageFileName = fileName;
  entry.Architecture = 99;
  entry.ProductType = 99;
  return entry;
}

class NetFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    START_LOOPBACK_SERVER(server_);
    context_.WorkFolder = work_.path();
    context_.DownloadConfigPath = work_.File(L"DownloadConfig.xml");
    context_.Settings.ProductType = 1;
  }

  // Serves Pattern(size, seed) at path and returns its digest for sizes of
  // kDigests (seed 0), or the given hash.
  std::wstring Serve(const std::string& path, size_t size) {
    EXPECT_TRUE(server_.WriteFile(path, Pattern(size)));
    for (const KnownDigest& d : kDigests) {
      if (d.size == size) return Wide(d.md5);
    }
    ADD_FAILURE() << "no known digest for " << size;
    return L"";
  }

  std::wstring RefusedBase() const {
    return L"http://127.0.0.1:" + std::to_wstring(tavo_test::UnusedLoopbackPort()) + L"/";
  }

  LoopbackServer server_;
  TempDir work_;
  LauncherContext context_;
  LogCapture log_;
  FakeClock clock_;
  int32_t errorCode_ = 0;
};

// --- CheckServers ------------------------------------------------------------

TEST_F(NetFlowTest, CheckServersSkipsEmptyAndUnreachableServers) {
  std::wstring refused = RefusedBase();
  std::wstring base = server_.BaseUrl();
  base.pop_back();  // "/" is appended when missing
  context_.Settings.DownloadServers = {L"", refused, base};
  EXPECT_TRUE(CheckServers(context_));

  auto entries = log_.Entries();
  ASSERT_EQ(3u, entries.size());
  EXPECT_TRUE(entries[0].error);
  EXPECT_EQ(0u, entries[0].text.find(WithCode(L"接続確認に失敗しました。")));
  EXPECT_TRUE(entries[1].error);
  EXPECT_EQ(0u, entries[1].text.find(WithCode(refused + L"DownloadConfig.xml")));
  EXPECT_FALSE(entries[2].error);
  EXPECT_EQ(L"接続を確認しました。", entries[2].text);
  // The probe asks for the download configuration, whatever the answer.
  EXPECT_EQ(1u, server_.RequestsFor("/DownloadConfig.xml").size());
}

TEST_F(NetFlowTest, CheckServersCountsAnyAnswerAndStopsAtTheFirst) {
  context_.Settings.DownloadServers = {server_.Url("/missing"), server_.Url("/second/")};
  EXPECT_TRUE(CheckServers(context_));
  EXPECT_EQ(1u, server_.RequestsFor("/missing/DownloadConfig.xml").size());
  EXPECT_EQ(0u, server_.RequestsFor("/second/DownloadConfig.xml").size());
  EXPECT_EQ(std::vector<std::wstring>{L"接続を確認しました。"}, log_.Texts());
}

TEST_F(NetFlowTest, CheckServersFailsWhenNoServerAnswers) {
  context_.Settings.DownloadServers = {RefusedBase(), L"", RefusedBase()};
  EXPECT_FALSE(CheckServers(context_));
  EXPECT_EQ(4u, log_.Entries().size());
  EXPECT_FALSE(log_.Contains(L"接続を確認しました。"));
}

TEST_F(NetFlowTest, CheckServersWithoutServersFails) {
  EXPECT_FALSE(CheckServers(context_));
  EXPECT_TRUE(log_.Entries().empty());
}

// --- FetchDownloadConfig --------------------------------------------------------

TEST_F(NetFlowTest, FetchTakesTheFirstServerThatDelivers) {
  const std::string xml = "<?xml version=\"1.0\"?><DownloadConfig><PackageDownloadServerCount>0"
                          "</PackageDownloadServerCount></DownloadConfig>";
  ASSERT_TRUE(server_.WriteFile("/good/DownloadConfig.xml", xml));
  ASSERT_TRUE(server_.SetRule("/bad/DownloadConfig.xml", "status=500"));
  std::wstring bad = server_.Url("/bad");
  std::wstring good = server_.Url("/good/");
  context_.Settings.DownloadServers = {L"", bad, good, server_.Url("/never/")};
  ASSERT_TRUE(FetchDownloadConfig(context_));
  EXPECT_EQ(xml, ReadBytes(context_.DownloadConfigPath));
  EXPECT_EQ(0u, server_.RequestsFor("/never/DownloadConfig.xml").size());

  auto entries = log_.Entries();
  ASSERT_EQ(6u, entries.size());
  EXPECT_EQ(0u, entries[0].text.find(WithCode(L"設定ファイル(DLConfig)のダウンロードに失敗しました。")));
  EXPECT_EQ(0u, entries[1].text.find(WithCode(bad + L"/DownloadConfig.xml")));
  EXPECT_EQ(0u, entries[2].text.find(WithCode(context_.DownloadConfigPath)));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(entries[i].error);
  EXPECT_EQ(L"設定ファイル(DLConfig)のダウンロードに成功しました。", entries[3].text);
  EXPECT_EQ(good + L"DownloadConfig.xml", entries[4].text);
  EXPECT_EQ(context_.DownloadConfigPath, entries[5].text);
  for (int i = 3; i < 6; ++i) EXPECT_FALSE(entries[i].error);
}

TEST_F(NetFlowTest, FetchFailsWhenNoServerDelivers) {
  context_.Settings.DownloadServers = {server_.Url("/a"), RefusedBase()};
  EXPECT_FALSE(FetchDownloadConfig(context_));
  EXPECT_FALSE(platform::FileExists(context_.DownloadConfigPath));
  EXPECT_EQ(6u, log_.Entries().size());
}

// --- DownloadPackages ---------------------------------------------------------

TEST_F(NetFlowTest, DownloadsAndVerifiesEveryPackage) {
  // Lower case, upper case and a hash split over two lines all match.
  std::wstring h1 = Serve("/p/one.msi", 64000);
  std::wstring h2 = Serve("/p/two.msi", 200000);
  std::wstring h3 = Serve("/p/three.exe", 1);
  std::vector<PackageEntry> packages = {
      Package(server_.Url("/p/one.msi"), L"one.msi", h1),
      Package(server_.Url("/p/two.msi"), L"two.msi", Upper(h2)),
      Package(server_.Url("/p/three.exe"), L"three.exe", h3.substr(0, 16) + L"\n" + h3.substr(16)),
  };
  EXPECT_TRUE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  EXPECT_EQ(2, errorCode_);
  for (const PackageEntry& p : packages) EXPECT_TRUE(p.Verified) << platform::WideToUtf8(p.PackageFileName);
  EXPECT_TRUE(SameBytes(Pattern(200000), ReadBytes(work_.File(L"two.msi"))));
  EXPECT_TRUE(clock_.waits.empty());

  std::vector<std::wstring> texts = log_.Texts();
  ASSERT_GE(texts.size(), 9u);
  EXPECT_EQ(kDownloadStart, texts[0]);
  EXPECT_EQ(kDownloading, texts[1]);
  EXPECT_EQ(server_.Url("/p/one.msi"), texts[2]);
  EXPECT_EQ(work_.File(L"one.msi"), texts[3]);
  EXPECT_EQ(L"ダウンロードしたファイルのハッシュ値", texts[4]);
  EXPECT_EQ(Upper(h1), texts[5]);
  EXPECT_EQ(L"設定ファイルのハッシュ値", texts[6]);
  EXPECT_EQ(Upper(h1), texts[7]);
  EXPECT_EQ(kHashDone, texts[8]);
  for (const auto& entry : log_.Entries()) EXPECT_FALSE(entry.error) << platform::WideToUtf8(entry.text);
}

TEST_F(NetFlowTest, SecondOfThreeFailingLeavesTheThirdUnverified) {
  std::wstring h1 = Serve("/one.msi", 1);
  std::wstring h3 = Serve("/three.msi", 64001);
  ASSERT_TRUE(server_.SetRule("/two.msi", "status=404"));
  std::vector<PackageEntry> packages = {
      Package(server_.Url("/one.msi"), L"one.msi", h1),
      Package(server_.Url("/two.msi"), L"two.msi", h1),
      Package(server_.Url("/three.msi"), L"three.msi", L"ffffffffffffffffffffffffffffffff"),
  };
  EXPECT_FALSE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  EXPECT_EQ(6, errorCode_);
  EXPECT_TRUE(packages[0].Verified);
  EXPECT_FALSE(packages[1].Verified);
  // Still downloaded, but no longer checked: its wrong hash does not matter.
  EXPECT_FALSE(packages[2].Verified);
  EXPECT_TRUE(SameBytes(Pattern(64001), ReadBytes(work_.File(L"three.msi"))));
  EXPECT_EQ(3u, server_.RequestsFor("/two.msi").size());
  EXPECT_TRUE(clock_.waits.empty()) << "no marker, no wait";
  EXPECT_FALSE(log_.Contains(kHashWrong));

  std::vector<std::wstring> texts = log_.Texts();
  for (int attempt = 0; attempt < 3; ++attempt) {
    int line = -1;
    for (size_t i = 0; i < texts.size(); ++i) {
      if (texts[i].find(WithCode(Retry(attempt))) == 0) line = static_cast<int>(i);
    }
    ASSERT_GE(line, 0) << "attempt " << attempt;
    EXPECT_EQ(0u, texts[line + 1].find(WithCode(work_.File(L"two.msi"))));
    EXPECT_EQ(0u, texts[line + 2].find(WithCode(server_.Url("/two.msi"))));
  }
}

TEST_F(NetFlowTest, RetryMarkerMakesEachFailedAttemptWaitAMinute) {
  ASSERT_TRUE(WriteBytes(work_.File(L"$retry$.dat"), ""));
  std::wstring refused = RefusedBase();
  std::vector<PackageEntry> packages = {Package(refused + L"a.msi", L"a.msi", L"0")};
  EXPECT_FALSE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  EXPECT_EQ(6, errorCode_);
  EXPECT_EQ((std::vector<uint32_t>{60000, 60000}), clock_.waits);
  EXPECT_FALSE(packages[0].Verified);
}

TEST_F(NetFlowTest, WithoutTheMarkerFailedAttemptsFollowAtOnce) {
  ASSERT_TRUE(server_.SetRule("/a.msi", "status=503"));
  std::vector<PackageEntry> packages = {Package(server_.Url("/a.msi"), L"a.msi", L"0")};
  EXPECT_FALSE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  EXPECT_EQ(6, errorCode_);
  EXPECT_TRUE(clock_.waits.empty());
  EXPECT_EQ(3u, server_.RequestsFor("/a.msi").size());
}

TEST_F(NetFlowTest, ServerThatRecoversDuringTheWaitDeliversOnTheNextAttempt) {
  ASSERT_TRUE(WriteBytes(work_.File(L"$retry$.dat"), "anything"));
  std::wstring hash = Serve("/a.msi", 64000);
  ASSERT_TRUE(server_.SetRule("/a.msi", "status=500"));
  clock_.onWait = [this] { server_.ClearRules(); };
  std::vector<PackageEntry> packages = {Package(server_.Url("/a.msi"), L"a.msi", hash)};
  EXPECT_TRUE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  EXPECT_EQ(2, errorCode_);
  EXPECT_TRUE(packages[0].Verified);
  EXPECT_EQ(std::vector<uint32_t>{60000}, clock_.waits);
  EXPECT_EQ(2u, server_.RequestsFor("/a.msi").size());
  EXPECT_TRUE(log_.Contains(kHashDone));
}

TEST_F(NetFlowTest, HashMismatchStopsAtOnce) {
  std::wstring h = Serve("/a.msi", 1);
  Serve("/b.msi", 0);
  const std::wstring wrong = L"00000000000000000000000000000000";
  std::vector<PackageEntry> packages = {
      Package(server_.Url("/a.msi"), L"a.msi", wrong),
      Package(server_.Url("/b.msi"), L"b.msi", L"0"),
  };
  EXPECT_FALSE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  EXPECT_EQ(9, errorCode_);
  EXPECT_FALSE(packages[0].Verified);
  EXPECT_FALSE(packages[1].Verified);
  EXPECT_TRUE(server_.RequestsFor("/b.msi").empty()) << "later packages are not handled";

  auto entries = log_.Entries();
  ASSERT_GE(entries.size(), 2u);
  EXPECT_TRUE(entries[entries.size() - 2].error);
  EXPECT_EQ(0u, entries[entries.size() - 2].text.find(WithCode(kHashWrong)));
  EXPECT_EQ(0u, entries.back().text.find(WithCode(wrong)));
  EXPECT_TRUE(log_.Contains(Upper(h)));
}

TEST_F(NetFlowTest, HashZeroAcceptsAnyFile) {
  ASSERT_TRUE(server_.WriteFile("/a.bin", "whatever"));
  std::vector<PackageEntry> packages = {Package(server_.Url("/a.bin"), L"a.bin", L"0")};
  EXPECT_TRUE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  EXPECT_TRUE(packages[0].Verified);
  EXPECT_TRUE(log_.Contains(kHashSkipped));
  EXPECT_FALSE(log_.Contains(L"ダウンロードしたファイルのハッシュ値"));
}

TEST_F(NetFlowTest, PackageNotMeantForThisMachineIsNeitherFetchedNorAFailure) {
  std::wstring h = Serve("/ok.msi", 1);
  PackageEntry manual = Package(server_.Url("/manual.pdf"), L"manual.pdf", L"0");
  manual.IsManual = 1;
  PackageEntry oldLauncher = Package(server_.Url("/old.msi"), L"old.msi", L"0");
  oldLauncher.LauncherVersion = 129;
  std::vector<PackageEntry> packages = {manual, Package(server_.Url("/ok.msi"), L"ok.msi", h), oldLauncher};
  EXPECT_TRUE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  EXPECT_EQ(2, errorCode_);
  EXPECT_FALSE(packages[0].Verified);
  EXPECT_TRUE(packages[1].Verified);
  EXPECT_FALSE(packages[2].Verified);
  EXPECT_TRUE(server_.RequestsFor("/manual.pdf").empty());
  EXPECT_TRUE(server_.RequestsFor("/old.msi").empty());
  std::vector<std::wstring> texts = log_.Texts();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(kNotApplicable, texts[1]);
  EXPECT_EQ(server_.Url("/manual.pdf"), texts[2]);
  EXPECT_EQ(kNotApplicable, texts[texts.size() - 2]);
  EXPECT_EQ(server_.Url("/old.msi"), texts.back());
}

TEST_F(NetFlowTest, EmptyUrlFailsTheDownload) {
  std::vector<PackageEntry> packages = {Package(L"", L"a.msi", L"0")};
  EXPECT_FALSE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  EXPECT_EQ(6, errorCode_);
}

TEST_F(NetFlowTest, SaveFilePathWithMacroIsUsedAsTheFullPath) {
  std::wstring h = Serve("/a.msi", 1);
  PackageEntry entry = Package(server_.Url("/a.msi"), L"ignored.msi", h);
  std::wstring name = L"tavo-net-test-" + std::to_wstring(server_.port()) + L".msi";
  entry.SaveFilePath = L"*USERTEMP*" + name;
  std::vector<PackageEntry> packages = {entry};
  EXPECT_TRUE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  std::wstring expected = platform::GetTempFolder() + name;
  EXPECT_TRUE(SameBytes(Pattern(1), ReadBytes(expected)));
  EXPECT_FALSE(platform::FileExists(work_.File(L"ignored.msi")));
  EXPECT_TRUE(log_.Contains(expected));
  platform::DeleteFileAt(expected);
}

TEST_F(NetFlowTest, ProgressOfAPackageGoesToTheStatusPage) {
  ASSERT_TRUE(server_.WriteFile("/big.msi", Pattern(102400)));
  PackageEntry entry = Package(server_.Url("/big.msi"), L"big.msi", L"0");
  entry.PackageFileSize = 100;
  std::vector<PackageEntry> packages = {entry};
  RecordingTarget target;
  EXPECT_TRUE(DownloadPackages(context_, &packages, &target, &errorCode_, clock_));
  ASSERT_EQ(2u, target.messages.size());
  EXPECT_EQ(WM_DOWNLOAD_PROGRESS, target.messages[0].message);
  EXPECT_EQ(0x8000u + 0x138Bu, target.messages[0].message);
  EXPECT_EQ(L"100KB/100KB", target.messages[1].text);
}

TEST_F(NetFlowTest, NoPackagesSucceeds) {
  std::vector<PackageEntry> packages;
  EXPECT_TRUE(DownloadPackages(context_, &packages, nullptr, &errorCode_, clock_));
  EXPECT_EQ(2, errorCode_);
  EXPECT_EQ(std::vector<std::wstring>{kDownloadStart}, log_.Texts());
}

// --- VerifyPackageHash ---------------------------------------------------------

class VerifyHashTest : public ::testing::TestWithParam<KnownDigest> {
 protected:
  TempDir dir_;
  LogCapture log_;
};

TEST_P(VerifyHashTest, MatchesTheDigestAcrossBlockBoundaries) {
  const KnownDigest& d = GetParam();
  std::wstring path = dir_.File(L"file.bin");
  ASSERT_TRUE(WriteBytes(path, Pattern(d.size)));
  std::wstring digest;
  ASSERT_TRUE(ComputeFileMd5(path, &digest));
  EXPECT_EQ(Wide(d.md5), digest);
  EXPECT_TRUE(VerifyPackageHash(path, Wide(d.md5)));
  EXPECT_TRUE(VerifyPackageHash(path, Upper(Wide(d.md5))));
  EXPECT_TRUE(VerifyPackageHash(path, Wide(d.md5).substr(0, 10) + L"\r\n" + Wide(d.md5).substr(10)));
  EXPECT_FALSE(VerifyPackageHash(path, Wide(d.md5).substr(1)));
}

INSTANTIATE_TEST_SUITE_P(Sizes, VerifyHashTest, ::testing::ValuesIn(kDigests),
                         [](const ::testing::TestParamInfo<KnownDigest>& info) {
                           return "Bytes" + std::to_string(info.param.size);
                         });

TEST(VerifyHash, KnownVectorAndLogLines) {
  TempDir dir;
  LogCapture log;
  std::wstring path = dir.File(L"abc.txt");
  ASSERT_TRUE(WriteBytes(path, "abc"));
  EXPECT_TRUE(VerifyPackageHash(path, L"900150983Cd24fb0D6963f7d28E17F72"));
  EXPECT_EQ((std::vector<std::wstring>{L"ダウンロードしたファイルのハッシュ値", L"900150983CD24FB0D6963F7D28E17F72",
                                       L"設定ファイルのハッシュ値", L"900150983CD24FB0D6963F7D28E17F72"}),
            log.Texts());
}

TEST(VerifyHash, SplitHashWithEitherLineEndMatches) {
  TempDir dir;
  LogCapture log;
  std::wstring path = dir.File(L"abc.txt");
  ASSERT_TRUE(WriteBytes(path, "abc"));
  EXPECT_TRUE(VerifyPackageHash(path, L"900150983cd24fb0\r\nd6963f7d28e17f72"));
  EXPECT_TRUE(VerifyPackageHash(path, L"900150983cd24fb0\nd6963f7d28e17f72"));
  EXPECT_TRUE(VerifyPackageHash(path, L"900150983cd24fb0d6963f7d28e17f72\r\n"));
  EXPECT_FALSE(VerifyPackageHash(path, L"900150983cd24fb0 d6963f7d28e17f72"));
}

TEST(VerifyHash, ZeroAcceptsEvenAMissingFile) {
  TempDir dir;
  LogCapture log;
  EXPECT_TRUE(VerifyPackageHash(dir.File(L"missing.bin"), L"0"));
  EXPECT_EQ(std::vector<std::wstring>{L"ハッシュを確認しません。"}, log.Texts());
  // Only exactly "0" skips the check.
  EXPECT_FALSE(VerifyPackageHash(dir.File(L"missing.bin"), L"00"));
}

TEST(VerifyHash, MissingFileIsNotAcceptedAndLogsNothing) {
  TempDir dir;
  LogCapture log;
  EXPECT_FALSE(VerifyPackageHash(dir.File(L"missing.bin"), L"d41d8cd98f00b204e9800998ecf8427e"));
  EXPECT_TRUE(log.Texts().empty());
}

TEST(VerifyHash, EmptyHashTextDoesNotMatch) {
  TempDir dir;
  LogCapture log;
  std::wstring path = dir.File(L"empty.bin");
  ASSERT_TRUE(WriteBytes(path, ""));
  EXPECT_FALSE(VerifyPackageHash(path, L""));
}

// --- ExpandPathMacros -------------------------------------------------------------

std::wstring NoTrailingSeparator(std::wstring folder) {
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return folder;
}

TEST(ExpandPathMacros, ReplacesEveryTokenWithItsFolder) {
  const std::wstring system = NoTrailingSeparator(platform::GetSystemFolder());
  const std::wstring temp = platform::GetTempFolder();
  const std::wstring current = ParentFolder(platform::GetModulePath());
  const std::wstring windows = NoTrailingSeparator(platform::GetWindowsFolder());
  const std::wstring desktop = EnsureTrailingSeparator(platform::GetDesktopFolder());
  ASSERT_FALSE(system.empty());
  ASSERT_FALSE(temp.empty());
  ASSERT_FALSE(current.empty());
  ASSERT_FALSE(windows.empty());
  ASSERT_FALSE(desktop.empty());
  EXPECT_EQ(system + L"\\a.dll", ExpandPathMacros(L"*SYSTEM32*\\a.dll"));
  EXPECT_EQ(temp + L"a.msi", ExpandPathMacros(L"*USERTEMP*a.msi"));
  EXPECT_EQ(current + L"a.exe", ExpandPathMacros(L"*CURRENTPATH*a.exe"));
  EXPECT_EQ(windows, ExpandPathMacros(L"*SYSTEMDRIVE*"));
  EXPECT_EQ(desktop + L"x.lnk", ExpandPathMacros(L"*DISKTOP*x.lnk"));
  const std::wstring root = ExpandPathMacros(L"*WINDIR*");
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(0u, system.find(root.substr(0, root.size() - 1))) << "the root of the system folder's drive";
  EXPECT_EQ(platform::PathSeparator(), root.back());
}

TEST(ExpandPathMacros, ReplacesEveryOccurrenceAndLeavesOtherTextAlone) {
  const std::wstring temp = platform::GetTempFolder();
  EXPECT_EQ(L"\"" + temp + L"a.exe\" /log \"" + temp + L"a.log\"",
            ExpandPathMacros(L"\"*USERTEMP*a.exe\" /log \"*USERTEMP*a.log\""));
  EXPECT_EQ(L"", ExpandPathMacros(L""));
  EXPECT_EQ(L"C:\\plain\\path.msi", ExpandPathMacros(L"C:\\plain\\path.msi"));
  // Tokens are case-sensitive and need both asterisks.
  EXPECT_EQ(L"*usertemp*a", ExpandPathMacros(L"*usertemp*a"));
  EXPECT_EQ(L"USERTEMP*a", ExpandPathMacros(L"USERTEMP*a"));
  EXPECT_EQ(L"**", ExpandPathMacros(L"**"));
}

}  // namespace

#include "config/download_config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "app/text.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::LogCapture;
using tavo_test::TempDir;
using tavo_test::WriteBytes;

const wchar_t kStart[] = L"設定ファイルの解析処理を実行します。";

// One package element with the required values filled in; `extra` is more
// XML inside it, `skip` leaves one required key out.
std::string PackageXml(int index, const std::string& extra = "", const std::string& skip = "") {
  char name[32];
  std::snprintf(name, sizeof(name), "Package%02d", index);
  std::string xml = std::string("<") + name + ">";
  xml += "<PackageDownloadURL>http://dl.example/p" + std::to_string(index) + ".msi</PackageDownloadURL>";
  if (skip != "PackageVersion") xml += "<PackageVersion>1." + std::to_string(index) + "</PackageVersion>";
  if (skip != "PackageName") xml += "<PackageName>Package " + std::to_string(index) + "</PackageName>";
  if (skip != "PackageHash") xml += "<PackageHash>0</PackageHash>";
  if (skip != "PackageFileName") xml += "<PackageFileName>p" + std::to_string(index) + ".msi</PackageFileName>";
  xml += extra;
  xml += std::string("</") + name + ">";
  return xml;
}

std::string ConfigXml(const std::string& count, const std::string& packages) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DownloadConfig>";
  if (!count.empty()) xml += "<PackageDownloadServerCount>" + count + "</PackageDownloadServerCount>";
  return xml + packages + "</DownloadConfig>\n";
}

class DownloadConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.WorkFolder = dir_.path();
    context_.DownloadConfigPath = dir_.File(L"DownloadConfig.xml");
  }
  void Write(const std::string& xml) { ASSERT_TRUE(WriteBytes(context_.DownloadConfigPath, xml)); }
  bool Parse() { return ParseDownloadConfig(context_, &packages_); }

  TempDir dir_;
  LauncherContext context_;
  std::vector<PackageEntry> packages_;
  LogCapture log_;
};

TEST_F(DownloadConfigTest, MissingFileFails) {
  EXPECT_FALSE(Parse());
  auto entries = log_.Entries();
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(kStart, entries[0].text);
  EXPECT_FALSE(entries[0].error);
  EXPECT_TRUE(entries[1].error);
  EXPECT_EQ(0u, entries[1].text.find(L"設定ファイルがありませんでした。 (ERRORCODE "));
}

TEST_F(DownloadConfigTest, MalformedFileFails) {
  const char* bad[] = {"", "<DownloadConfig><PackageDownloadServerCount>1</DownloadConfig>", "not xml at all",
                       "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e \"x\">]><DownloadConfig/>"};
  for (const char* xml : bad) {
    log_.Clear();
    Write(xml);
    EXPECT_FALSE(Parse()) << xml;
    auto entries = log_.Entries();
    ASSERT_EQ(2u, entries.size()) << xml;
    EXPECT_TRUE(entries[1].error);
    EXPECT_EQ(0u, entries[1].text.find(L"設定ファイルの解析に失敗しました。 (ERRORCODE ")) << xml;
  }
  EXPECT_TRUE(packages_.empty());
}

TEST_F(DownloadConfigTest, MissingOrZeroCountGivesNoPackages) {
  for (const char* count : {"", "0", "  0", "none"}) {
    packages_.clear();
    Write(ConfigXml(count, PackageXml(0) + PackageXml(1)));
    EXPECT_TRUE(Parse()) << count;
    EXPECT_TRUE(packages_.empty()) << count;
  }
  EXPECT_EQ(std::vector<std::wstring>(4, kStart), log_.Texts());
}

TEST_F(DownloadConfigTest, ReadsEveryFieldAndItsDefaults) {
  std::string full =
      "<SaveFilePath>*USERTEMP*a.msi</SaveFilePath><ExecCommand>\"*USERTEMP*a.exe\" /q</ExecCommand>"
      "<ExecType>2</ExecType><ErrorSkip>1</ErrorSkip><ExecSuccessCode>3010</ExecSuccessCode>"
      "<Architecture>1</Architecture><ProductType>6</ProductType><PackageFileSize>4294967295</PackageFileSize>"
      "<TargetOS>14</TargetOS><IsManual>1</IsManual><ManualType>3</ManualType><LauncherVersion>131</LauncherVersion>";
  Write(ConfigXml("2", PackageXml(0, full) + PackageXml(1)));
  ASSERT_TRUE(Parse());
  ASSERT_EQ(2u, packages_.size());
  const PackageEntry& a = packages_[0];
  EXPECT_EQ(L"http://dl.example/p0.msi", a.PackageDownloadURL);
  EXPECT_EQ(L"1.0", a.PackageVersion);
  EXPECT_EQ(L"Package 0", a.PackageName);
  EXPECT_EQ(L"*USERTEMP*a.msi", a.SaveFilePath);
  EXPECT_EQ(L"\"*USERTEMP*a.exe\" /q", a.ExecCommand);
  EXPECT_EQ(L"0", a.PackageHash);
  EXPECT_EQ(L"p0.msi", a.PackageFileName);
  EXPECT_EQ(2, a.ExecType);
  EXPECT_EQ(1, a.ErrorSkip);
  EXPECT_EQ(3010, a.ExecSuccessCode);
  EXPECT_EQ(1, a.Architecture);
  EXPECT_EQ(6, a.ProductType);
  EXPECT_EQ(4294967295u, a.PackageFileSize);
  EXPECT_EQ(14, a.TargetOS);
  EXPECT_EQ(1, a.IsManual);
  EXPECT_EQ(3, a.ManualType);
  EXPECT_EQ(131, a.LauncherVersion);
  EXPECT_FALSE(a.Verified);

  const PackageEntry& b = packages_[1];
  EXPECT_EQ(L"", b.SaveFilePath);
  EXPECT_EQ(L"", b.ExecCommand);
  EXPECT_EQ(1, b.ExecType);
  EXPECT_EQ(0, b.ErrorSkip);
  EXPECT_EQ(0, b.ExecSuccessCode);
  EXPECT_EQ(0, b.Architecture);
  EXPECT_EQ(1, b.ProductType);
  EXPECT_EQ(0u, b.PackageFileSize);
  EXPECT_EQ(0, b.TargetOS);
  EXPECT_EQ(0, b.IsManual);
  EXPECT_EQ(99, b.ManualType);
  EXPECT_EQ(130, b.LauncherVersion);
  EXPECT_FALSE(b.Verified);
  EXPECT_EQ(std::vector<std::wstring>{kStart}, log_.Texts());
}

TEST_F(DownloadConfigTest, EmptyNumbersTakeTheirDefaults) {
  Write(ConfigXml("1", PackageXml(0, "<ExecType></ExecType><ManualType/><LauncherVersion></LauncherVersion>")));
  ASSERT_TRUE(Parse());
  ASSERT_EQ(1u, packages_.size());
  EXPECT_EQ(1, packages_[0].ExecType);
  EXPECT_EQ(99, packages_[0].ManualType);
  EXPECT_EQ(130, packages_[0].LauncherVersion);
}

TEST_F(DownloadConfigTest, CountLargerThanThePackagesFailsAndKeepsTheReadOnes) {
  Write(ConfigXml("3", PackageXml(0) + PackageXml(1)));
  EXPECT_FALSE(Parse());
  ASSERT_EQ(2u, packages_.size());
  EXPECT_EQ(L"p1.msi", packages_[1].PackageFileName);
  // No message of its own: the caller reports the failed parse.
  EXPECT_EQ(std::vector<std::wstring>{kStart}, log_.Texts());
}

TEST_F(DownloadConfigTest, CountSmallerThanThePackagesReadsOnlyThatMany) {
  Write(ConfigXml("1", PackageXml(0) + PackageXml(1)));
  EXPECT_TRUE(Parse());
  EXPECT_EQ(1u, packages_.size());
}

TEST_F(DownloadConfigTest, NegativeOrAbsurdCountRunsIntoTheFirstMissingPackage) {
  for (const char* count : {"-1", "2147483647", "99999999999"}) {
    packages_.clear();
    Write(ConfigXml(count, PackageXml(0) + PackageXml(1) + PackageXml(2)));
    EXPECT_FALSE(Parse()) << count;
    EXPECT_EQ(3u, packages_.size()) << count;
  }
}

TEST_F(DownloadConfigTest, GapInTheIndexesEndsTheParse) {
  Write(ConfigXml("3", PackageXml(0) + PackageXml(2)));
  EXPECT_FALSE(Parse());
  EXPECT_EQ(1u, packages_.size());
}

class DownloadConfigRequiredTest : public DownloadConfigTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(DownloadConfigRequiredTest, MissingOrEmptyRequiredValueFails) {
  const std::string key = GetParam();
  // Left out of the second package.
  Write(ConfigXml("3", PackageXml(0) + PackageXml(1, "", key) + PackageXml(2)));
  EXPECT_FALSE(Parse());
  EXPECT_EQ(1u, packages_.size());

  // Present but empty in the first package.
  packages_.clear();
  Write(ConfigXml("1", PackageXml(0, "<" + key + "></" + key + ">", key)));
  EXPECT_FALSE(Parse());
  EXPECT_TRUE(packages_.empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, DownloadConfigRequiredTest,
                         ::testing::Values("PackageVersion", "PackageName", "PackageHash", "PackageFileName"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

TEST_F(DownloadConfigTest, EmptyUrlIsAccepted) {
  Write(ConfigXml("1", "<Package00><PackageDownloadURL></PackageDownloadURL><PackageVersion>1</PackageVersion>"
                       "<PackageName>n</PackageName><PackageHash>0</PackageHash>"
                       "<PackageFileName>f.msi</PackageFileName></Package00>"));
  EXPECT_TRUE(Parse());
  ASSERT_EQ(1u, packages_.size());
  EXPECT_EQ(L"", packages_[0].PackageDownloadURL);
}

TEST_F(DownloadConfigTest, PackageOneHundredIsReadFromPackage100) {
  std::string packages;
  for (int i = 0; i <= 100; ++i) packages += PackageXml(i);
  // Decoys that must not be taken for package 100.
  packages += "<Package0100><PackageFileName>wrong.msi</PackageFileName></Package0100>";
  Write(ConfigXml("101", packages));
  ASSERT_TRUE(Parse());
  ASSERT_EQ(101u, packages_.size());
  EXPECT_EQ(L"p9.msi", packages_[9].PackageFileName);
  EXPECT_EQ(L"p99.msi", packages_[99].PackageFileName);
  EXPECT_EQ(L"p100.msi", packages_[100].PackageFileName);
  EXPECT_EQ(L"1.100", packages_[100].PackageVersion);
}

TEST_F(DownloadConfigTest, SplitHashIsKeptAsWritten) {
  Write(ConfigXml("1", "<Package00><PackageVersion>1</PackageVersion><PackageName>n</PackageName>"
                       "<PackageHash>900150983cd24fb0\r\nd6963f7d28e17f72</PackageHash>"
                       "<PackageFileName>f.msi</PackageFileName></Package00>"));
  ASSERT_TRUE(Parse());
  ASSERT_EQ(1u, packages_.size());
  std::wstring hash = RemoveLineBreaks(packages_[0].PackageHash);
  EXPECT_EQ(L"900150983cd24fb0d6963f7d28e17f72", hash);
}

TEST_F(DownloadConfigTest, TwoThousandPackagesReadInFileOrder) {
  std::string packages;
  for (int i = 0; i < 2000; ++i) packages += PackageXml(i);
  Write(ConfigXml("2000", packages));
  ASSERT_TRUE(Parse());
  ASSERT_EQ(2000u, packages_.size());
  EXPECT_EQ(L"p0.msi", packages_[0].PackageFileName);
  EXPECT_EQ(L"p1999.msi", packages_[1999].PackageFileName);
}

TEST_F(DownloadConfigTest, AppendsToRecordsAlreadyHeld) {
  packages_.push_back(PackageEntry());
  Write(ConfigXml("1", PackageXml(0)));
  ASSERT_TRUE(Parse());
  ASSERT_EQ(2u, packages_.size());
  EXPECT_EQ(L"p0.msi", packages_[1].PackageFileName);
}

}  // namespace

#include "config/download_config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace {

// One package element with the required values; `extra` is more XML inside
// it, `skip` leaves one required key out.
std::string PackageXml(int index, const std::string& extra = "", const std::string& skip = "") {
  char name[32];
  std::snprintf(name, sizeof(name), "Package%02d", index);
  const std::string n = std::to_string(index);
  std::string xml = std::string("<") + name + "><PackageDownloadURL>http://dl.example/p" + n + ".msi</PackageDownloadURL>";
  if (skip != "PackageVersion") xml += "<PackageVersion>1." + n + "</PackageVersion>";
  if (skip != "PackageName") xml += "<PackageName>Package " + n + "</PackageName>";
  if (skip != "PackageHash") xml += "<PackageHash>0</PackageHash>";
  if (skip != "PackageFileName") xml += "<PackageFileName>p" + n + ".msi</PackageFileName>";
  return xml + extra + "</" + name + ">";
}

std::string Packages(int from, int to) {
  std::string xml;
  for (int i = from; i <= to; ++i) xml += PackageXml(i);
  return xml;
}

class DownloadConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.WorkFolder = dir_.path();
    context_.DownloadConfigPath = dir_.File(L"DownloadConfig.xml");
  }
  bool Parse(const std::string& count, const std::string& packages) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DownloadConfig>";
    if (!count.empty()) xml += "<PackageDownloadServerCount>" + count + "</PackageDownloadServerCount>";
    EXPECT_TRUE(tavo_test::WriteBytes(context_.DownloadConfigPath, xml + packages + "</DownloadConfig>\n"));
    packages_.clear();
    return ParseDownloadConfig(context_, &packages_);
  }
  tavo_test::TempDir dir_;
  LauncherContext context_;
  std::vector<PackageEntry> packages_;
  tavo_test::LogCapture log_;
};

TEST_F(DownloadConfigTest, CountDecidesHowManyPackagesAreReadAndWhetherTheParseFails) {
  struct Row {
    const char* count;
    std::string packages;
    bool ok;
    size_t read;
  } rows[] = {
      {"", Packages(0, 1), true, 0},        {"0", Packages(0, 1), true, 0},
      {"  0", Packages(0, 1), true, 0},     {"none", Packages(0, 1), true, 0},
      {"1", Packages(0, 1), true, 1},       {"2", Packages(0, 1), true, 2},
      // More announced than present: fails, keeps what was read.
      {"3", Packages(0, 1), false, 2},      {"-1", Packages(0, 2), false, 3},
      {"2147483647", Packages(0, 2), false, 3}, {"99999999999", Packages(0, 2), false, 3},
      // A gap in the numbering ends the parse.
      {"3", PackageXml(0) + PackageXml(2), false, 1},
      {"2000", Packages(0, 1999), true, 2000},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.ok, Parse(row.count, row.packages)) << row.count;
    EXPECT_EQ(row.read, packages_.size()) << row.count;
  }
  EXPECT_EQ(L"p1999.msi", packages_.back().PackageFileName);
}

TEST_F(DownloadConfigTest, MissingOrMalformedFileFails) {
  EXPECT_FALSE(ParseDownloadConfig(context_, &packages_));
  for (const char* xml : {"", "<DownloadConfig><PackageDownloadServerCount>1</DownloadConfig>", "not xml at all",
                          "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e \"x\">]><DownloadConfig/>"}) {
    ASSERT_TRUE(tavo_test::WriteBytes(context_.DownloadConfigPath, xml));
    EXPECT_FALSE(ParseDownloadConfig(context_, &packages_)) << xml;
  }
  EXPECT_TRUE(packages_.empty());
  // Every failure is written down as an error entry.
  int errors = 0;
  for (const auto& entry : log_.Entries()) errors += entry.error;
  EXPECT_EQ(5, errors);
}

TEST_F(DownloadConfigTest, ReadsEveryFieldAndTheDefaultsOfAbsentOrEmptyValues) {
  std::string full =
      "<SaveFilePath>*USERTEMP*a.msi</SaveFilePath><ExecCommand>\"*USERTEMP*a.exe\" /q</ExecCommand>"
      "<ExecType>2</ExecType><ErrorSkip>1</ErrorSkip><ExecSuccessCode>3010</ExecSuccessCode>"
      "<Architecture>1</Architecture><ProductType>6</ProductType><PackageFileSize>4294967295</PackageFileSize>"
      "<TargetOS>14</TargetOS><IsManual>1</IsManual><ManualType>3</ManualType><LauncherVersion>131</LauncherVersion>";
  std::string empty = "<ExecType></ExecType><ManualType/><LauncherVersion></LauncherVersion>";
  ASSERT_TRUE(Parse("3", PackageXml(0, full) + PackageXml(1) + PackageXml(2, empty)));
  ASSERT_EQ(3u, packages_.size());
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
  for (size_t i : {1u, 2u}) {
    const PackageEntry& b = packages_[i];
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
  }
  for (const auto& p : packages_) EXPECT_FALSE(p.Verified);
}

TEST_F(DownloadConfigTest, MissingOrEmptyRequiredValueFails) {
  for (const char* key : {"PackageVersion", "PackageName", "PackageHash", "PackageFileName"}) {
    const std::string k = key;
    EXPECT_FALSE(Parse("3", PackageXml(0) + PackageXml(1, "", k) + PackageXml(2))) << key;
    EXPECT_EQ(1u, packages_.size()) << key;
    EXPECT_FALSE(Parse("1", PackageXml(0, "<" + k + "></" + k + ">", k))) << key;
    EXPECT_TRUE(packages_.empty()) << key;
  }
  // The address is not required.
  EXPECT_TRUE(Parse("1", "<Package00><PackageDownloadURL></PackageDownloadURL><PackageVersion>1</PackageVersion>"
                         "<PackageName>n</PackageName><PackageHash>0</PackageHash>"
                         "<PackageFileName>f.msi</PackageFileName></Package00>"));
}

TEST_F(DownloadConfigTest, PackageOneHundredIsReadFromPackage100AndRecordsAreAppended) {
  ASSERT_TRUE(Parse("101", Packages(0, 100) + "<Package0100><PackageFileName>wrong.msi</PackageFileName></Package0100>"));
  ASSERT_EQ(101u, packages_.size());
  EXPECT_EQ(L"p9.msi", packages_[9].PackageFileName);
  EXPECT_EQ(L"p100.msi", packages_[100].PackageFileName);
  packages_.assign(1, PackageEntry());
  ASSERT_TRUE(ParseDownloadConfig(context_, &packages_));
  EXPECT_EQ(102u, packages_.size());
}

}  // namespace

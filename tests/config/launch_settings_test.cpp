#include <gtest/gtest.h>

#include "config/launch_settings.h"
#include "tests/support/temp_dir.h"

namespace {

class LaunchSettingsTest : public ::testing::Test {
 protected:
  std::wstring Write(const std::string& body) {
    std::wstring path = dir_.File(L"s" + std::to_wstring(++n_) + L".xml");
    tavo_test::WriteBytes(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LaunchData>" + body + "</LaunchData>\n");
    return path;
  }
  tavo_test::TempDir dir_;
  int n_ = 0;
};

TEST_F(LaunchSettingsTest, RootAloneGivesEveryDefault) {
  LaunchSettings s;
  ASSERT_TRUE(LoadLaunchSettings(&s, Write(""), true));
  EXPECT_EQ(1, s.ProductType);
  EXPECT_EQ(ProductNameFor(1), s.ProductName);
  EXPECT_EQ(1, s.PackageType);
  EXPECT_EQ(0, s.LineupType);
  EXPECT_EQ(99, s.ManualType);
  EXPECT_EQ(2000000, s.DownloaderVersion);
  EXPECT_EQ(0, s.SetupLauncherXMLVersion);
  EXPECT_EQ(L"KOTA", s.ProviderType);
  EXPECT_EQ(0, s.InstallType);
  EXPECT_EQ(L"0.0", s.PackageVersionWin);
  EXPECT_EQ(L"0.0", s.PackageVersionMac);
  EXPECT_EQ(0, s.EnableServerCheck);
  EXPECT_TRUE(s.DownloadServers.empty() && s.ConflictPackages.empty() && s.ConflictSoftwareNames.empty() &&
              s.ConflictSecurityCenterNames.empty());
  EXPECT_EQ(std::wstring(kDefaultInstallSupportUrl), s.InstallSupportURL);
  EXPECT_EQ(std::wstring(kDefaultInstallSupportUrl), s.InstallSupportURLTrial);
}

TEST_F(LaunchSettingsTest, CompleteReadTakesEveryValue) {
  LaunchSettings s;
  ASSERT_TRUE(LoadLaunchSettings(&s, Write(
      "<LaunchBase><ProductType>6</ProductType><PackageType>2</PackageType><LineupType>7</LineupType>"
      "<ManualType>3</ManualType><DownloaderVersion>2000123</DownloaderVersion>"
      "<SetupLauncherXMLVersion>15</SetupLauncherXMLVersion><ProviderType>OEM</ProviderType>"
      "<InstallType>1</InstallType><PackageVersionWin>10.1</PackageVersionWin><PackageVersionMac>4.2</PackageVersionMac>"
      "<EnableServerCheck>1</EnableServerCheck><InstallSupportURL>https://a/support/</InstallSupportURL>"
      "<InstallSupportURLTrial>https://t/support/</InstallSupportURLTrial></LaunchBase>"
      "<DownloadServerData><DownloadServerCount>2</DownloadServerCount>"
      "<DownloadServer0>http://dl1/</DownloadServer0><DownloadServer1>http://dl2/</DownloadServer1></DownloadServerData>"
      "<ConfrictRegistory><ConfrictDataCount>1</ConfrictDataCount>"
      "<ConfrictPackage00 PackageName=\"Other AV\">SOFTWARE\\Other</ConfrictPackage00>"
      "<ConfrictPackage01 PackageName=\"Second AV\">SOFTWARE\\Second</ConfrictPackage01></ConfrictRegistory>"
      "<ConflictSoftware><ConflictSoftwareCount>0</ConflictSoftwareCount>"
      "<ConflictSoftwareName00>Name A</ConflictSoftwareName00></ConflictSoftware>"
      "<ConflictSecurityCenter><ConflictSecurityCenterCount>1</ConflictSecurityCenterCount>"
      "<ConflictSecurityCenterName01>SC B</ConflictSecurityCenterName01></ConflictSecurityCenter>"), true));
  EXPECT_EQ(6, s.ProductType);
  EXPECT_EQ(ProductNameFor(6), s.ProductName);
  EXPECT_EQ(2, s.PackageType);
  EXPECT_EQ(7, s.LineupType);
  EXPECT_EQ(3, s.ManualType);
  EXPECT_EQ(2000123, s.DownloaderVersion);
  EXPECT_EQ(15, s.SetupLauncherXMLVersion);
  EXPECT_EQ(L"OEM", s.ProviderType);
  EXPECT_EQ(1, s.InstallType);
  EXPECT_EQ(L"10.1", s.PackageVersionWin);
  EXPECT_EQ(L"4.2", s.PackageVersionMac);
  EXPECT_EQ(1, s.EnableServerCheck);
  EXPECT_EQ(L"https://a/support/", s.InstallSupportURL);
  EXPECT_EQ(L"https://t/support/", s.InstallSupportURLTrial);
  EXPECT_EQ((std::vector<std::wstring>{L"http://dl1/", L"http://dl2/"}), s.DownloadServers);
  // The counts are the highest index, inclusive.
  ASSERT_EQ(2u, s.ConflictPackages.size());
  EXPECT_EQ(L"Other AV", s.ConflictPackages[0].PackageName);
  EXPECT_EQ(L"SOFTWARE\\Other", s.ConflictPackages[0].RegistryKey);
  EXPECT_EQ(L"Second AV", s.ConflictPackages[1].PackageName);
  EXPECT_EQ(std::vector<std::wstring>{L"Name A"}, s.ConflictSoftwareNames);
  EXPECT_EQ(std::vector<std::wstring>{L"SC B"}, s.ConflictSecurityCenterNames);
}

TEST_F(LaunchSettingsTest, ListsWalkTheIndexesThatArePresent) {
  struct Row {
    std::string xml;
    std::vector<std::wstring> servers, software, centers, packages;
  } rows[] = {
      // Servers from 1 with a count of 2: only DownloadServer1 is read; empty entries are not servers.
      {"<DownloadServerData><DownloadServerCount>2</DownloadServerCount><DownloadServer1>http://one/</DownloadServer1>"
       "<DownloadServer2>http://two/</DownloadServer2><DownloadServer3></DownloadServer3></DownloadServerData>",
       {L"http://one/"}, {}, {}, {}},
      // Absurd and negative counts walk only what is there.
      {"<DownloadServerData><DownloadServerCount>-1</DownloadServerCount><DownloadServer0>http://a/</DownloadServer0>"
       "<DownloadServer4>http://e/</DownloadServer4></DownloadServerData>"
       "<ConflictSoftware><ConflictSoftwareCount>2147483647</ConflictSoftwareCount>"
       "<ConflictSoftwareName00>x</ConflictSoftwareName00><ConflictSoftwareName150>y</ConflictSoftwareName150></ConflictSoftware>"
       "<ConflictSecurityCenter><ConflictSecurityCenterCount>-5</ConflictSecurityCenterCount>"
       "<ConflictSecurityCenterName03>z</ConflictSecurityCenterName03></ConflictSecurityCenter>"
       "<ConfrictRegistory><ConfrictDataCount>99999999999</ConfrictDataCount></ConfrictRegistory>",
       {L"http://a/", L"http://e/"}, {L"x", L"y"}, {L"z"}, {}},
      // Packages without a name or without a key are skipped.
      {"<ConfrictRegistory><ConfrictDataCount>3</ConfrictDataCount><ConfrictPackage00>SOFTWARE\\NoName</ConfrictPackage00>"
       "<ConfrictPackage01 PackageName=\"NoKey\"></ConfrictPackage01>"
       "<ConfrictPackage02 PackageName=\"\">SOFTWARE\\EmptyName</ConfrictPackage02>"
       "<ConfrictPackage03 PackageName=\"Kept\">SOFTWARE\\Kept</ConfrictPackage03></ConfrictRegistory>"
       "<ConflictSoftware><ConflictSoftwareCount>5</ConflictSoftwareCount><ConflictSoftwareName01>1</ConflictSoftwareName01>"
       "<ConflictSoftwareName05>5</ConflictSoftwareName05></ConflictSoftware>",
       {}, {L"1", L"5"}, {}, {L"Kept"}},
  };
  for (const Row& row : rows) {
    LaunchSettings s;
    ASSERT_TRUE(LoadLaunchSettings(&s, Write(row.xml), true)) << row.xml;
    EXPECT_EQ(row.servers, s.DownloadServers) << row.xml;
    EXPECT_EQ(row.software, s.ConflictSoftwareNames) << row.xml;
    EXPECT_EQ(row.centers, s.ConflictSecurityCenterNames) << row.xml;
    std::vector<std::wstring> names;
    for (const auto& p : s.ConflictPackages) names.push_back(p.PackageName);
    EXPECT_EQ(row.packages, names) << row.xml;
  }
}

TEST_F(LaunchSettingsTest, PartialReadLeavesBaseValuesAndAppendsToClearedLists) {
  LaunchSettings s;
  s.ProductType = 2;
  s.ProductName = ProductNameFor(2);
  s.DownloaderVersion = 7;
  s.DownloadServers = {L"http://old/"};
  s.ConflictSoftwareNames = {L"old"};
  ClearLaunchLists(&s);
  EXPECT_TRUE(s.DownloadServers.empty() && s.ConflictSoftwareNames.empty());
  ASSERT_TRUE(LoadLaunchSettings(&s, Write(
      "<LaunchBase><ProductType>6</ProductType><DownloaderVersion>9</DownloaderVersion>"
      "<PackageVersionWin>11.0</PackageVersionWin></LaunchBase><DownloadServerData><DownloadServerCount>1"
      "</DownloadServerCount><DownloadServer0>http://new/</DownloadServer0></DownloadServerData>"), false));
  EXPECT_EQ(2, s.ProductType);
  EXPECT_EQ(ProductNameFor(2), s.ProductName);
  EXPECT_EQ(7, s.DownloaderVersion);
  EXPECT_EQ(L"11.0", s.PackageVersionWin);
  EXPECT_EQ(std::vector<std::wstring>{L"http://new/"}, s.DownloadServers);
}

TEST_F(LaunchSettingsTest, BaseReadAdjustsEarlierLineups) {
  struct Row {
    int productType, manualType, wantType, wantLineup;
  } rows[] = {{1, 2, 5, 3}, {1, 99, 5, 11}, {2, 2, 2, 4}, {6, 2, 6, 8}};
  for (const auto& row : rows) {
    LaunchSettings s;
    s.PackageVersionWin = L"keep";
    ASSERT_TRUE(LoadLaunchBase(&s, Write("<LaunchBase><ProductType>" + std::to_string(row.productType) +
        "</ProductType><ManualType>" + std::to_string(row.manualType) + "</ManualType><LineupType>8</LineupType>"
        "<InstallType>1</InstallType><DownloaderVersion>5</DownloaderVersion><PackageVersionWin>9.9</PackageVersionWin>"
        "</LaunchBase>")));
    EXPECT_EQ(row.wantType, s.ProductType) << row.productType << "/" << row.manualType;
    EXPECT_EQ(row.wantLineup, s.LineupType) << row.productType << "/" << row.manualType;
    EXPECT_EQ(ProductNameFor(row.wantType), s.ProductName);
    EXPECT_EQ(1, s.InstallType);
    EXPECT_EQ(5, s.DownloaderVersion);
    EXPECT_EQ(L"keep", s.PackageVersionWin);  // not a base value
  }
}

TEST_F(LaunchSettingsTest, BadFilesFailEveryRead) {
  for (const std::string text : {"", "<LaunchData><LaunchBase></LaunchData>",
                                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?><LaunchData>\x82\xA0</LaunchData>"}) {
    std::wstring path = dir_.File(L"bad" + std::to_wstring(++n_) + L".xml");
    tavo_test::WriteBytes(path, text);
    LaunchSettings s;
    EXPECT_FALSE(LoadLaunchSettings(&s, path, true)) << text;
    EXPECT_FALSE(LoadLaunchSettings(&s, path, false)) << text;
    EXPECT_FALSE(LoadLaunchBase(&s, path)) << text;
  }
  LaunchSettings s;
  EXPECT_FALSE(LoadLaunchSettings(&s, dir_.File(L"missing.xml"), true));
}

}  // namespace

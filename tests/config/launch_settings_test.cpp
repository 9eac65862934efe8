#include <gtest/gtest.h>

#include "config/launch_settings.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;

std::wstring WriteSettings(const TempDir& dir, const std::string& body, const std::wstring& name = L"s.xml") {
  std::wstring path = dir.File(name);
  tavo_test::WriteBytes(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LaunchData>" + body + "</LaunchData>\n");
  return path;
}

TEST(LaunchSettings, RootAloneGivesEveryDefault) {
  TempDir dir;
  LaunchSettings s;
  ASSERT_TRUE(LoadLaunchSettings(&s, WriteSettings(dir, ""), true));
  EXPECT_EQ(1, s.ProductType);
  EXPECT_EQ(L"TAVO Total Shield", s.ProductName);
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
  EXPECT_EQ(0, s.DownloadServerCount);
  EXPECT_TRUE(s.DownloadServers.empty());
  EXPECT_TRUE(s.ConflictPackages.empty());
  EXPECT_TRUE(s.ConflictSoftwareNames.empty());
  EXPECT_TRUE(s.ConflictSecurityCenterNames.empty());
  EXPECT_EQ(std::wstring(kDefaultInstallSupportUrl), s.InstallSupportURL);
  EXPECT_EQ(std::wstring(kDefaultInstallSupportUrl), s.InstallSupportURLTrial);
  EXPECT_EQ(L"/support/", s.InstallSupportURL.substr(s.InstallSupportURL.size() - 9));
  EXPECT_EQ(0u, s.InstallSupportURL.find(L"https://"));
}

TEST(LaunchSettings, CompleteReadTakesEveryValue) {
  TempDir dir;
  LaunchSettings s;
  ASSERT_TRUE(LoadLaunchSettings(&s, WriteSettings(dir,
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
  EXPECT_EQ(L"TAVO Total Shield Plus", s.ProductName);
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

TEST(LaunchSettings, ProductNamesOfEveryType) {
  const std::pair<int, const wchar_t*> rows[] = {{1, L"TAVO Total Shield"}, {2, L"TAVO Virus Guard"},
                                                 {5, L"TAVO Net Shield"},   {6, L"TAVO Total Shield Plus"},
                                                 {3, L"TAVO製品"},          {0, L"TAVO製品"}, {-1, L"TAVO製品"}};
  for (const auto& row : rows) EXPECT_EQ(std::wstring(row.second), ProductNameFor(row.first));
}

TEST(LaunchSettings, ListNumberingAndGaps) {
  TempDir dir;
  std::string one_to_five, zero_to_four;
  for (int i = 1; i <= 5; ++i) one_to_five += "<ConflictSoftwareName0" + std::to_string(i) + ">s" + std::to_string(i) + "</ConflictSoftwareName0" + std::to_string(i) + ">";
  for (int i = 0; i <= 4; ++i) zero_to_four += "<ConflictSoftwareName0" + std::to_string(i) + ">s" + std::to_string(i) + "</ConflictSoftwareName0" + std::to_string(i) + ">";
  LaunchSettings a, b, c, d;
  ASSERT_TRUE(LoadLaunchSettings(&a, WriteSettings(dir, "<ConflictSoftware><ConflictSoftwareCount>5</ConflictSoftwareCount>" + one_to_five + "</ConflictSoftware>", L"a.xml"), true));
  EXPECT_EQ(5u, a.ConflictSoftwareNames.size());
  ASSERT_TRUE(LoadLaunchSettings(&b, WriteSettings(dir, "<ConflictSoftware><ConflictSoftwareCount>5</ConflictSoftwareCount>" + zero_to_four + "</ConflictSoftware>", L"b.xml"), true));
  EXPECT_EQ(5u, b.ConflictSoftwareNames.size());
  // Servers from 1 with a count of 2: only DownloadServer1 is read.
  ASSERT_TRUE(LoadLaunchSettings(&c, WriteSettings(dir,
      "<DownloadServerData><DownloadServerCount>2</DownloadServerCount><DownloadServer1>http://one/</DownloadServer1>"
      "<DownloadServer2>http://two/</DownloadServer2><DownloadServer3></DownloadServer3></DownloadServerData>", L"c.xml"), true));
  EXPECT_EQ(std::vector<std::wstring>{L"http://one/"}, c.DownloadServers);
  // Package entries without a name or without text are skipped.
  ASSERT_TRUE(LoadLaunchSettings(&d, WriteSettings(dir,
      "<ConfrictRegistory><ConfrictDataCount>3</ConfrictDataCount>"
      "<ConfrictPackage00>SOFTWARE\\NoName</ConfrictPackage00>"
      "<ConfrictPackage01 PackageName=\"NoKey\"></ConfrictPackage01>"
      "<ConfrictPackage02 PackageName=\"\">SOFTWARE\\EmptyName</ConfrictPackage02>"
      "<ConfrictPackage03 PackageName=\"Kept\">SOFTWARE\\Kept</ConfrictPackage03></ConfrictRegistory>", L"d.xml"), true));
  ASSERT_EQ(1u, d.ConflictPackages.size());
  EXPECT_EQ(L"Kept", d.ConflictPackages[0].PackageName);
}

TEST(LaunchSettings, AbsurdCountsWalkOnlyWhatIsThere) {
  TempDir dir;
  LaunchSettings s;
  ASSERT_TRUE(LoadLaunchSettings(&s, WriteSettings(dir,
      "<DownloadServerData><DownloadServerCount>-1</DownloadServerCount><DownloadServer0>http://a/</DownloadServer0>"
      "<DownloadServer4>http://e/</DownloadServer4></DownloadServerData>"
      "<ConflictSoftware><ConflictSoftwareCount>2147483647</ConflictSoftwareCount>"
      "<ConflictSoftwareName00>x</ConflictSoftwareName00><ConflictSoftwareName150>y</ConflictSoftwareName150></ConflictSoftware>"
      "<ConflictSecurityCenter><ConflictSecurityCenterCount>-5</ConflictSecurityCenterCount>"
      "<ConflictSecurityCenterName03>z</ConflictSecurityCenterName03></ConflictSecurityCenter>"
      "<ConfrictRegistory><ConfrictDataCount>99999999999</ConfrictDataCount></ConfrictRegistory>"), true));
  EXPECT_EQ((std::vector<std::wstring>{L"http://a/", L"http://e/"}), s.DownloadServers);
  EXPECT_EQ((std::vector<std::wstring>{L"x", L"y"}), s.ConflictSoftwareNames);
  EXPECT_EQ(std::vector<std::wstring>{L"z"}, s.ConflictSecurityCenterNames);
}

TEST(LaunchSettings, PartialReadLeavesBaseValuesAndAppendsToClearedLists) {
  TempDir dir;
  LaunchSettings s;
  s.ProductType = 2;
  s.ProductName = L"TAVO Virus Guard";
  s.DownloaderVersion = 7;
  s.DownloadServers = {L"http://old/"};
  s.ConflictSoftwareNames = {L"old"};
  ClearLaunchLists(&s);
  EXPECT_TRUE(s.DownloadServers.empty());
  EXPECT_TRUE(s.ConflictSoftwareNames.empty());
  ASSERT_TRUE(LoadLaunchSettings(&s, WriteSettings(dir,
      "<LaunchBase><ProductType>6</ProductType><DownloaderVersion>9</DownloaderVersion>"
      "<PackageVersionWin>11.0</PackageVersionWin></LaunchBase>"
      "<DownloadServerData><DownloadServerCount>1</DownloadServerCount><DownloadServer0>http://new/</DownloadServer0></DownloadServerData>"), false));
  EXPECT_EQ(2, s.ProductType);
  EXPECT_EQ(L"TAVO Virus Guard", s.ProductName);
  EXPECT_EQ(7, s.DownloaderVersion);
  EXPECT_EQ(L"11.0", s.PackageVersionWin);
  EXPECT_EQ(std::vector<std::wstring>{L"http://new/"}, s.DownloadServers);
}

TEST(LaunchSettings, BaseReadAdjustsEarlierLineups) {
  struct Row {
    int productType, manualType;
    int wantType, wantLineup;
    const wchar_t* wantName;
  } rows[] = {
      {1, 2, 5, 3, L"TAVO Net Shield"},
      {1, 99, 5, 11, L"TAVO Net Shield"},
      {2, 2, 2, 4, L"TAVO Virus Guard"},
      {6, 2, 6, 8, L"TAVO Total Shield Plus"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    LaunchSettings s;
    s.PackageVersionWin = L"keep";
    ASSERT_TRUE(LoadLaunchBase(&s, WriteSettings(dir,
        "<LaunchBase><ProductType>" + std::to_string(row.productType) + "</ProductType><ManualType>" +
        std::to_string(row.manualType) + "</ManualType><LineupType>8</LineupType><InstallType>1</InstallType>"
        "<DownloaderVersion>5</DownloaderVersion><PackageVersionWin>9.9</PackageVersionWin></LaunchBase>")));
    EXPECT_EQ(row.wantType, s.ProductType);
    EXPECT_EQ(row.wantLineup, s.LineupType);
    EXPECT_EQ(std::wstring(row.wantName), s.ProductName);
    EXPECT_EQ(1, s.InstallType);
    EXPECT_EQ(5, s.DownloaderVersion);
    EXPECT_EQ(L"keep", s.PackageVersionWin);  // not a base value
  }
}

TEST(LaunchSettings, BadFilesFailEveryRead) {
  TempDir dir;
  const std::pair<const wchar_t*, std::string> files[] = {
      {L"empty.xml", ""},
      {L"broken.xml", "<LaunchData><LaunchBase></LaunchData>"},
      {L"encoding.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><LaunchData>\x82\xA0</LaunchData>"},
  };
  for (const auto& f : files) {
    tavo_test::WriteBytes(dir.File(f.first), f.second);
    LaunchSettings s;
    EXPECT_FALSE(LoadLaunchSettings(&s, dir.File(f.first), true));
    EXPECT_FALSE(LoadLaunchSettings(&s, dir.File(f.first), false));
    EXPECT_FALSE(LoadLaunchBase(&s, dir.File(f.first)));
  }
  LaunchSettings s;
  EXPECT_FALSE(LoadLaunchSettings(&s, dir.File(L"missing.xml"), true));
}

}  // namespace

#include <gtest/gtest.h>

#include "config/launch_settings.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

// Every value of the settings in one line, so that a row compares them all.
std::string Describe(const LaunchSettings& s) {
  std::wstring t;
  for (int32_t n : {s.ProductType, s.PackageType, s.LineupType, s.ManualType, s.DownloaderVersion,
                    s.SetupLauncherXMLVersion, s.InstallType, s.EnableServerCheck}) t += std::to_wstring(n) + L",";
  for (const auto* text : {&s.ProductName, &s.ProviderType, &s.PackageVersionWin, &s.PackageVersionMac,
                           &s.InstallSupportURL, &s.InstallSupportURLTrial}) t += *text + L"|";
  for (const auto* list : {&s.DownloadServers, &s.ConflictSoftwareNames, &s.ConflictSecurityCenterNames}) {
    t += L"[";
    for (const auto& item : *list) t += item + L";";
    t += L"]";
  }
  for (const auto& p : s.ConflictPackages) t += L"{" + p.PackageName + L"=" + p.RegistryKey + L"}";
  return platform::WideToUtf8(t);
}

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

TEST_F(LaunchSettingsTest, ValuesListsAndDefaultsOfAbsentOnes) {
  LaunchSettings defaults, full = defaults, lists = defaults, absurd = defaults;
  full.ProductType = 6, full.ProductName = ProductNameFor(6), full.PackageType = 2, full.LineupType = 7;
  full.ManualType = 3, full.DownloaderVersion = 2000123, full.SetupLauncherXMLVersion = 15, full.ProviderType = L"OEM";
  full.InstallType = 1, full.PackageVersionWin = L"10.1", full.PackageVersionMac = L"4.2", full.EnableServerCheck = 1;
  full.InstallSupportURL = L"https://a/", full.InstallSupportURLTrial = L"https://t/";
  // The counts are the highest index, inclusive; entries without a name or a key are skipped.
  full.DownloadServers = {L"http://dl1/", L"http://dl2/"}, full.ConflictSoftwareNames = {L"A"};
  full.ConflictSecurityCenterNames = {L"SC B"}, full.ConflictPackages = {{L"AV", L"SOFTWARE\\AV"}, {L"2", L"S\\2"}};
  lists.DownloadServers = {L"http://one/"}, lists.ConflictSoftwareNames = {L"1", L"5"};
  absurd.DownloadServers = {L"http://a/", L"http://e/"}, absurd.ConflictSoftwareNames = {L"x", L"y"};
  absurd.ConflictSecurityCenterNames = {L"z"};
  const std::pair<std::string, const LaunchSettings*> rows[] = {
      {"", &defaults},
      {"<LaunchBase><ProductType>6</ProductType><PackageType>2</PackageType><LineupType>7</LineupType><ManualType>3"
       "</ManualType><DownloaderVersion>2000123</DownloaderVersion><SetupLauncherXMLVersion>15</SetupLauncherXMLVersion>"
       "<ProviderType>OEM</ProviderType><InstallType>1</InstallType><PackageVersionWin>10.1</PackageVersionWin>"
       "<PackageVersionMac>4.2</PackageVersionMac><EnableServerCheck>1</EnableServerCheck><InstallSupportURL>"
       "https://a/</InstallSupportURL><InstallSupportURLTrial>https://t/</InstallSupportURLTrial></LaunchBase>"
       "<DownloadServerData><DownloadServerCount>2</DownloadServerCount><DownloadServer0>http://dl1/</DownloadServer0>"
       "<DownloadServer1>http://dl2/</DownloadServer1></DownloadServerData><ConfrictRegistory><ConfrictDataCount>1"
       "</ConfrictDataCount><ConfrictPackage00 PackageName=\"AV\">SOFTWARE\\AV</ConfrictPackage00><ConfrictPackage01 "
       "PackageName=\"2\">S\\2</ConfrictPackage01><ConfrictPackage02>S\\NoName</ConfrictPackage02><ConfrictPackage03 "
       "PackageName=\"NoKey\"></ConfrictPackage03></ConfrictRegistory><ConflictSoftware><ConflictSoftwareCount>0"
       "</ConflictSoftwareCount><ConflictSoftwareName00>A</ConflictSoftwareName00></ConflictSoftware>"
       "<ConflictSecurityCenter><ConflictSecurityCenterCount>1</ConflictSecurityCenterCount>"
       "<ConflictSecurityCenterName01>SC B</ConflictSecurityCenterName01></ConflictSecurityCenter>", &full},
      // Servers from 1 with a count of 2: only DownloadServer1; an empty entry is no server.
      {"<DownloadServerData><DownloadServerCount>2</DownloadServerCount><DownloadServer1>http://one/</DownloadServer1>"
       "<DownloadServer2>http://two/</DownloadServer2><DownloadServer3></DownloadServer3></DownloadServerData>"
       "<ConflictSoftware><ConflictSoftwareCount>5</ConflictSoftwareCount><ConflictSoftwareName01>1"
       "</ConflictSoftwareName01><ConflictSoftwareName05>5</ConflictSoftwareName05></ConflictSoftware>", &lists},
      // Absurd and negative counts walk only what is there.
      {"<DownloadServerData><DownloadServerCount>-1</DownloadServerCount><DownloadServer0>http://a/</DownloadServer0>"
       "<DownloadServer4>http://e/</DownloadServer4></DownloadServerData><ConflictSoftware><ConflictSoftwareCount>"
       "2147483647</ConflictSoftwareCount><ConflictSoftwareName00>x</ConflictSoftwareName00><ConflictSoftwareName150>y"
       "</ConflictSoftwareName150></ConflictSoftware><ConflictSecurityCenter><ConflictSecurityCenterCount>-5"
       "</ConflictSecurityCenterCount><ConflictSecurityCenterName03>z</ConflictSecurityCenterName03>"
       "</ConflictSecurityCenter><ConfrictRegistory><ConfrictDataCount>99999999999</ConfrictDataCount>"
       "</ConfrictRegistory>", &absurd},
  };
  for (const auto& row : rows) {
    LaunchSettings s;
    ASSERT_TRUE(LoadLaunchSettings(&s, Write(row.first), true)) << row.first;
    EXPECT_EQ(Describe(*row.second), Describe(s)) << row.first;
  }
}

TEST_F(LaunchSettingsTest, PartialAndBaseReadsTakeOnlyTheirValues) {
  LaunchSettings s, expected;
  s.ProductType = expected.ProductType = 2;
  s.ProductName = expected.ProductName = ProductNameFor(2);
  s.DownloadServers = {L"http://old/"};
  ClearLaunchLists(&s);
  expected.PackageVersionWin = L"11.0", expected.DownloadServers = {L"http://new/"};
  ASSERT_TRUE(LoadLaunchSettings(&s, Write("<LaunchBase><ProductType>6</ProductType><DownloaderVersion>9"
      "</DownloaderVersion><PackageVersionWin>11.0</PackageVersionWin></LaunchBase><DownloadServerData>"
      "<DownloadServerCount>1</DownloadServerCount><DownloadServer0>http://new/</DownloadServer0>"
      "</DownloadServerData>"), false));
  EXPECT_EQ(Describe(expected), Describe(s));
  // The base read adjusts the lineup of earlier settings files and leaves the other values.
  const int rows[][4] = {{1, 2, 5, 3}, {1, 99, 5, 11}, {2, 2, 2, 4}, {6, 2, 6, 8}};  // type, manual -> type, lineup
  for (const auto& row : rows) {
    LaunchSettings base, want;
    want.ProductType = row[2], want.ProductName = ProductNameFor(row[2]), want.LineupType = row[3];
    want.ManualType = row[1], want.InstallType = 1, want.DownloaderVersion = 5;
    ASSERT_TRUE(LoadLaunchBase(&base, Write("<LaunchBase><ProductType>" + std::to_string(row[0]) + "</ProductType>"
        "<ManualType>" + std::to_string(row[1]) + "</ManualType><LineupType>8</LineupType><InstallType>1</InstallType>"
        "<DownloaderVersion>5</DownloaderVersion><PackageVersionWin>9.9</PackageVersionWin></LaunchBase>")));
    EXPECT_EQ(Describe(want), Describe(base)) << row[0] << "/" << row[1];
  }
}

TEST_F(LaunchSettingsTest, BadFilesFailEveryRead) {
  for (const std::string text : {"", "<LaunchData><LaunchBase></LaunchData>",
                                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?><LaunchData>\x82\xA0</LaunchData>"}) {
    std::wstring path = dir_.File(L"bad" + std::to_wstring(++n_) + L".xml");
    tavo_test::WriteBytes(path, text);
    LaunchSettings s;
    EXPECT_FALSE(LoadLaunchSettings(&s, path, true) || LoadLaunchSettings(&s, path, false) || LoadLaunchBase(&s, path));
  }
  LaunchSettings s;
  EXPECT_FALSE(LoadLaunchSettings(&s, dir_.File(L"missing.xml"), true));
}

}  // namespace

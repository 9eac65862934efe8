// The XML reader of the configuration files, and the launcher settings read through it.
#include <gtest/gtest.h>

#include <tuple>

#include "base/result_codes.h"
#include "config/launch_settings.h"
#include "config/xml_config_reader.h"
#include "platform/com.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

class XmlConfigReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::InitializeThreadComponents(); }
  // Loads the text (UTF-8 unless it says otherwise) into a fresh reader.
  bool Load(const std::string& xml) {
    path_ = dir_.File(L"file" + std::to_wstring(++n_) + L".xml");
    tavo_test::WriteBytes(path_, xml);
    reader_ = std::make_unique<XmlConfigReader>();
    return reader_->Load(path_);
  }
  tavo_test::TempDir dir_;
  std::wstring path_;
  int n_ = 0;
  std::unique_ptr<XmlConfigReader> reader_;
};

TEST_F(XmlConfigReaderTest, KeyPathsNumbersAttributesAndFoundStates) {
  ASSERT_TRUE(Load("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- comment -->\n<L>root<B>\n<T>5</T><Empty></Empty>"
                   "<Twice>first</Twice><Twice>second</Twice><Late/><Late>later</Late><Cdata><![CDATA[hidden]]></Cdata>"
                   "<Esc>a &amp; b &lt;c&gt;</Esc><Digits>42abc</Digits><Letters>abc</Letters><Neg>  -17</Neg>"
                   "<Pkg Name=\"Other AV\">SOFTWARE\\Other</Pkg><NoText n=\"v\"/></B></L>"));
  const std::tuple<const wchar_t*, int32_t, const wchar_t*> strings[] = {
      {L"L/B/T/", 1, L"5"},     {L"L/B/T", 0, L"DEF"},  // no final slash never matches
      {L"l/B/T/", 0, L"DEF"},   {L"L/B/Empty/", 0, L"DEF"}, {L"L/B/Twice/", 1, L"first"}, {L"L/B/Late/", 1, L"later"},
      {L"L/", 1, L"root"},      {L"L/B/Cdata/", 0, L"DEF"}, {L"L/B/Esc/", 1, L"a & b <c>"}, {L"L/B/Missing/", 0, L"DEF"},
      {L"", 0, L"DEF"},         {L"L/B/Pkg/", 1, L"SOFTWARE\\Other"},
  };
  for (const auto& [key, found, value] : strings) {
    int32_t got = 99;
    EXPECT_EQ(std::wstring(value), reader_->GetString(key, L"DEF", &got)) << key;
    EXPECT_EQ(found, got) << key;
  }
  const std::tuple<const wchar_t*, int32_t, int32_t> ints[] = {
      {L"L/B/Digits/", 42, 1}, {L"L/B/Letters/", 0, 1}, {L"L/B/Neg/", -17, 1}, {L"L/B/Empty/", 7, 0}};
  for (const auto& [key, value, found] : ints) {
    int32_t got = 99;
    EXPECT_EQ(value, reader_->GetInt(key, 7, &got)) << key;
    EXPECT_EQ(found, got) << key;
  }
  // Attributes come from the first element of the path, even one without text.
  const std::tuple<const wchar_t*, const wchar_t*, int32_t, const wchar_t*> attributes[] = {
      {L"L/B/Pkg/", L"Name", 1, L"Other AV"}, {L"L/B/Pkg/", L"name", 1, L""},  // the element is there, not the name
      {L"L/B/NoText/", L"n", 1, L"v"},        {L"L/B/None/", L"Name", 0, L""}};
  for (const auto& [key, name, found, value] : attributes) {
    int32_t got = 99;
    EXPECT_EQ(std::wstring(value), reader_->GetAttribute(key, name, &got)) << key << name;
    EXPECT_EQ(found, got) << key << name;
  }
}

TEST_F(XmlConfigReaderTest, BadHostileOrMissingFilesLeaveNoDocument) {
  std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE z [<!ENTITY l0 \"lol\">";  // a billion laughs
  for (int i = 1; i < 10; ++i) {
    std::string refs;
    for (int k = 0; k < 10; ++k) refs += "&l" + std::to_string(i - 1) + ";";
    bomb += "<!ENTITY l" + std::to_string(i) + " \"" + refs + "\">";
  }
  const std::string bad[] = {
      "", "   ", "<a><b>1</a>", "not xml at all", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xFF\xFE broken</a>",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\x8F\x64\x97\x76</a>",  // Shift_JIS bytes claiming UTF-8
      bomb + "]><a>&l9;</a>",  // refused at its DTD, before anything expands
      "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>",
      "<?xml version=\"1.0\"?><!DOCTYPE a SYSTEM \"http://127.0.0.1:9/a.dtd\"><a>1</a>",
  };
  int32_t found = 0;
  for (const auto& text : bad) {
    EXPECT_FALSE(Load(text)) << text.substr(0, 60);
    reader_->GetString(L"a/", L"", &found);
    EXPECT_EQ(-1, found) << text.substr(0, 60);
  }
  XmlConfigReader unloaded;
  EXPECT_EQ(L"", unloaded.GetString(L"a/", L"DEF", &found));
  EXPECT_EQ(-1, found);
  EXPECT_EQ(9, unloaded.GetInt(L"a/", 9, &found));
  EXPECT_EQ(-1, found);
  EXPECT_FALSE(unloaded.Load(dir_.File(L"does-not-exist.xml")));
  // Files are read up to 8 MiB: one of exactly that size is, one byte more is refused.
  const std::string head = "<a><b>1</b>", tail = "</a>";
  std::string capped = head + std::string((8u << 20) - head.size() - tail.size(), ' ') + tail;
  EXPECT_TRUE(Load(capped));
  EXPECT_EQ(L"1", reader_->GetString(L"a/b/", L"", &found));
  EXPECT_FALSE(Load(capped.insert(head.size(), 1, ' ')));
  // A second load is refused and keeps the first document.
  ASSERT_TRUE(Load("<a><b>1</b></a>"));
  EXPECT_FALSE(reader_->Load(path_));
  EXPECT_EQ(L"1", reader_->GetString(L"a/b/", L"", &found));
}

TEST_F(XmlConfigReaderTest, DeclaredEncodingDecidesAndIndexedListsAreBounded) {
  const std::wstring title = L"重要なお知らせテスト";
  const std::string sjis = "\x8F\x64\x97\x76\x82\xC8\x82\xA8\x92\x6D\x82\xE7\x82\xB9\x83\x65\x83\x58\x83\x67";
  for (const auto& text : {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><N><T>" + sjis + "</T></N>",
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?><N><T>" + tavo_test::Utf8(title) + "</T></N>",
                           "\xFF\xFE" + platform::WideToUtf16Le(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><N><T>" +
                                                               title + L"</T></N>")}) {
    ASSERT_TRUE(Load(text));
    int32_t found = 0;
    EXPECT_EQ(title, reader_->GetString(L"N/T/", L"", &found));
  }
  // Only names as "%02u" writes them, and only direct children, up to the last index asked for.
  ASSERT_TRUE(Load("<L><S><Name00>a</Name00><Name07>b</Name07><Name7x>c</Name7x><Name>d</Name><Name7>g</Name7>"
                   "<Name007>h</Name007><Deep><Name99>e</Name99></Deep><Name123>f</Name123><Name4294967296/></S></L>"));
  EXPECT_EQ((std::vector<uint32_t>{0, 7, 123}), reader_->PresentIndexes(L"L/S/", L"Name", 2, 0xFFFFFFFFu));
  EXPECT_EQ((std::vector<uint32_t>{0, 7}), reader_->PresentIndexes(L"L/S/", L"Name", 2, 122));
  EXPECT_EQ((std::vector<uint32_t>{7, 123}), reader_->PresentIndexes(L"L/S/", L"Name", 1, 200));
  EXPECT_TRUE(reader_->PresentIndexes(L"L/S/", L"Other", 2, 200).empty());
  EXPECT_EQ((std::vector<uint32_t>{99}), reader_->PresentIndexes(L"L/S/Deep/", L"Name", 2, 200));
}

// Every value of the settings in one line, so that a row compares them all.
std::string Describe(const LaunchSettings& s) {
  std::wstring t;
  for (int32_t n : {s.ProductType, s.PackageType, s.LineupType, s.ManualType, s.DownloaderVersion,
                    s.SetupLauncherXMLVersion, s.InstallType, s.EnableServerCheck}) t += std::to_wstring(n) + L",";
  for (const auto* text : {&s.ProductName, &s.ProviderType, &s.PackageVersionWin, &s.PackageVersionMac,
                           &s.InstallSupportURL, &s.InstallSupportURLTrial}) t += *text + L"|";
  for (const auto* list : {&s.DownloadServers, &s.ConflictSoftwareNames, &s.ConflictSecurityCenterNames}) {
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
    ASSERT_TRUE(LoadLaunchSettings(&s, Write(row.first), SettingsPart::kEveryValue)) << row.first;
    EXPECT_EQ(Describe(*row.second), Describe(s)) << row.first;
  }
}

TEST_F(LaunchSettingsTest, BaseReadAdjustsTheLineupOfEarlierSettingsFilesAndTakesOnlyBaseValues) {
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
  LaunchSettings s;
  for (const std::string text : {"", "<LaunchData><LaunchBase></LaunchData>", "<LaunchData>\x82\xA0</LaunchData>"}) {
    const std::wstring path = dir_.File(L"bad" + std::to_wstring(++n_) + L".xml");
    tavo_test::WriteBytes(path, text);
    EXPECT_FALSE(LoadLaunchSettings(&s, path, SettingsPart::kEveryValue) || LoadLaunchSettings(&s, path, SettingsPart::kAllButBase) || LoadLaunchBase(&s, path));
  }
  EXPECT_FALSE(LoadLaunchSettings(&s, dir_.File(L"missing.xml"), SettingsPart::kEveryValue));
}

TEST(SuccessAsksRestart, OnlyASuccessOfPackageType1) {
  const std::tuple<int32_t, int32_t, bool> rows[] = {{1, kResultSuccess, true}, {0, kResultSuccess, false},
      {2, kResultSuccess, false}, {1, kResultInstallerFailed, false}, {1, kResultLatestInstalled, false}};
  for (const auto& [packageType, result, asks] : rows) {
    LaunchSettings settings;
    settings.PackageType = packageType;
    EXPECT_EQ(asks, SuccessAsksRestart(settings, result)) << "PackageType " << packageType << ", result " << result;
  }
}

}  // namespace

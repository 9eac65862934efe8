// The download configuration: its reader, and which of its packages this machine and this launcher fetch.
#include "config/download_config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "config/launch_settings.h"
#include "env/os_detection.h"
#include "net/package_download.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"
#ifndef _WIN32
#include "tests/support/sim_machine_posix.h"
#endif

namespace {

// One package element with the required values; `extra` is more XML inside it, `skip` leaves one required key out.
std::string PackageXml(int index, const std::string& extra = "", const std::string& skip = "") {
  char name[32];
  std::snprintf(name, sizeof(name), "Package%02d", index);
  const std::string n = std::to_string(index);
  std::string xml = std::string("<") + name + "><PackageDownloadURL>http://dl/p" + n + ".msi</PackageDownloadURL>";
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

std::string Config(const std::string& count, const std::string& packages) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DownloadConfig>" +
         (count.empty() ? "" : "<PackageDownloadServerCount>" + count + "</PackageDownloadServerCount>") + packages +
         "</DownloadConfig>\n";
}

// Every field of a package in one line, so that a row compares them all.
std::string Describe(const PackageEntry& p) {
  std::wstring t;
  for (const auto* text : {&p.PackageDownloadURL, &p.PackageVersion, &p.PackageName, &p.SaveFilePath, &p.ExecCommand,
                           &p.PackageHash, &p.PackageFileName}) t += *text + L"|";
  for (int64_t n : {int64_t{p.ExecType}, int64_t{p.ErrorSkip}, int64_t{p.ExecSuccessCode}, int64_t{p.Architecture},
                    int64_t{p.PackageFileSize}, int64_t{p.ProductType}, int64_t{p.TargetOS}, int64_t{p.IsManual},
                    int64_t{p.ManualType}, int64_t{p.Verified}, int64_t{p.LauncherVersion}}) t += std::to_wstring(n) + L",";
  return platform::WideToUtf8(t);
}

class DownloadConfigTest : public ::testing::Test {
 protected:
  bool Parse(const std::string& text) {
    const std::wstring path = dir_.File(L"DownloadConfig.xml");
    EXPECT_TRUE(tavo_test::WriteBytes(path, text));
    packages_.assign(1, PackageEntry());  // records already held stay in front
    const bool ok = ParseDownloadConfig(path, &packages_);
    packages_.erase(packages_.begin());
    return ok;
  }
  tavo_test::TempDir dir_;
  std::vector<PackageEntry> packages_;
  tavo_test::LogCapture log_;
};

TEST_F(DownloadConfigTest, CountDecidesHowManyPackagesAreReadAndWhetherTheParseFails) {
  const std::string decoy = "<Package0100><PackageFileName>wrong.msi</PackageFileName></Package0100>";
  struct Row {
    std::string text;
    bool ok;
    size_t read;
  } rows[] = {
      {Config("", Packages(0, 1)), true, 0},    {Config("0", Packages(0, 1)), true, 0},
      {Config("  0", Packages(0, 1)), true, 0}, {Config("none", Packages(0, 1)), true, 0},
      {Config("1", Packages(0, 1)), true, 1},   {Config("2", Packages(0, 1)), true, 2},
      // More announced than present: fails, keeps what was read.
      {Config("3", Packages(0, 1)), false, 2},  {Config("-1", Packages(0, 2)), false, 3},
      {Config("2147483647", Packages(0, 2)), false, 3}, {Config("99999999999", Packages(0, 2)), false, 3},
      {Config("3", PackageXml(0) + PackageXml(2)), false, 1},  // a gap ends the parse
      {Config("2000", Packages(0, 1999)), true, 2000},
      {Config("101", Packages(0, 100) + decoy), true, 101},  // three digits from 100 on
      // Files that are missing, broken or hostile.
      {"", false, 0}, {"not xml", false, 0}, {"<DownloadConfig><PackageDownloadServerCount>1</DownloadConfig>", false, 0},
      {"<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e \"x\">]><DownloadConfig/>", false, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.ok, Parse(row.text)) << row.text.substr(0, 120);
    ASSERT_EQ(row.read, packages_.size()) << row.text.substr(0, 120);
    if (row.read > 0) {
      EXPECT_EQ(L"p" + std::to_wstring(row.read - 1) + L".msi", packages_.back().PackageFileName);
    }
  }
  EXPECT_FALSE(ParseDownloadConfig(dir_.File(L"absent.xml"), &packages_));
}

TEST_F(DownloadConfigTest, ReadsEveryFieldAndTheDefaultsOfAbsentOrEmptyValues) {
  ASSERT_TRUE(Parse(Config("3", PackageXml(0, "<SaveFilePath>*USERTEMP*a.msi</SaveFilePath><ExecCommand>a /q"
      "</ExecCommand><ExecType>2</ExecType><ErrorSkip>1</ErrorSkip><ExecSuccessCode>3010</ExecSuccessCode>"
      "<Architecture>1</Architecture><ProductType>6</ProductType><PackageFileSize>4294967295</PackageFileSize><TargetOS>"
      "14</TargetOS><IsManual>1</IsManual><ManualType>3</ManualType><LauncherVersion>131</LauncherVersion>") +
      PackageXml(1) + PackageXml(2, "<ExecType></ExecType><ManualType/><LauncherVersion></LauncherVersion>"))));
  ASSERT_EQ(3u, packages_.size());
  std::vector<PackageEntry> want(3);
  for (int i = 0; i < 3; ++i) {  // absent and empty values take the defaults
    const std::wstring n = std::to_wstring(i);
    want[i].PackageDownloadURL = L"http://dl/p" + n + L".msi", want[i].PackageVersion = L"1." + n;
    want[i].PackageName = L"Package " + n, want[i].PackageHash = L"0", want[i].PackageFileName = L"p" + n + L".msi";
  }
  want[0].SaveFilePath = L"*USERTEMP*a.msi", want[0].ExecCommand = L"a /q", want[0].ExecType = 2;
  want[0].ErrorSkip = 1, want[0].ExecSuccessCode = 3010, want[0].Architecture = 1, want[0].ProductType = 6;
  want[0].PackageFileSize = 4294967295u, want[0].TargetOS = 14, want[0].IsManual = 1, want[0].ManualType = 3;
  want[0].LauncherVersion = 131;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Describe(want[i]), Describe(packages_[i])) << i;
}

TEST_F(DownloadConfigTest, MissingOrEmptyRequiredValueFails) {
  for (const std::string key : {"PackageVersion", "PackageName", "PackageHash", "PackageFileName"}) {
    EXPECT_FALSE(Parse(Config("3", PackageXml(0) + PackageXml(1, "", key) + PackageXml(2)))) << key;
    EXPECT_EQ(1u, packages_.size()) << key;
    EXPECT_FALSE(Parse(Config("1", PackageXml(0, "<" + key + "></" + key + ">", key)))) << key;
    EXPECT_TRUE(packages_.empty()) << key;
  }
  // The address is not required.
  EXPECT_TRUE(Parse(Config("1", "<Package00><PackageDownloadURL></PackageDownloadURL><PackageVersion>1</PackageVersion>"
                                "<PackageName>n</PackageName><PackageHash>0</PackageHash>"
                                "<PackageFileName>f.msi</PackageFileName></Package00>")));
}

// The file name is joined to the work folder and run from there: only a plain name of that folder passes.
TEST_F(DownloadConfigTest, APackageFileNameMustBeAPlainName) {
  auto named = [](const std::string& name) {
    return Config("1", "<Package00><PackageVersion>1</PackageVersion><PackageName>n</PackageName><PackageHash>0"
                       "</PackageHash><PackageFileName>" + name + "</PackageFileName></Package00>");
  };
  for (const char* name : {"tavo.msi", "TAVO Net Shield 10.0.exe", "a.b.c", ".msi", "conf.msi", "com10.exe", "lpt.dat",
                           "tavo..x64.msi", "..msi", "\xE3\x83\x84\xE3\x83\xBC\xE3\x83\xAB.exe"}) {
    EXPECT_TRUE(Parse(named(name))) << name;
  }
  for (const char* name : {"../../outside/evil.exe", "..", ".", "a/../b.msi", "sub/a.msi", "sub\\a.msi", "C:a.msi", "a.msi:ads",
                           "tavo\" EVIL=\"1.msi", "a|b.msi", "a*.msi", "a?.msi", "a&lt;b&gt;.msi", "tavo.msi.", "tavo.msi ",
                           "CON", "nul.msi", "Com1.exe", "LPT9", "lpt1 .txt", "AUX.tar.gz", "conin$", "COM\xC2\xB9.msi"}) {
    EXPECT_FALSE(Parse(named(name))) << name;
  }
  // Only the packages that apply to this machine are held to it.
  const std::string odd = named("sub/a.msi");
  std::vector<PackageEntry> packages;
  tavo_test::TempDir dir;
  ASSERT_TRUE(tavo_test::WriteBytes(dir.File(L"c.xml"), odd));
  EXPECT_TRUE(ParseDownloadConfig(dir.File(L"c.xml"), &packages, [](const PackageEntry&) { return false; }));
  EXPECT_FALSE(ParseDownloadConfig(dir.File(L"c.xml"), &packages, [](const PackageEntry&) { return true; }));
}

enum class Os { Any, ThisOne, Another };

struct Case {
  int32_t architecture, productType, settingsProductType;
  Os targetOs;
  int32_t isManual, manualType, launcherVersion;
  bool on64, on32;  // applicable on 64-bit and on 32-bit Windows
};

const Case kCases[] = {
    {99, 99, 1, Os::Any, 0, 99, 130, 1, 1},  {99, 97, 1, Os::Any, 0, 99, 130, 1, 1},  {99, 97, 6, Os::Any, 0, 0, 130, 1, 1},
    {99, 2, 2, Os::Any, 0, 1, 130, 1, 1},    {99, 2, 1, Os::Any, 0, 99, 130, 0, 0},   {1, 1, 1, Os::Any, 0, 99, 130, 1, 0},
    {0, 1, 1, Os::Any, 0, 99, 130, 0, 1},    {1, 5, 1, Os::Any, 0, 99, 130, 0, 0},    {0, 5, 1, Os::Any, 0, 99, 130, 0, 0},
    // 97 and 99 are no wildcard unless the architecture is 99.
    {1, 97, 1, Os::Any, 0, 99, 130, 0, 0},   {1, 97, 97, Os::Any, 0, 99, 130, 1, 0},  {0, 99, 1, Os::Any, 0, 99, 130, 0, 0},
    {0, 99, 99, Os::Any, 0, 99, 130, 0, 1},  {2, 1, 1, Os::Any, 0, 99, 130, 0, 0},
    {99, 99, 1, Os::ThisOne, 0, 99, 130, 1, 1}, {99, 99, 1, Os::Another, 0, 99, 130, 0, 0},
    {1, 1, 1, Os::ThisOne, 0, 99, 130, 1, 0},
    // Manual packages are never fetched, whatever their manual type.
    {99, 99, 1, Os::Any, 1, 99, 130, 0, 0},  {99, 99, 1, Os::Any, -1, 0, 130, 0, 0},  {99, 99, 1, Os::Any, 1, 1, 130, 0, 0},
    {99, 99, 1, Os::Any, 0, 1, 131, 1, 1},   {99, 99, 1, Os::Any, 0, 99, 129, 0, 0},  {99, 99, 1, Os::Any, 0, 99, 132, 0, 0},
    {99, 99, 1, Os::Any, 0, 99, 0, 0, 0},
};

// Every case on each machine the row states: on Linux a simulated 64-bit Windows 10 and 32-bit Windows 7, under Wine
// the 64-bit prefix the tests run in.
TEST(PackageApplicability, DecisionTable) {
  const struct {
    const char* name;
    bool windows64;
  } machines[] = {
#ifdef _WIN32
      {"Wine prefix", true},
#else
      {"Windows 10 x64", true}, {"Windows 7 x86", false},
#endif
  };
  for (const auto& m : machines) {
#ifndef _WIN32
    tavo_test::SimMachine machine;
    m.windows64 ? machine.SetWindows(10, 0, 1, 9, 1) : machine.SetWindows(6, 1, 1, 0, 0);
#endif
    const OsCode os = GetOsCode();
    ASSERT_NE(0, os);
    for (const Case& c : kCases) {
      PackageEntry entry;
      entry.Architecture = c.architecture, entry.ProductType = c.productType, entry.IsManual = c.isManual;
      entry.TargetOS = c.targetOs == Os::Any ? 0 : c.targetOs == Os::ThisOne ? os : os + 1;
      entry.ManualType = c.manualType, entry.LauncherVersion = c.launcherVersion;
      LaunchSettings settings;
      settings.ProductType = c.settingsProductType;
      EXPECT_EQ(m.windows64 ? c.on64 : c.on32, IsPackageApplicable(entry, settings)) << m.name << ", case " << &c - kCases;
    }
  }
}

}  // namespace

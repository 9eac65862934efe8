// The environment block of the debug log on simulated machines.
#include <gtest/gtest.h>

#include "app/launcher_context.h"
#include "env/environment_survey.h"
#include "env/security_center.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::LogCapture;
using tavo_test::SimMachine;

struct Line {
  bool error;
  std::wstring text;
  bool operator==(const Line& other) const { return error == other.error && text == other.text; }
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
  std::string narrow;
  for (wchar_t c : line.text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return out << (line.error ? "E:" : "I:") << narrow;
}

std::vector<Line> Lines(const LogCapture& log) {
  std::vector<Line> lines;
  for (const auto& entry : log.Entries()) {
    std::wstring text = entry.text;
    // The code of an error entry depends on what failed before; the text is what is fixed.
    size_t code = text.find(L" (ERRORCODE ");
    if (entry.error && code != std::wstring::npos) text.resize(code);
    lines.push_back({entry.error, text});
  }
  return lines;
}

Line I(const std::wstring& text) { return {false, text}; }
Line E(const std::wstring& text) { return {true, text}; }

const wchar_t kInfo[] = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";

TEST(EnvironmentSurvey, FullBlock) {
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  machine.SetRegistryString(kInfo, L"ProductName", L"TAVO Total Shield");
  machine.SetRegistryString(kInfo, L"ProductVersion", L"9.0.2032.2");
  machine.WriteFile("securitycenter.ini",
                    "[AntiVirusProduct 1]\n"
                    "displayName=Contoso Antivirus\ncompanyName=Contoso Ltd.\nproductState=0x1000\n"
                    "[AntiVirusProduct 2]\n"
                    "displayName=Windows Defender\nproductState=0x0010\n"
                    "[AntiSpywareProduct 1]\n"
                    "displayName=Fabrikam Spy Sweeper\nproductState=0x1110\n"
                    "[FirewallProduct 1]\n"
                    "displayName=Contoso Firewall\ncompanyName=Contoso Ltd.\nproductState=0x1100\n"
                    "[FirewallProduct 2]\n"
                    "productState=0x0000\n");
  LauncherContext context;
  context.Settings.PackageVersionWin = L"9.0";
  context.Settings.ProviderType = L"KOTA";
  LogCapture log;
  WriteEnvironmentSurvey(context);
  const std::vector<Line> expected = {
      I(L"*****環境情報*****"),
      I(L"TAVO製品のインストール:インストールされています。"),
      I(L"インストールされているTAVO製品：9.0.2032.2"),
      I(L"インストールを行う製品バージョン：9.0"),
      I(L"インストールランチャーのタイプ：KOTA"),
      I(L"オペレーティングシステム：Windows 10 x64"),
      I(L"*****ウイルス対策製品の情報*****"),
      I(L"ウイルス対策製品 1"),
      I(L"ウイルス対策製品名：Contoso Antivirus"),
      I(L"製造元：Contoso Ltd."),
      I(L"ウイルス対策製品の動作：有効"),
      I(L"定義データベースの更新：更新済み"),
      I(L"ウイルス対策製品 2"),
      I(L"ウイルス対策製品名：Windows Defender"),
      I(L"ウイルス対策製品の動作：無効"),
      I(L"定義データベースの更新：未更新"),
      I(L"*****スパイウェア対策製品の情報*****"),
      I(L"スパイウェア対策製品 1"),
      I(L"スパイウェア対策製品名：Fabrikam Spy Sweeper"),
      I(L"スパイウェア対策製品の動作：有効"),
      I(L"定義データベースの更新：未更新"),
      I(L"*****ファイアウォール製品の情報*****"),
      I(L"ファイアウォール製品 1"),
      I(L"ファイアウォール製品名：Contoso Firewall"),
      I(L"製造元：Contoso Ltd."),
      I(L"ファイアウォール製品の動作：有効"),
      I(L"ファイアウォール製品 2"),
      I(L"ファイアウォール製品名："),
      I(L"製造元："),
      I(L"ファイアウォール製品の動作：無効"),
  };
  EXPECT_EQ(expected, Lines(log));
}

TEST(EnvironmentSurvey, NothingInstalledNoProductsAndEmptySettings) {
  SimMachine machine;  // no securitycenter.ini: no products
  machine.SetWindows(6, 1, 1, 0, 0);
  LauncherContext context;
  context.Settings.PackageVersionWin.clear();
  context.Settings.ProviderType.clear();
  LogCapture log;
  WriteEnvironmentSurvey(context);
  const std::vector<Line> expected = {
      I(L"*****環境情報*****"),
      I(L"TAVO製品のインストール：インストールされていません。"),
      I(L"オペレーティングシステム：Windows 7 x86"),
      I(L"*****ウイルス対策製品の情報*****"),
      I(L"*****スパイウェア対策製品の情報*****"),
      I(L"*****ファイアウォール製品の情報*****"),
  };
  EXPECT_EQ(expected, Lines(log));
}

TEST(EnvironmentSurvey, FailuresBecomeErrorEntries) {
  SimMachine machine;
  machine.SetWindows(11, 0, 1, 9, 1);  // no name for this system
  machine.SetRegistryString(kInfo, L"ProductName", L"TAVO Net Shield");  // no version value
  machine.WriteFile("securitycenter.ini",
                    "[Fail]\nAntiVirusProduct=1\nAntiSpywareProduct=1\nFirewallProduct=1\n"
                    "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n");
  LauncherContext context;
  LogCapture log;
  WriteEnvironmentSurvey(context);
  const std::vector<Line> expected = {
      I(L"*****環境情報*****"),
      I(L"TAVO製品のインストール:インストールされています。"),
      E(L"インストールされているTAVO製品：バージョンの取得に失敗しました。"),
      I(L"インストールを行う製品バージョン：0.0"),
      I(L"インストールランチャーのタイプ：KOTA"),
      E(L"オペレーティングシステム：取得に失敗しました。"),
      E(L"ウイルス対策製品の情報取得に失敗しました。"),
      E(L"スパイウェア対策製品の情報取得に失敗しました。"),
      E(L"ファイアウォール製品の情報取得に失敗しました。"),
  };
  EXPECT_EQ(expected, Lines(log));
}

TEST(EnvironmentSurvey, OnlyOneQueryFails) {
  SimMachine machine;
  machine.WriteFile("securitycenter.ini",
                    "[Fail]\nAntiSpywareProduct=1\n"
                    "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n"
                    "[AntiSpywareProduct 1]\ndisplayName=Contoso Antivirus\n"
                    "[FirewallProduct 1]\ndisplayName=Contoso Firewall\n");
  LauncherContext context;
  LogCapture log;
  WriteEnvironmentSurvey(context);
  std::vector<Line> lines = Lines(log);
  auto at = [&](const Line& line) {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == line) return static_cast<int>(i);
    }
    return -1;
  };
  EXPECT_GE(at(I(L"ウイルス対策製品名：Contoso Antivirus")), 0);
  EXPECT_EQ(-1, at(I(L"*****スパイウェア対策製品の情報*****")));
  EXPECT_EQ(-1, at(I(L"スパイウェア対策製品名：Contoso Antivirus")));
  const int failure = at(E(L"スパイウェア対策製品の情報取得に失敗しました。"));
  EXPECT_GT(failure, at(I(L"ウイルス対策製品名：Contoso Antivirus")));
  EXPECT_LT(failure, at(I(L"*****ファイアウォール製品の情報*****")));
  EXPECT_GE(at(I(L"ファイアウォール製品名：Contoso Firewall")), 0);
}

TEST(SecurityCenterQueries, ReadFromTheMachine) {
  SimMachine machine;
  machine.WriteFile("securitycenter.ini",
                    "; products as the Security Center reports them\n"
                    "[AntiVirusProduct 2]\n"
                    "displayName=Second\ncompanyName=Maker\nversionNumber=1.2.3\n"
                    "pathToSignedProductExe=C:\\P\\av.exe\npathToSignedReportingExe=C:\\P\\rep.exe\n"
                    "productState=266240\n"
                    "[AntiVirusProduct 1]\n"
                    "displayName=First\nproductState=not a number\n"
                    "[AntiVirusProductX]\n"
                    "displayName=Not an instance\n"
                    "[FirewallProduct 1]\n"
                    "displayName=Wall\n");
  std::vector<SecurityCenterProduct> products;
  ASSERT_TRUE(QueryAntiVirusProducts(&products));
  ASSERT_EQ(2u, products.size());
  EXPECT_TRUE(products[0].Valid);
  EXPECT_EQ(L"Second", products[0].DisplayName);
  EXPECT_EQ(L"Maker", products[0].CompanyName);
  EXPECT_EQ(L"1.2.3", products[0].VersionNumber);
  EXPECT_EQ(L"C:\\P\\av.exe", products[0].PathToSignedProductExe);
  EXPECT_EQ(L"C:\\P\\rep.exe", products[0].PathToSignedReportingExe);
  EXPECT_TRUE(products[0].HasState);
  EXPECT_EQ(266240u, products[0].ProductState);  // 0x41000
  EXPECT_TRUE(products[0].Enabled);
  EXPECT_TRUE(products[0].UpToDate);
  EXPECT_EQ(L"First", products[1].DisplayName);
  EXPECT_FALSE(products[1].HasState);
  EXPECT_FALSE(products[1].Enabled);
  EXPECT_FALSE(products[1].UpToDate);

  // Records are appended to what the list holds.
  ASSERT_TRUE(QueryFirewallProducts(&products));
  ASSERT_EQ(3u, products.size());
  EXPECT_EQ(L"Wall", products[2].DisplayName);

  std::vector<SecurityCenterProduct> spyware;
  ASSERT_TRUE(QueryAntiSpywareProducts(&spyware));
  EXPECT_TRUE(spyware.empty());
}

TEST(SecurityCenterQueries, NamespaceFollowsTheSystemVersion) {
  struct Row {
    int major, minor;
    const wchar_t* ns;
  };
  const Row rows[] = {{5, 1, L"ROOT\\SecurityCenter"},
                      {5, 2, L"ROOT\\SecurityCenter"},
                      {6, 0, L"ROOT\\SecurityCenter2"},
                      {6, 1, L"ROOT\\SecurityCenter2"},
                      {10, 0, L"ROOT\\SecurityCenter2"}};
  for (const Row& row : rows) {
    SimMachine machine;
    machine.SetWindows(row.major, row.minor, 1, 9, 1);
    EXPECT_EQ(std::wstring(row.ns), SecurityCenterNamespace()) << row.major << "." << row.minor;
  }
}

TEST(SecurityCenterQueries, FailSectionFailsOnlyTheNamedQuery) {
  SimMachine machine;
  machine.WriteFile("securitycenter.ini",
                    "[Fail]\nFirewallProduct=1\nAntiSpywareProduct=0\n"
                    "[FirewallProduct 1]\ndisplayName=Wall\n"
                    "[AntiSpywareProduct 1]\ndisplayName=Spy\n");
  std::vector<SecurityCenterProduct> products;
  EXPECT_FALSE(QueryFirewallProducts(&products));
  EXPECT_TRUE(products.empty());
  EXPECT_TRUE(QueryAntiSpywareProducts(&products));
  EXPECT_EQ(1u, products.size());
  EXPECT_TRUE(QueryAntiVirusProducts(&products));
  EXPECT_EQ(1u, products.size());
}

}  // namespace

#include "env/environment_survey.h"

#include <vector>

#include "base/debug_log.h"
#include "config/launch_settings.h"
#include "base/text.h"
#include "env/installed_edition.h"
#include "env/os_detection.h"
#include "env/security_center.h"

namespace {

// The texts of one product part of the block.
struct ProductPart {
  const wchar_t* heading;
  const wchar_t* numberFormat;
  const wchar_t* nameFormat;
  const wchar_t* enabledLine;
  const wchar_t* disabledLine;
  const wchar_t* failureLine;
  bool (*query)(std::vector<SecurityCenterProduct>*);
};

const ProductPart kAntiVirus = {
    L"*****ウイルス対策製品の情報*****",
    L"ウイルス対策製品 %d",
    L"ウイルス対策製品名：%ls",
    L"ウイルス対策製品の動作：有効",
    L"ウイルス対策製品の動作：無効",
    L"ウイルス対策製品の情報取得に失敗しました。",
    QueryAntiVirusProducts,
};

const ProductPart kAntiSpyware = {
    L"*****スパイウェア対策製品の情報*****",
    L"スパイウェア対策製品 %d",
    L"スパイウェア対策製品名：%ls",
    L"スパイウェア対策製品の動作：有効",
    L"スパイウェア対策製品の動作：無効",
    L"スパイウェア対策製品の情報取得に失敗しました。",
    QueryAntiSpywareProducts,
};

const ProductPart kFirewall = {
    L"*****ファイアウォール製品の情報*****",
    L"ファイアウォール製品 %d",
    L"ファイアウォール製品名：%ls",
    L"ファイアウォール製品の動作：有効",
    L"ファイアウォール製品の動作：無効",
    L"ファイアウォール製品の情報取得に失敗しました。",
    QueryFirewallProducts,
};

// Anti-virus and anti-spyware parts: name and maker only when known, plus the
// definitions line. The firewall part always names name and maker and has no
// definitions.
void WriteProductPart(const ProductPart& part, bool firewall) {
  std::vector<SecurityCenterProduct> products;
  if (!part.query(&products)) {
    Log().Error(part.failureLine);
    return;
  }
  Log().Info(part.heading);
  int number = 0;
  for (const SecurityCenterProduct& product : products) {
    ++number;
    Log().Info(FormatText(part.numberFormat, number));
    if (firewall || !product.DisplayName.empty()) {
      Log().Info(FormatText(part.nameFormat, product.DisplayName.c_str()));
    }
    if (firewall || !product.CompanyName.empty()) {
      Log().Info(FormatText(L"製造元：%ls", product.CompanyName.c_str()));
    }
    Log().Info(product.Enabled ? part.enabledLine : part.disabledLine);
    if (!firewall) {
      Log().Info(product.UpToDate ? L"定義データベースの更新：更新済み" : L"定義データベースの更新：未更新");
    }
  }
}

}  // namespace

void WriteEnvironmentSurvey(const LaunchSettings& settings) {
  Log().Info(L"*****環境情報*****");

  if (IsAnyEditionInstalled() || IsTtsOrTvgInstalled()) {
    Log().Info(L"TAVO製品のインストール:インストールされています。");
    std::wstring version;
    if (GetInstalledProductVersion(&version)) {
      Log().Info(FormatText(L"インストールされているTAVO製品：%ls", version.c_str()));
    } else {
      Log().Error(L"インストールされているTAVO製品：バージョンの取得に失敗しました。");
    }
  } else {
    Log().Info(L"TAVO製品のインストール：インストールされていません。");
  }

  if (!settings.PackageVersionWin.empty()) {
    Log().Info(FormatText(L"インストールを行う製品バージョン：%ls", settings.PackageVersionWin.c_str()));
  }
  if (!settings.ProviderType.empty()) {
    Log().Info(FormatText(L"インストールランチャーのタイプ：%ls", settings.ProviderType.c_str()));
  }

  const std::wstring osName = GetOsName();
  if (!osName.empty()) {
    Log().Info(FormatText(L"オペレーティングシステム：%ls", osName.c_str()));
  } else {
    Log().Error(L"オペレーティングシステム：取得に失敗しました。");
  }

  WriteProductPart(kAntiVirus, false);
  WriteProductPart(kAntiSpyware, false);
  WriteProductPart(kFirewall, true);
}

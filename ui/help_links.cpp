#include "ui/help_links.h"
#include "base/editions.h"
#include "base/result_codes.h"
#include "install/install_result.h"

namespace {

const wchar_t kSite[] = L"https://www.tavo-security.jp";
const wchar_t kFaq[] = L"https://faq.tavo-security.jp";

bool Is(int32_t productType, ProductEdition edition) { return productType == static_cast<int32_t>(edition); }
bool IsTvg(int32_t t) { return Is(t, ProductEdition::TVG); }
bool IsTns(int32_t t) { return Is(t, ProductEdition::TNS); }
bool IsTtsp(int32_t t) { return Is(t, ProductEdition::TTSP); }

}  // namespace

std::wstring SiteDomainFor(int32_t productType) {
  if (IsTvg(productType)) return L"client";
  if (IsTns(productType)) return L"default";
  if (IsTtsp(productType)) return L"private";
  return std::wstring();
}

std::wstring HelpPageUrl(HelpPage page, int32_t productType) {
  const std::wstring site = kSite;
  const std::wstring faq = kFaq;
  const std::wstring domain = SiteDomainFor(productType);
  switch (page) {
    case HelpPage::None:
      return std::wstring();
    case HelpPage::ConflictFaq:
      return domain.empty() ? std::wstring() : faq + L"/faq/show/1201?site_domain=" + domain;
    case HelpPage::OtherEditionFaq:
      return domain.empty() ? std::wstring() : faq + L"/faq/show/1601?site_domain=" + domain;
    case HelpPage::SystemRequirements:
      if (IsTvg(productType)) return site + L"/business/virusguard/#requirements";
      if (IsTns(productType)) return site + L"/home/netshield/#requirements";
      if (IsTtsp(productType)) return site + L"/home/totalshieldplus/#requirements";
      return std::wstring();
    case HelpPage::InstallerError1601:
      return site + L"/support/article/installer-1601/";
    case HelpPage::InstallerError1603:
      return site + L"/support/article/installer-1603/";
    case HelpPage::InstallerError1618:
      return site + L"/support/article/installer-1618/";
    case HelpPage::InstallTrouble:
      if (IsTvg(productType)) return site + L"/support/install-trouble/virusguard/";
      if (IsTns(productType)) return site + L"/support/install-trouble/netshield/";
      if (IsTtsp(productType)) return site + L"/support/install-trouble/totalshieldplus/";
      return site + L"/support/install-trouble/";
    case HelpPage::ProgramDownload:
      return site + (IsTvg(productType) ? L"/support/download/#tvg" : L"/support/download/#tts");
    case HelpPage::InstallProcedure:
      return site + (IsTvg(productType) ? L"/support/install-procedure/virusguard/" : L"/support/install-procedure/");
  }
  return std::wstring();
}

HelpPage HelpPageForResult(int32_t resultCode, int32_t resultDetail, int32_t productType) {
  HelpPage page = HelpPage::InstallTrouble;
  if (resultCode == kResultConflict) {
    page = HelpPage::ConflictFaq;
  } else if (resultCode == kResultOtherEdition) {
    page = HelpPage::OtherEditionFaq;
  } else if (resultCode == kResultUnsupportedOs) {
    page = HelpPage::SystemRequirements;
  } else if (resultDetail == kLogClass1601) {
    return HelpPage::InstallerError1601;
  } else if (resultDetail == kLogClassServiceStop || resultDetail == kLogClassServiceDelete) {
    return HelpPage::InstallerError1603;
  } else if (resultDetail == kLogClass1618) {
    return HelpPage::InstallerError1618;
  }
  // TAVO Total Shield has no FAQ or product-page entries of its own; its
  // users still get a page that helps.
  if (HelpPageUrl(page, productType).empty()) return HelpPage::InstallTrouble;
  return page;
}

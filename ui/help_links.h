#pragma once
#include <cstdint>
#include <string>

// The vendor's web pages the completion page links to, by role. The one table
// of addresses lives in help_links.cpp.
enum class HelpPage {
  None,
  ConflictFaq,            // FAQ: conflicting anti-virus software (site_domain by edition)
  OtherEditionFaq,        // FAQ: another edition is installed (site_domain by edition)
  SystemRequirements,     // product page, system-requirements section
  InstallerError1601,     // support article on installer error 1601
  InstallerError1603,
  InstallerError1618,
  InstallTrouble,         // general installation-trouble page, one per edition
  ProgramDownload,        // program-download page (TVG section or TTS section)
  InstallProcedure,       // installation procedure (TVG variant or general)
};

// The site_domain value of the FAQ pages: "client" TVG, "default" TNS,
// "private" TTSP; empty for editions without FAQ pages.
std::wstring SiteDomainFor(int32_t productType);

// The address of a role for the edition to install; empty when the role has
// no page for that edition.
std::wstring HelpPageUrl(HelpPage page, int32_t productType);

// Which page the completion page's help link opens for a result. Where no page
// exists for the edition, the general installation-trouble page serves.
HelpPage HelpPageForResult(int32_t resultCode, int32_t resultDetail, int32_t productType);

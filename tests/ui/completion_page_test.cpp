// The completion page's decisions for every result the launcher knows: a headline and a body for each, results that
// must read differently do, and a help link that opens the vendor's page for the edition.
#include <gtest/gtest.h>

#include <set>

#include "base/run_result.h"
#include "platform/utf.h"
#include "ui/completion_page.h"

namespace {

RunResult Result(int32_t result) {
  RunResult r;
  r.ResultCode = result;
  r.DetectedConflictNames = {L"Other AV"};
  return r;
}

bool IsWebAddress(const std::wstring& url) { return url.rfind(L"https://", 0) == 0 || url.rfind(L"http://", 0) == 0; }

TEST(CompletionPage, EveryResultHasItsTextsAndAWorkingHelpLink) {
  for (int32_t edition : {1, 2, 5, 6}) {
    for (int32_t result = -4; result <= 21; ++result) {
      SCOPED_TRACE(std::to_string(result) + " edition " + std::to_string(edition));
      const CompletionLayout page = BuildCompletionLayout(Result(result), edition, result == 1);
      EXPECT_FALSE(page.headline.empty());
      EXPECT_EQ(result != 17, !page.body.empty());
      EXPECT_FALSE(page.finish.caption.empty());
      // Success, a left-over conflict, nothing run and the latest version need no help.
      const bool help = result != 1 && result != 13 && result != 15 && result != 17;
      EXPECT_EQ(help, page.helpLinkShown);
      EXPECT_EQ(help, !page.helpLinkCaption.empty());
      EXPECT_TRUE(IsWebAddress(page.helpUrl)) << platform::WideToUtf8(page.helpUrl);
      EXPECT_EQ(HelpPageForResult(result, 0, edition), page.helpPage);
      EXPECT_EQ(HelpPageUrl(page.helpPage, edition), page.helpUrl);
      EXPECT_EQ(result == 9, page.downloadLinksShown);
      EXPECT_EQ(result == 13, page.resume.shown);
      if (result == 9) {
        EXPECT_TRUE(IsWebAddress(page.downloadUrl) && IsWebAddress(page.procedureUrl));
      }
    }
    const auto headline = [edition](int32_t r) { return BuildCompletionLayout(Result(r), edition, false).headline; };
    const auto body = [edition](int32_t r) { return BuildCompletionLayout(Result(r), edition, false).body; };
    // Each outcome the user must act on differently reads differently.
    for (int32_t a : {1, 3, 12, 13, 15, 16, 17, 21}) {
      for (int32_t b : {1, 2, 3, 12, 13, 15, 16, 17, 21}) {
        const bool same = a == b || (a == 3 && b == 16) || (a == 16 && b == 3);  // two install errors
        EXPECT_TRUE(same || headline(a) != headline(b)) << a << "/" << b;
      }
    }
    for (int32_t a : {2, 3, 4, 5, 6, 7, 9, 12, 13, 15, 16, 21}) {
      for (int32_t b : {2, 3, 4, 5, 6, 7, 9, 12, 13, 15, 16, 21}) {
        EXPECT_TRUE(a >= b || body(a) != body(b)) << a << "/" << b;
      }
    }
    EXPECT_NE(BuildCompletionLayout(Result(1), edition, true).finish.caption,
              BuildCompletionLayout(Result(3), edition, false).finish.caption);
  }
}

TEST(HelpLinks, PagesByResultAndEdition) {
  const struct {
    int32_t result, detail, edition;
    HelpPage page;
  } rows[] = {
      {12, 0, 2, HelpPage::ConflictFaq}, {12, 0, 5, HelpPage::ConflictFaq}, {12, 0, 6, HelpPage::ConflictFaq},
      {16, 0, 6, HelpPage::OtherEditionFaq}, {21, 0, 2, HelpPage::SystemRequirements},
      // TAVO Total Shield has none of these pages: the general trouble page helps instead.
      {12, 0, 1, HelpPage::InstallTrouble}, {16, 0, 1, HelpPage::InstallTrouble}, {21, 0, 1, HelpPage::InstallTrouble},
      {8, 1, 1, HelpPage::InstallerError1601}, {8, 4, 2, HelpPage::InstallerError1603},
      {8, 5, 2, HelpPage::InstallerError1603}, {8, 7, 6, HelpPage::InstallerError1618},
      {7, 1603, 6, HelpPage::InstallTrouble}, {3, 0, 2, HelpPage::InstallTrouble}};
  for (const auto& row : rows) {
    EXPECT_EQ(row.page, HelpPageForResult(row.result, row.detail, row.edition)) << row.result << "/" << row.edition;
    const std::wstring url = HelpPageUrl(row.page, row.edition);
    EXPECT_TRUE(IsWebAddress(url));
    // The FAQ pages carry the edition's site_domain.
    if (row.page == HelpPage::ConflictFaq || row.page == HelpPage::OtherEditionFaq) {
      ASSERT_FALSE(SiteDomainFor(row.edition).empty());
      EXPECT_NE(std::wstring::npos, url.find(L"site_domain=" + SiteDomainFor(row.edition)));
    }
  }
  std::set<std::wstring> domains = {SiteDomainFor(2), SiteDomainFor(5), SiteDomainFor(6)};
  EXPECT_EQ(3u, domains.size());
  EXPECT_EQ(L"", SiteDomainFor(1));
  // One trouble page per edition and a fourth for any other.
  std::set<std::wstring> trouble;
  for (int32_t edition : {1, 2, 5, 6, 3}) trouble.insert(HelpPageUrl(HelpPage::InstallTrouble, edition));
  EXPECT_EQ(4u, trouble.size());
  EXPECT_NE(HelpPageUrl(HelpPage::ProgramDownload, 2), HelpPageUrl(HelpPage::ProgramDownload, 1));
}

}  // namespace

#include <gtest/gtest.h>

#include "app/launcher_context.h"
#include "env/conflict_detection.h"
#include "platform/utf.h"
#include "ui/completion_page.h"
#include "ui/resource_ids.h"

namespace {

LauncherContext Context(int32_t result, int32_t detail = 0, int32_t productType = 5) {
  LauncherContext c;
  c.ResultCode = result;
  c.ResultDetail = detail;
  c.Settings.ProductType = productType;
  return c;
}

std::string U(const std::wstring& s) { return platform::WideToUtf8(s); }

struct ResultRow {
  int32_t result;
  const wchar_t* headline;
  const wchar_t* caption;  // empty: no help link
  const wchar_t* bodyStart;
};

const ResultRow kRows[] = {
    {1, L"インストールが完了しました", L"", L"プログラムのインストールが完了しました。\r\n「完了」ボタンをクリック後、Windowsを再起動してください。"},
    {2, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"プログラムのインストール中にエラーが発生しました。\r\n"},
    {3, L"インストール中にエラーが発生しました", L"インストールに失敗する場合は？", L"ダウンロードサーバーとの接続に失敗しました。"},
    {4, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"設定ファイルをダウンロードできませんでした。\r\n"},
    {5, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"設定ファイルの解析中にエラーが発生しました。\r\n"},
    {6, L"インストール中にエラーが発生しました", L"インストールに失敗する場合は？", L"最新のインストーラーをダウンロードできませんでした。\r\n"},
    {7, L"インストールに失敗しました", L"サポート情報を表示する", L"プログラムのインストール中にエラーが発生しました。（エラーコード：0）"},
    {8, L"インストールに失敗しました", L"サポート情報を表示する", L"プログラムのインストール中にエラーが発生しました。（エラーコード：0）"},
    {9, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"ファイルのダウンロードに失敗しました。「プログラムのダウンロード」"},
    {10, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"プログラムのインストール中にエラーが発生しました。\r\n"},
    {11, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"プログラムのインストール中にエラーが発生しました。\r\n"},
    {12, L"競合するウイルス対策ソフトウェアをアンインストールしてください", L"競合するウイルス対策ソフトウェアを検出した場合は？", L"競合するウイルス対策ソフトウェアを検出しました。\r\n検出したウイルス対策ソフトウェア：Other AV\r\n"},
    {13, L"競合するウイルス対策ソフトウェアを検出しました", L"", L"すでにアンインストールされた競合するウイルス対策ソフトウェアの消し忘れの情報を検出しました。\r\n検出したウイルス対策ソフトウェア：Other AV\r\n"},
    {14, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"プログラムのインストール中にエラーが発生しました。\r\n"},
    {15, L"インストールは実行されませんでした", L"", L"インストールを実行するには、「終了」ボタンをクリックしてプログラムを終了し、プログラムを再度実行してください。"},
    {16, L"インストール中にエラーが発生しました", L"別のTAVO製品が検出され、インストールに失敗する場合は？", L"すでに別のTAVO製品がインストールされています。\r\n"},
    {17, L"すでに最新バージョンのTAVO製品がインストールされています", L"", L""},
    {18, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"プログラムのインストール中にエラーが発生しました。\r\n"},
    {19, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"プログラムのインストール中にエラーが発生しました。\r\n"},
    {20, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"プログラムのインストール中にエラーが発生しました。\r\n"},
    {21, L"本製品はご利用中のOSには対応していません", L"TAVO製品ページ", L"ご利用中のOSには、本製品をインストールできません。（エラーコード：E000）\r\n本製品の対応OSは、TAVO製品ページにて確認いただけます。"},
    {0, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"プログラムのインストール中にエラーが発生しました。\r\n"},
    {-4, L"インストールに失敗しました", L"インストールに失敗する場合は？", L"プログラムのインストール中にエラーが発生しました。\r\n"},
};

TEST(CompletionPage, HeadlineBodyAndHelpLinkOfEveryResult) {
  for (const auto& row : kRows) {
    LauncherContext c = Context(row.result);
    c.DetectedConflictNames = {L"Other AV"};
    CompletionLayout layout = BuildCompletionLayout(c, false);
    SCOPED_TRACE(row.result);
    EXPECT_EQ(U(row.headline), U(layout.headline));
    EXPECT_EQ(U(row.caption), U(layout.helpLinkCaption));
    EXPECT_EQ(row.caption[0] != 0, layout.helpLinkShown);
    EXPECT_EQ(0u, layout.body.find(row.bodyStart)) << U(layout.body);
    // Where the body names the help link, it names the caption shown.
    if (layout.body.find(L"をクリックしてください。") != std::wstring::npos && layout.helpLinkShown &&
        row.result != 9) {
      EXPECT_NE(std::wstring::npos, layout.body.find(L"「" + layout.helpLinkCaption + L"」")) << U(layout.body);
    }
    EXPECT_EQ(row.result == 9, layout.downloadLinksShown);
    EXPECT_EQ(row.result == 13, layout.resume.shown);
    EXPECT_FALSE(layout.helpUrl.empty());
  }
}

TEST(CompletionPage, ExactBodiesOfTheRetryFamily) {
  EXPECT_EQ(L"ダウンロードサーバーとの接続に失敗しました。ネットワークに接続されていない可能性があります。\r\n"
            L"インターネット接続ができることを確認の上、再度インストールを実行してください。\r\n"
            L"ネットワーク接続後も繰り返しインストールに失敗する場合は、「インストールに失敗する場合は？」をクリックしてください。",
            BuildCompletionLayout(Context(3), false).body);
  EXPECT_EQ(L"設定ファイルの解析中にエラーが発生しました。\r\nプログラムを終了し、再度インストールを実行してください。\r\n"
            L"繰り返しインストールに失敗する場合は、「インストールに失敗する場合は？」をクリックしてください。",
            BuildCompletionLayout(Context(5), false).body);
  EXPECT_EQ(L"すでに別のTAVO製品がインストールされています。\r\n上書きインストールによるアップグレード・ダウングレードはできません。"
            L"対応方法につきましては、「別のTAVO製品が検出され、インストールに失敗する場合は？」をクリックして確認してください。",
            BuildCompletionLayout(Context(16), false).body);
}

TEST(CompletionPage, InstallerFailureBodiesByDetail) {
  struct Row {
    int32_t result, detail;
    const wchar_t* message;
    const wchar_t* codeText;
    const wchar_t* reason;
    HelpPage page;
  } rows[] = {
      {8, 1, L" [1920]", L"（エラーコード：1601 [1920]）", L"Windows Installer サービスが原因で問題が発生した可能性があります。", HelpPage::InstallerError1601},
      {8, 4, L"", L"（エラーコード：1603）", L"TAVOサービスの停止に失敗した可能性があります。", HelpPage::InstallerError1603},
      {8, 5, L"", L"（エラーコード：1603）", L"TAVOサービスの削除に失敗した可能性があります。", HelpPage::InstallerError1603},
      {8, 7, L"", L"（エラーコード：1618）", L"Windows Updateや別の製品のインストールが実行されている可能性があります。", HelpPage::InstallerError1618},
      {7, 1603, L"", L"（エラーコード：1603）", L"Windows Installer サービスが原因で問題が発生した可能性があります。", HelpPage::InstallTrouble},
      {7, 1603, L" [2203, 1920]", L"（エラーコード：1603 [2203, 1920]）", L"Windows Installer サービス", HelpPage::InstallTrouble},
      {7, -1, L"", L"（エラーコード：-1）", L"Windows Installer サービス", HelpPage::InstallTrouble},
  };
  for (const auto& row : rows) {
    LauncherContext c = Context(row.result, row.detail);
    c.InstallerMessage = row.message;
    CompletionLayout layout = BuildCompletionLayout(c, false);
    SCOPED_TRACE(row.detail);
    EXPECT_EQ(0u, layout.body.find(std::wstring(L"プログラムのインストール中にエラーが発生しました。") + row.codeText + L"\r\n"))
        << U(layout.body);
    EXPECT_NE(std::wstring::npos, layout.body.find(row.reason));
    EXPECT_NE(std::wstring::npos,
              layout.body.find(L"\r\n「サポート情報を表示する」をクリックし、表示された画面に記載されている操作を実行してください。"));
    EXPECT_EQ(row.page, layout.helpPage);
    EXPECT_EQ(HelpPageUrl(row.page, 5), layout.helpUrl);
  }
}

TEST(CompletionPage, ConflictNames) {
  LauncherContext c = Context(12);
  c.DetectedConflictNames = {L"A", L"B", L"C", L"D"};
  std::wstring body = BuildCompletionLayout(c, false).body;
  EXPECT_EQ(L"複数の競合するウイルス対策ソフトウェアを検出しました。\r\n検出したウイルス対策ソフトウェア：\r\n  A および B および C\r\n"
            L"上記ウイルス対策ソフトウェアをアンインストールし、再度インストールを実行してください。",
            body);
  c.DetectedConflictNames.clear();
  body = BuildCompletionLayout(c, false).body;
  EXPECT_NE(std::wstring::npos, body.find(std::wstring(L"検出したウイルス対策ソフトウェア：") + kUnknownConflictName + L"\r\n"));
  LauncherContext d = Context(13);
  body = BuildCompletionLayout(d, false).body;
  EXPECT_NE(std::wstring::npos, body.find(std::wstring(L"：") + kUnknownConflictName + L"\r\n"));
  d.DetectedConflictNames = {L"First", L"Second"};
  body = BuildCompletionLayout(d, false).body;
  EXPECT_NE(std::wstring::npos, body.find(L"：First\r\n"));
  EXPECT_EQ(std::wstring::npos, body.find(L"Second"));
}

TEST(CompletionPage, ButtonsImagesAndPositions) {
  CompletionLayout success = BuildCompletionLayout(Context(1), true);
  EXPECT_EQ(L"完了（&N）", success.finish.caption);
  EXPECT_EQ(270, success.finish.x);
  EXPECT_EQ(290, success.finish.y);
  EXPECT_EQ(IDB_FINISH_NORMAL, success.finish.images.normal);
  EXPECT_EQ(179, success.finish.images.disabled);
  EXPECT_FALSE(success.minimize.shown);
  EXPECT_FALSE(success.close.shown);
  EXPECT_FALSE(success.helpLinkShown);
  EXPECT_EQ(IDB_PAGE_INNER, success.background);
  EXPECT_EQ(10, success.iconY);
  EXPECT_TRUE(success.headlineIsPageTitle);
  EXPECT_EQ(12, success.bodyRect.x);
  EXPECT_EQ(50, success.bodyRect.y);
  EXPECT_EQ(566, success.bodyRect.width);
  EXPECT_EQ(50, success.bodyRect.height);

  CompletionLayout error = BuildCompletionLayout(Context(3), false);
  EXPECT_EQ(L"終了（&N）", error.finish.caption);
  EXPECT_EQ(420, error.finish.x);
  EXPECT_EQ(330, error.finish.y);
  EXPECT_EQ(256, error.finish.images.normal);
  EXPECT_EQ(265, error.finish.images.pressed);
  EXPECT_EQ(258, error.finish.images.focus);
  EXPECT_EQ(402, error.finish.images.hover);
  EXPECT_EQ(403, error.finish.images.hoverFocus);
  EXPECT_TRUE(error.minimize.shown);
  EXPECT_EQ(685, error.minimize.x);
  EXPECT_EQ(715, error.close.x);
  EXPECT_EQ(IDB_PAGE_BACKGROUND, error.background);
  EXPECT_EQ(60, error.iconY);
  EXPECT_EQ(60, error.headlineY);
  EXPECT_EQ(100, error.bodyRect.y);
  EXPECT_EQ(700, error.bodyRect.width);
  EXPECT_EQ(100, error.bodyRect.height);
  EXPECT_EQ(690, error.helpLinkRightEdge);
  EXPECT_EQ(290, error.helpLinkArea.y);

  CompletionLayout thirteen = BuildCompletionLayout(Context(13), false);
  EXPECT_EQ(424, thirteen.finish.images.normal);
  EXPECT_EQ(423, thirteen.finish.images.pressed);
  EXPECT_EQ(425, thirteen.finish.images.focus);
  EXPECT_EQ(426, thirteen.finish.images.hover);
  EXPECT_EQ(427, thirteen.finish.images.hoverFocus);
  EXPECT_TRUE(thirteen.resume.shown);
  EXPECT_EQ(L"インストールの続行(&C)", thirteen.resume.caption);
  EXPECT_EQ(60, thirteen.resume.x);
  EXPECT_EQ(363, thirteen.resume.images.normal);
  EXPECT_TRUE(thirteen.focusOnContinue);

  CompletionLayout nine = BuildCompletionLayout(Context(9, 0, 2), false);
  EXPECT_TRUE(nine.downloadLinksShown);
  EXPECT_EQ(200, nine.downloadLinkRect.y);
  EXPECT_EQ(230, nine.procedureLinkRect.y);
  EXPECT_EQ(HelpPageUrl(HelpPage::ProgramDownload, 2), nine.downloadUrl);
  EXPECT_NE(HelpPageUrl(HelpPage::ProgramDownload, 1), nine.downloadUrl);
  EXPECT_NE(HelpPageUrl(HelpPage::InstallProcedure, 5), nine.procedureUrl);
}

TEST(HelpLinks, PagesByResultAndEdition) {
  struct Row {
    int32_t result, detail, edition;
    HelpPage page;
    const wchar_t* domain;
  } rows[] = {
      {12, 0, 2, HelpPage::ConflictFaq, L"site_domain=client"},
      {12, 0, 5, HelpPage::ConflictFaq, L"site_domain=default"},
      {12, 0, 6, HelpPage::ConflictFaq, L"site_domain=private"},
      {16, 0, 6, HelpPage::OtherEditionFaq, L"site_domain=private"},
      {21, 0, 2, HelpPage::SystemRequirements, L"#requirements"},
      {21, 0, 5, HelpPage::SystemRequirements, L"#requirements"},
      // TAVO Total Shield has none of these pages: the general trouble page helps instead.
      {12, 0, 1, HelpPage::InstallTrouble, L"install-trouble"},
      {16, 0, 1, HelpPage::InstallTrouble, L"install-trouble"},
      {21, 0, 1, HelpPage::InstallTrouble, L"install-trouble"},
      {8, 1, 1, HelpPage::InstallerError1601, L"1601"},
      {8, 4, 2, HelpPage::InstallerError1603, L"1603"},
      {8, 5, 2, HelpPage::InstallerError1603, L"1603"},
      {8, 7, 6, HelpPage::InstallerError1618, L"1618"},
      {7, 1603, 6, HelpPage::InstallTrouble, L"install-trouble"},
      {3, 0, 2, HelpPage::InstallTrouble, L"install-trouble"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.result) + "/" + std::to_string(row.edition));
    EXPECT_EQ(row.page, HelpPageForResult(row.result, row.detail, row.edition));
    EXPECT_NE(std::wstring::npos, HelpPageUrl(row.page, row.edition).find(row.domain));
  }
  // One trouble page per edition and a fourth for any other.
  EXPECT_NE(HelpPageUrl(HelpPage::InstallTrouble, 2), HelpPageUrl(HelpPage::InstallTrouble, 5));
  EXPECT_NE(HelpPageUrl(HelpPage::InstallTrouble, 5), HelpPageUrl(HelpPage::InstallTrouble, 6));
  EXPECT_NE(HelpPageUrl(HelpPage::InstallTrouble, 6), HelpPageUrl(HelpPage::InstallTrouble, 1));
  EXPECT_EQ(HelpPageUrl(HelpPage::InstallTrouble, 1), HelpPageUrl(HelpPage::InstallTrouble, 3));
}

}  // namespace

#include "ui/completion_page.h"

#include "base/run_result.h"
#include "base/text.h"
#include "env/conflict_detection.h"
#include "ui/resource_ids.h"
#include "base/result_codes.h"
#include "install/install_result.h"

const wchar_t kDownloadLinkCaption[] = L"プログラムのダウンロード";
const wchar_t kProcedureLinkCaption[] = L"インストール手順";

namespace {

const wchar_t kRetryBody[] =
    L"プログラムを終了し、再度インストールを実行してください。\r\n繰り返しインストールに失敗する場合は、「%ls」をクリックしてください。";

std::wstring InstallerFailureBody(int32_t detail, const std::wstring& message) {
  const wchar_t* const kSupport =
      L"「サポート情報を表示する」をクリックし、表示された画面に記載されている操作を実行してください。";
  switch (detail) {
    case kLogClass1601:
      return FormatText(L"プログラムのインストール中にエラーが発生しました。（エラーコード：1601%ls）\r\n"
                        L"Windows Installer サービスが原因で問題が発生した可能性があります。\r\n%ls",
                        message.c_str(), kSupport);
    case kLogClassServiceStop:
      return FormatText(L"プログラムのインストール中にエラーが発生しました。（エラーコード：1603%ls）\r\n"
                        L"TAVOサービスの停止に失敗した可能性があります。\r\n%ls",
                        message.c_str(), kSupport);
    case kLogClassServiceDelete:
      return FormatText(L"プログラムのインストール中にエラーが発生しました。（エラーコード：1603%ls）\r\n"
                        L"TAVOサービスの削除に失敗した可能性があります。\r\n%ls",
                        message.c_str(), kSupport);
    case kLogClass1618:
      return FormatText(L"プログラムのインストール中にエラーが発生しました。（エラーコード：1618%ls）\r\n"
                        L"Windows Updateや別の製品のインストールが実行されている可能性があります。\r\n%ls",
                        message.c_str(), kSupport);
    default:
      return FormatText(L"プログラムのインストール中にエラーが発生しました。（エラーコード：%d%ls）\r\n"
                        L"Windows Installer サービスが原因で問題が発生した可能性があります。\r\n%ls",
                        detail, message.c_str(), kSupport);
  }
}

}  // namespace

std::wstring CompletionHeadline(int32_t resultCode) {
  switch (resultCode) {
    case kResultSuccess: return L"インストールが完了しました";
    case kResultNoServer:
    case kResultPackageDownloadFailed:
    case kResultOtherEdition: return L"インストール中にエラーが発生しました";
    case kResultConflict: return L"競合するウイルス対策ソフトウェアをアンインストールしてください";
    case kResultSecurityCenterConflict: return L"競合するウイルス対策ソフトウェアを検出しました";
    case kResultNotExecuted: return L"インストールは実行されませんでした";
    case kResultLatestInstalled: return L"すでに最新バージョンのTAVO製品がインストールされています";
    case kResultUnsupportedOs: return L"本製品はご利用中のOSには対応していません";
    default: return L"インストールに失敗しました";
  }
}

std::wstring HelpLinkCaption(int32_t resultCode) {
  switch (resultCode) {
    case kResultInstallerFailed:
    case kResultInstallerLogFailure: return L"サポート情報を表示する";
    case kResultConflict: return L"競合するウイルス対策ソフトウェアを検出した場合は？";
    case kResultOtherEdition: return L"別のTAVO製品が検出され、インストールに失敗する場合は？";
    case kResultUnsupportedOs: return L"TAVO製品ページ";
    case kResultSuccess:
    case kResultSecurityCenterConflict:
    case kResultNotExecuted:
    case kResultLatestInstalled: return std::wstring();
    default: return L"インストールに失敗する場合は？";
  }
}

std::wstring JoinConflictNames(const RunResult& run) {
  const auto& names = run.DetectedConflictNames;
  if (names.empty()) return kUnknownConflictName;
  std::wstring joined;
  for (size_t i = 0; i < names.size() && i < 3; ++i) {
    if (i > 0) joined += L" および ";
    joined += names[i];
  }
  return joined;
}

std::wstring CompletionBody(const RunResult& run) {
  const int32_t result = run.ResultCode;
  const std::wstring caption = HelpLinkCaption(result);
  switch (result) {
    case kResultSuccess:
      return L"プログラムのインストールが完了しました。\r\n「完了」ボタンをクリック後、Windowsを再起動してください。";
    case kResultNoServer:
      return FormatText(L"ダウンロードサーバーとの接続に失敗しました。ネットワークに接続されていない可能性があります。\r\n"
                        L"インターネット接続ができることを確認の上、再度インストールを実行してください。\r\n"
                        L"ネットワーク接続後も繰り返しインストールに失敗する場合は、「%ls」をクリックしてください。",
                        caption.c_str());
    case kResultConfigDownloadFailed:
      return L"設定ファイルをダウンロードできませんでした。\r\n" + FormatText(kRetryBody, caption.c_str());
    case kResultConfigInvalid:
      return L"設定ファイルの解析中にエラーが発生しました。\r\n" + FormatText(kRetryBody, caption.c_str());
    case kResultPackageDownloadFailed:
      return L"最新のインストーラーをダウンロードできませんでした。\r\n" + FormatText(kRetryBody, caption.c_str());
    case kResultInstallerFailed:
    case kResultInstallerLogFailure:
      return InstallerFailureBody(run.ResultDetail, run.InstallerMessage);
    case kResultHashMismatch:
      return L"ファイルのダウンロードに失敗しました。「プログラムのダウンロード」よりプログラムをダウンロードの上、"
             L"再度インストールを実行してください。プログラムダウンロード後のインストール手順は「インストール手順」を"
             L"クリックして確認してください。";
    case kResultConflict:
      if (run.DetectedConflictNames.size() > 1) {
        return FormatText(L"複数の競合するウイルス対策ソフトウェアを検出しました。\r\n検出したウイルス対策ソフトウェア：\r\n  %ls\r\n"
                          L"上記ウイルス対策ソフトウェアをアンインストールし、再度インストールを実行してください。",
                          JoinConflictNames(run).c_str());
      }
      return FormatText(L"競合するウイルス対策ソフトウェアを検出しました。\r\n検出したウイルス対策ソフトウェア：%ls\r\n"
                        L"上記ウイルス対策ソフトウェアをアンインストールし、再度インストールを実行してください。",
                        JoinConflictNames(run).c_str());
    case kResultSecurityCenterConflict: {
      const std::wstring first =
          run.DetectedConflictNames.empty() ? kUnknownConflictName : run.DetectedConflictNames.front();
      return FormatText(L"すでにアンインストールされた競合するウイルス対策ソフトウェアの消し忘れの情報を検出しました。\r\n"
                        L"検出したウイルス対策ソフトウェア：%ls\r\n"
                        L"このままインストールを続行するには、「インストールの続行」ボタンをクリックしてください。",
                        first.c_str());
    }
    case kResultNotExecuted:
      return L"インストールを実行するには、「終了」ボタンをクリックしてプログラムを終了し、プログラムを再度実行してください。";
    case kResultOtherEdition:
      return FormatText(L"すでに別のTAVO製品がインストールされています。\r\n"
                        L"上書きインストールによるアップグレード・ダウングレードはできません。対応方法につきましては、"
                        L"「%ls」をクリックして確認してください。",
                        caption.c_str());
    case kResultLatestInstalled:
      return std::wstring();
    case kResultUnsupportedOs:
      return L"ご利用中のOSには、本製品をインストールできません。（エラーコード：E000）\r\n"
             L"本製品の対応OSは、TAVO製品ページにて確認いただけます。";
    default:
      return L"プログラムのインストール中にエラーが発生しました。\r\n" + FormatText(kRetryBody, caption.c_str());
  }
}

CompletionLayout BuildCompletionLayout(const RunResult& run, int32_t productType, bool inFrame) {
  CompletionLayout layout;
  const int32_t result = run.ResultCode;
  const int32_t edition = productType;
  layout.inFrame = inFrame;
  layout.background = inFrame ? IDB_PAGE_INNER : IDB_PAGE_BACKGROUND;
  layout.iconX = 4;
  layout.iconY = inFrame ? 10 : 60;

  layout.headline = CompletionHeadline(result);
  layout.headlineIsPageTitle = inFrame;
  layout.headlineX = 24;
  layout.headlineY = inFrame ? 10 : 60;

  layout.body = CompletionBody(run);
  layout.bodyRect = {12, inFrame ? 50 : 100, inFrame ? 566 : 700, result == kResultSuccess ? 50 : 100};

  layout.downloadLinksShown = result == kResultHashMismatch;
  layout.downloadLinkRect = {20, 200, 410, 20};
  layout.procedureLinkRect = {20, 230, 410, 20};
  layout.downloadUrl = HelpPageUrl(HelpPage::ProgramDownload, edition);
  layout.procedureUrl = HelpPageUrl(HelpPage::InstallProcedure, edition);

  layout.helpLinkCaption = HelpLinkCaption(result);
  layout.helpLinkShown = !layout.helpLinkCaption.empty();
  layout.helpLinkArea = {390, 290, 300, 32};
  layout.helpLinkRightEdge = 690;
  layout.helpPage = HelpPageForResult(result, run.ResultDetail, edition);
  layout.helpUrl = HelpPageUrl(layout.helpPage, edition);

  layout.finish.shown = true;
  if (inFrame && result == kResultSuccess) {
    layout.finish.caption = L"完了（&N）";
    layout.finish.x = 270;
    layout.finish.y = 290;
    layout.finish.images = {IDB_FINISH_NORMAL, IDB_FINISH_PRESSED, IDB_FINISH_FOCUS,
                            IDB_FINISH_HOVER,  IDB_FINISH_HOVER_FOCUS, IDB_FINISH_PRESSED};
  } else {
    layout.finish.caption = L"終了（&N）";
    layout.finish.x = 420;
    layout.finish.y = 330;
    if (result == kResultSecurityCenterConflict) {
      layout.finish.images = {IDB_EXIT13_NORMAL, IDB_EXIT13_PRESSED, IDB_EXIT13_FOCUS,
                              IDB_EXIT13_HOVER,  IDB_EXIT13_HOVER_FOCUS, IDB_EXIT13_PRESSED};
    } else {
      layout.finish.images = {IDB_EXIT_NORMAL, IDB_EXIT_PRESSED, IDB_EXIT_FOCUS,
                              IDB_EXIT_HOVER,  IDB_EXIT_HOVER_FOCUS, IDB_EXIT_PRESSED};
    }
  }

  layout.resume.shown = result == kResultSecurityCenterConflict;
  layout.resume.caption = L"インストールの続行(&C)";
  layout.resume.x = 60;
  layout.resume.y = 330;
  layout.resume.images = {IDB_CONTINUE_NORMAL, IDB_CONTINUE_PRESSED, IDB_CONTINUE_FOCUS,
                          IDB_CONTINUE_HOVER,  IDB_CONTINUE_HOVER_FOCUS, IDB_CONTINUE_PRESSED};
  layout.focusOnContinue = result == kResultSecurityCenterConflict;

  layout.minimize = {!inFrame, L"最小化(&M)", 685, 10,
                     {IDB_MIN_NORMAL, IDB_MIN_PRESSED, IDB_MIN_FOCUS, IDB_MIN_HOVER, IDB_MIN_HOVER_FOCUS,
                      IDB_MIN_DISABLED}};
  layout.close = {!inFrame, L"閉じる(&X)", 715, 10,
                  {IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_FOCUS, IDB_CLOSE_HOVER, IDB_CLOSE_HOVER_FOCUS,
                   IDB_CLOSE_DISABLED}};
  return layout;
}

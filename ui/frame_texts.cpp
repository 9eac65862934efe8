#include "ui/frame_texts.h"

#include "base/debug_log.h"

const FrameTexts& FramePageTexts() {
  static const FrameTexts kTexts = {
      L"重要なお知らせ",
      L"プログラムをご利用いただくための重要なお知らせがございます。\r\n"
      L"下記リストをクリックすると弊社ホームページが表示されます。",
      L"プログラムのご利用前に必ず内容をご確認ください。",
      L"内容をご確認後、「確認」ボタンをクリックして、\r\nインストールにお進みください。",
      L"確認(&N)",
      L"インストール",
      L"最小化(&M)",
      L"閉じる(&X)",
      {L"お知らせ", L"インストール", L"完了"},
  };
  return kTexts;
}

const wchar_t kBackgroundSetupFailed[] = L"背景の初期化に失敗しました。";
const wchar_t kControlSetupFailed[] = L"コントロールの初期化に失敗しました。";

void LogPageSetup(WizardPage page) {
  switch (page) {
    case WizardPage::Notices:
      Log().Info(L"ダイアログの初期化処理を実行します。(お知らせ画面)");
      break;
    case WizardPage::Status:
      Log().Info(L"ダイアログの初期化処理を実行します。（インストール画面）");
      break;
    case WizardPage::Completion:
      Log().Info(L"ダイアログの初期化処理を実行します。(完了画面)");
      Log().Info(L"コントロールの初期化処理を実行します。");
      break;
  }
}

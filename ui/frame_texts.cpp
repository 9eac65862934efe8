#include "ui/frame_texts.h"

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

#include "ui/start_boxes.h"

#include "platform/message_box.h"

namespace {

const wchar_t kUsage[] =
    L"Setup.exe [/quiet] [/norestart] [/noupdate] [/log <ファイル>] [/proxy <アドレス>] [/?]\n"
    L"\n"
    L"/quiet\t画面を表示せずにインストールし、結果を終了コードで返します。"
    L"/q、/qn、/s、/silent、/verysilent も同じです。\n"
    L"/norestart\t受け付けますが、動作は変わりません（このインストーラーはコンピューターを再起動しません）。\n"
    L"/noupdate\tインストーラー自身の更新を行いません。\n"
    L"/log <ファイル>\tデバッグログをこのファイルに書き込みます。\n"
    L"/proxy <アドレス>\tこの実行で使うプロキシサーバー（ホスト名:ポート番号）を指定します。\n"
    L"/?\tこの説明を表示します。\n"
    L"\n"
    L"スイッチは「/」でも「-」でも始められ、大文字と小文字を区別しません。";

}  // namespace

void ShowUsage() { platform::ShowMessageBox(nullptr, kUsage, L"使い方", platform::kMbOk | platform::kMbIconInformation); }

void ShowSetupAlreadyRunning() {
  platform::ShowMessageBox(nullptr, L"セットアップは既に実行中です。実行中のセットアップが終了してから、もう一度実行してください。",
                           L"情報", platform::kMbOk | platform::kMbIconInformation);
}

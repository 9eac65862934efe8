#include "ui/setup_dialog_model.h"

#include "base/debug_log.h"
#include "base/error_box.h"
#include "base/result_codes.h"

std::wstring SetupDialogModel::StepText(int32_t step) {
  static const wchar_t* const kTexts[] = {
      L"サーバーから最新のインストーラー情報を取得しています",
      L"最新のインストーラー情報を取得しました",
      L"インストーラー情報を解析しています",
      L"インストーラー情報を解析しました",
      L"新しいインストーラーをダウンロードしています",
      L"新しいインストーラーをダウンロードしました",
      L"新しいインストーラーを起動しています",
      L"新しいインストーラーを起動しました",
      L"プログラムを起動しています...",
      L"プログラムの起動が完了しました",
  };
  if (step < 1 || step > 10) return std::wstring();
  return kTexts[step - 1];
}

bool SetupDialogModel::OnInitStep(int32_t step) {
  stepText_ = StepText(step);
  return !stepText_.empty();
}

std::wstring SetupDialogModel::OnTimer() {
  dots_ = dots_ >= 6 ? 0 : dots_ + 1;
  return stepText_ + std::wstring(dots_, L'.');
}

int SetupDialogModel::OnInitDone(int32_t outcome, int32_t kind, int32_t* resultCode) {
  if (outcome == 1) {
    *resultCode = kResultSuccess;
    return kDialogOk;
  }
  switch (kind) {
    case 1: *resultCode = kResultNoServer; break;
    case 2: *resultCode = kResultPackageDownloadFailed; break;
    case 3: *resultCode = kResultUnsupportedOs; break;
    default: break;
  }
  return kDialogCancel;
}

bool SetupDialogModel::StartWorker(const std::function<bool(MessageSink* target)>& starter, MessageSink* target) {
  Log().Info(L"スレッドの起動処理を行います。");
  Log().Info(L"ランチャー情報の取得処理を開始します。");
  Log().Info(L"ワーカースレッドを実行します。");
  if (starter && starter(target)) return true;
  Log().Error(L"スレッドの起動に失敗しました。");
  ShowErrorBox(nullptr, L"エラー", L"スレッドの起動に失敗しました。");
  return false;
}

#include "base/vendor_signature.h"

#include "base/debug_log.h"
#include "base/text.h"
#include "platform/error.h"
#include "platform/held_file.h"

using platform::TrustVerdict;

bool LogSignatureVerdict(TrustVerdict verdict, const platform::HeldFile& file, SignedProgramKind kind,
                         uint32_t systemError) {
  const bool launcher = kind == SignedProgramKind::kNewLauncher;
  const wchar_t* subject = launcher ? L"ダウンロードしたランチャー" : L"以下のプログラム";
  const wchar_t* refusal = launcher ? L"起動しません" : L"実行しません";
  auto refuse = [&](const wchar_t* reason, bool withError) {
    const std::wstring line = FormatText(L"%lsは%lsため、%ls。", subject, reason, refusal);
    if (withError) {
      platform::SetLastError(systemError);
      LogErrors({line, file.Path()});
    } else {
      Log().ErrorPlain(line);
      Log().ErrorPlain(file.Path());
    }
    return false;
  };
  switch (verdict) {
    case TrustVerdict::kSkipped:
      return true;
    case TrustVerdict::kAccepted:
    case TrustVerdict::kAcceptedWithoutRevocation:
      Log().Info(FormatText(L"%lsの署名を確認しました。", subject));
      Log().Info(file.Path());
      if (verdict == TrustVerdict::kAcceptedWithoutRevocation) {
        Log().Info(L"証明書の失効情報が手元にないため、失効の確認を行わずに署名を受け入れました。");
      }
      return true;
    case TrustVerdict::kNotTrusted:
      return refuse(L"署名を確認できない", true);
    case TrustVerdict::kRevoked:
      return refuse(L"署名の証明書が失効している", true);
    case TrustVerdict::kOtherSigner:
      return refuse(L"信頼する発行元の鍵で署名されていない", false);
    case TrustVerdict::kNotNewer:
      return refuse(L"実行中のランチャーより新しいバージョンではない", false);
  }
  return false;
}

bool VendorSignatureAccepted(const platform::HeldFile& file) {
  const auto& pins = platform::PinnedSignerKeys();
  if (pins.empty()) return true;
  const platform::SignatureFacts facts = platform::ReadSignature(file);
  return LogSignatureVerdict(platform::JudgeProgram(pins, facts), file, SignedProgramKind::kProgram, facts.error);
}

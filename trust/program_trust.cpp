#include "trust/program_trust.h"

#include "base/debug_log.h"
#include "base/text.h"
#include "config/download_config.h"
#include "platform/code_signature.h"
#include "platform/error.h"
#include "platform/held_file.h"
#include "platform/md5.h"
#include "platform/utf.h"

namespace trust {

namespace {

std::wstring DottedVersion(uint64_t version) {
  return FormatText(L"%u.%u.%u.%u", static_cast<unsigned>(version >> 48), static_cast<unsigned>(version >> 32 & 0xFFFF),
                    static_cast<unsigned>(version >> 16 & 0xFFFF), static_cast<unsigned>(version & 0xFFFF));
}

// The SHA-256 of the held file in lower-case hex; empty when it cannot be read.
std::wstring FileSha256(platform::HeldFile& file) {
  platform::FileDigest digest(platform::DigestKind::kSha256);
  if (!file.Rewind() || !digest.Begin()) return std::wstring();
  char block[64 * 1024];
  for (;;) {
    size_t got = 0;
    if (!file.Read(block, sizeof(block), &got)) return std::wstring();
    if (got == 0) break;
    if (!digest.Update(block, got)) return std::wstring();
  }
  uint8_t bytes[platform::kSha256DigestSize];
  if (!digest.Finish(bytes)) return std::wstring();
  return platform::Utf8ToWide(platform::HexText(bytes, sizeof(bytes)));
}

// Hex digits in lower case, without the blanks and line breaks an XML value may carry.
std::wstring NormalizedHex(const std::wstring& text) {
  std::wstring hex;
  for (wchar_t c : text) {
    if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') continue;
    hex += (c >= L'A' && c <= L'F') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
  }
  return hex;
}

}  // namespace

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
  const auto& pins = PinnedSignerKeys();
  if (pins.empty()) return true;
  // Only a release build gets here: it asks for revocation strictly.
  const platform::SignatureFacts facts = platform::ReadSignature(file, /*strictRevocation=*/true);
  return LogSignatureVerdict(JudgeProgram(pins, facts), file, SignedProgramKind::kProgram, facts.error);
}

bool NewLauncherAccepted(platform::HeldFile& file) {
  const std::vector<std::string>& pins = PinnedSignerKeys();
  if (pins.empty()) {
    // Without vendor keys a signed launcher starts only a launcher signed
    // with its own key; an unsigned one starts what it fetched.
    switch (platform::CheckSameSigner(file)) {
      case platform::SignerCheck::kRunningUnsigned:
        return true;
      case platform::SignerCheck::kSameSigner:
        return LogSignatureVerdict(TrustVerdict::kAccepted, file, SignedProgramKind::kNewLauncher);
      case platform::SignerCheck::kNotTrusted:
        return LogSignatureVerdict(TrustVerdict::kNotTrusted, file, SignedProgramKind::kNewLauncher,
                                   platform::LastError());
      case platform::SignerCheck::kOtherSigner:
        LogErrors({L"ダウンロードしたランチャーの署名者がこのランチャーと異なるため、起動しません。", file.Path()});
        return false;
      case platform::SignerCheck::kOwnUnknown:
        break;
    }
    LogErrors({L"このランチャーの署名を確認できないため、ダウンロードしたランチャーを起動しません。", file.Path()});
    return false;
  }
  // Whatever its own file looks like, a release build starts only a newer
  // vendor launcher: an older vendor build must not come back in its place.
  const platform::SignatureFacts facts = platform::ReadSignature(file, /*strictRevocation=*/true);
  uint64_t version = 0;
  const bool hasVersion = platform::ReadProgramFileVersion(file, &version);
  const uint64_t running = FileVersionOf(LauncherVersion());
  const TrustVerdict verdict = JudgeNewLauncher(pins, facts, hasVersion, version, running);
  const bool accepted = LogSignatureVerdict(verdict, file, SignedProgramKind::kNewLauncher, facts.error);
  if (verdict == TrustVerdict::kNotNewer) {
    Log().ErrorPlain(FormatText(L"ダウンロードしたランチャーのバージョン：%ls　実行中のランチャーのバージョン：%ls",
                                hasVersion ? DottedVersion(version).c_str() : L"不明", DottedVersion(running).c_str()));
  }
  return accepted;
}

bool PackageSha256Accepted(platform::HeldFile& file, const PackageEntry& package) {
  const bool runs = package.ExecType == kExecInstaller || package.ExecType == kExecCommand;
  if (package.PackageSha256.empty()) {
    if (!runs || PinnedSignerKeys().empty()) return true;
    Log().ErrorPlain(L"以下のパッケージは設定ファイルにSHA-256ハッシュがないため、実行しません。");
    Log().ErrorPlain(file.Path());
    return false;
  }
  const std::wstring digest = FileSha256(file);
  if (digest.empty()) {
    LogErrors({L"SHA-256ハッシュの取得に失敗しました。", file.Path()});
    return false;
  }
  if (digest != NormalizedHex(package.PackageSha256)) {
    Log().ErrorPlain(L"以下のパッケージのSHA-256ハッシュが設定ファイルと一致しないため、使用しません。");
    Log().ErrorPlain(file.Path());
    Log().ErrorPlain(FormatText(L"ダウンロードしたファイル：%ls　設定ファイル：%ls", digest.c_str(),
                                package.PackageSha256.c_str()));
    return false;
  }
  Log().Info(L"SHA-256ハッシュを確認しました。");
  return true;
}

}  // namespace trust

#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class HeldFile;

enum class SignerCheck {
  kRunningUnsigned,  // the running launcher carries no signature: there is no signer to match
  kSameSigner,       // the file's signature is valid and made with the running launcher's key
  kNotTrusted,       // the file carries no signature the system accepts (last error: why)
  kOtherSigner,      // a valid signature, made with another key
  kOwnUnknown,       // the running launcher is signed, but its own signer cannot be read (last error: why)
};

// Whether the file, a downloaded launcher, is signed by the signer of the
// running launcher. The running launcher counts as signed when its loaded
// image says so, whatever now lies at its path; its signer is read from the
// file at its path only when that file's headers are the loaded image's.
// The Authenticode check of Windows; the Linux build has no signatures and
// answers kRunningUnsigned. Builds without vendor keys use it.
SignerCheck CheckSameSigner(const HeldFile& file);

// --- vendor keys compiled into a release build ---------------------------

// What the system says of a file's Authenticode signature.
enum class SignatureStatus {
  kValid,              // accepted, and the certificates are known not to be revoked
  kRevocationUnknown,  // accepted, but no revocation information was at hand (offline)
  kRevoked,            // a certificate of the chain is known to be revoked
  kNotTrusted,         // no signature the system accepts
};

struct SignatureFacts {
  SignatureStatus status = SignatureStatus::kNotTrusted;
  uint32_t error = 0;     // the system's verdict when it refused, or why revocation is unknown
  std::string signerKey;  // SHA-256 of the signer's SubjectPublicKeyInfo, 64 lower-case hex digits
};

// Reads the signature of a held file through its handle (WinVerifyTrust,
// revocation from the local cache only). The Linux build knows no signatures:
// every file is kNotTrusted there.
SignatureFacts ReadSignature(const HeldFile& file);

// True when the held file's path reaches it through no junction, link or
// mount point: while it is held, Windows renames none of the folders on that
// path, so a program started by the path is the held, checked file. False,
// with the last error set, otherwise.
bool NamedWithoutLinks(const HeldFile& file);

// The version of a program file (its VS_FIXEDFILEINFO: the file version's
// high and low words), read through the hold; false when the file carries
// none or is no program.
bool ReadProgramFileVersion(HeldFile& file, uint64_t* version);
// The same over the file's bytes.
bool ProgramFileVersion(const std::string& image, uint64_t* version);

// The digests of the vendor's signing keys this build trusts; empty in a
// development build, which then checks no program against them.
const std::vector<std::string>& PinnedSignerKeys();
// This launcher's own version, as DownloaderVersion counts, and as the file
// version of its version resource: major.minor.build.0 with
// version = major * 1000000 + minor * 1000 + build.
uint32_t LauncherVersion();
uint64_t FileVersionOf(uint32_t launcherVersion);

enum class TrustVerdict {
  kSkipped,                    // no vendor keys: a development build checks nothing
  kAccepted,                   // signed by a vendor key
  kAcceptedWithoutRevocation,  // signed by a vendor key; revocation could not be checked offline
  kNotTrusted,                 // no signature the system accepts
  kRevoked,                    // a certificate is known to be revoked
  kOtherSigner,                // a valid signature by a key that is not the vendor's
  kNotNewer,                   // a launcher that is not newer than the running one
};

bool IsAccepted(TrustVerdict verdict);

// Whether a program may run elevated.
TrustVerdict JudgeProgram(const std::vector<std::string>& pins, const SignatureFacts& facts);
// Whether a downloaded launcher may replace the running one: a program check,
// and its file version (hasVersion false: none readable) above the running one's.
TrustVerdict JudgeNewLauncher(const std::vector<std::string>& pins, const SignatureFacts& facts, bool hasVersion,
                              uint64_t fileVersion, uint64_t runningFileVersion);

}  // namespace platform

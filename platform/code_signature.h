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
[[nodiscard]] SignerCheck CheckSameSigner(const HeldFile& file);

// --- what the system says of a signature ---------------------------------

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

// Reads the signature of a held file through its handle (WinVerifyTrust).
// strictRevocation asks the system to fetch revocation information it has
// not cached and refuses a chain whose CA could not be asked; without it,
// revocation comes from the local cache only (revocation_win.h). The Linux
// build reads the signature appended to the file.
[[nodiscard]] SignatureFacts ReadSignature(const HeldFile& file, bool strictRevocation);

// True when the held file's path reaches it through no junction, link or
// mount point: while it is held, Windows renames none of the folders on that
// path, so a program started by the path is the held, checked file. False,
// with the last error set, otherwise.
[[nodiscard]] bool NamedWithoutLinks(const HeldFile& file);

// The version of a program file (its VS_FIXEDFILEINFO: the file version's
// high and low words), read through the hold; false when the file carries
// none or is no program.
[[nodiscard]] bool ReadProgramFileVersion(HeldFile& file, uint64_t* version);
// The same over the file's bytes.
[[nodiscard]] bool ProgramFileVersion(const std::string& image, uint64_t* version);

}  // namespace platform

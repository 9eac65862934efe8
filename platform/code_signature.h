#pragma once
#include <cstdint>

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
// answers kRunningUnsigned.
SignerCheck CheckSameSigner(const HeldFile& file);

}  // namespace platform

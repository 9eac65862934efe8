#include "platform/code_signature.h"

namespace platform {

// Programs of the Linux build carry no Authenticode signatures.
SignerCheck CheckSameSigner(const HeldFile&) { return SignerCheck::kRunningUnsigned; }

}  // namespace platform

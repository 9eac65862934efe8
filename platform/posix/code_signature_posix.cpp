#include "platform/code_signature.h"

namespace platform {

// Programs of the Linux build carry no Authenticode signatures.
SignerCheck CheckSameSigner(const HeldFile&) { return SignerCheck::kRunningUnsigned; }

// Nothing is signed on the simulated machine: a build with vendor keys runs nothing there.
SignatureFacts ReadSignature(const HeldFile&) {
  SignatureFacts facts;
  facts.error = 0x800B0100u;  // TRUST_E_NOSIGNATURE, as Windows says of an unsigned file
  return facts;
}

}  // namespace platform

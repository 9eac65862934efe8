#include "platform/code_signature.h"

#include <climits>
#include <cstdlib>

#include "platform/error.h"
#include "platform/held_file.h"
#include "platform/utf.h"

namespace platform {

// Programs of the Linux build carry no Authenticode signatures.
SignerCheck CheckSameSigner(const HeldFile&) { return SignerCheck::kRunningUnsigned; }

// Nothing is signed on the simulated machine: a build with vendor keys runs nothing there.
SignatureFacts ReadSignature(const HeldFile&) {
  SignatureFacts facts;
  facts.error = 0x800B0100u;  // TRUST_E_NOSIGNATURE, as Windows says of an unsigned file
  return facts;
}

bool NamedWithoutLinks(const HeldFile& file) {
  const std::string path = WideToUtf8(file.Path());
  char resolved[PATH_MAX];
  // A link anywhere on the path makes the resolved path another one.
  if (::realpath(path.c_str(), resolved) && path == resolved && file.Unchanged()) return true;
  SetLastError(kErrorAccessDenied);
  return false;
}

}  // namespace platform

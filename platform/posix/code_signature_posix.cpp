#include "platform/code_signature.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "platform/error.h"
#include "platform/held_file.h"
#include "platform/signed_data.h"
#include "platform/utf.h"

namespace platform {

// Programs of the Linux build carry no Authenticode signatures.
SignerCheck CheckSameSigner(const HeldFile&) { return SignerCheck::kRunningUnsigned; }

namespace {

// A program of the simulated machine carries its signature as Linux kernel
// modules do: a detached CMS signature over the bytes before it, appended,
// then its length (4 bytes, little-endian) and this marker. Scripts end
// before it, and the loader ignores what follows an ELF image.
const char kAppendedMarker[] = "~TAVO signature appended~\n";
constexpr size_t kMaxProgramSize = 256u << 20;
constexpr uint32_t kNoSignature = 0x800B0100u;  // TRUST_E_NOSIGNATURE, as Windows says of an unsigned file
constexpr uint32_t kBadDigest = 0x80096010u;    // TRUST_E_BAD_DIGEST: changed after signing

// The whole file through the hold's descriptor, from its start, wherever its
// reads stand.
bool ReadAll(const HeldFile& file, std::string* bytes) {
  const int fd = static_cast<int>(file.NativeHandle());
  char block[64 * 1024];
  for (;;) {
    const ssize_t got = ::pread(fd, block, sizeof(block), static_cast<off_t>(bytes->size()));
    if (got < 0) return false;
    if (got == 0) return true;
    if (bytes->size() + static_cast<size_t>(got) > kMaxProgramSize) return false;
    bytes->append(block, static_cast<size_t>(got));
  }
}

}  // namespace

SignatureFacts ReadSignature(const HeldFile& held, bool /*strictRevocation*/) {
  SignatureFacts facts;
  facts.error = kNoSignature;
  std::string image;
  const size_t marker = sizeof(kAppendedMarker) - 1;
  if (!ReadAll(held, &image) || image.size() < marker + 4 ||
      image.compare(image.size() - marker, marker, kAppendedMarker) != 0) {
    return facts;
  }
  const auto* length = reinterpret_cast<const unsigned char*>(image.data() + image.size() - marker - 4);
  const size_t size = length[0] | length[1] << 8 | length[2] << 16 | static_cast<size_t>(length[3]) << 24;
  if (size == 0 || size > image.size() - marker - 4) return facts;
  const size_t at = image.size() - marker - 4 - size;
  const SignedDataFacts signedData = VerifyDetachedSignedData(image.substr(0, at), image.substr(at, size));
  if (!signedData.valid) {
    facts.error = kBadDigest;
    return facts;
  }
  facts.status = SignatureStatus::kValid;
  facts.error = 0;
  facts.signerKey = signedData.signerKey;
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

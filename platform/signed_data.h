#pragma once
#include <cstdint>
#include <string>

namespace platform {

// What the system says of a detached CMS (PKCS#7) SignedData in DER over
// some bytes: whether its one signer's signature holds over exactly those
// bytes, and who signed when. Nothing here decides whether that signer is
// trusted: the certificate's chain is not checked, only its key is read.
struct SignedDataFacts {
  bool valid = false;         // one signer, whose signature and message digest hold over the content
  uint32_t error = 0;         // the system's reason when not valid
  std::string signerKey;      // SHA-256 of the signer certificate's SubjectPublicKeyInfo, lower-case hex
  std::string digestOid;      // the signer's digest algorithm, dotted ("2.16.840.1.101.3.4.2.1": SHA-256)
  bool hasSigningTime = false;
  int64_t signingTime = 0;    // the signed signingTime attribute, seconds since 1970 UTC
};

[[nodiscard]] SignedDataFacts VerifyDetachedSignedData(const std::string& content, const std::string& signature);

}  // namespace platform

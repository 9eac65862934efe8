#include "platform/win32/crypt_win.h"

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "platform/utf.h"
#include "platform/win32/owned_win.h"

namespace platform {

std::string PublicKeyDigest(const CERT_CONTEXT* certificate) {
  const auto encode = TrustFunction<decltype(&::CryptEncodeObjectEx)>("CryptEncodeObjectEx", kCrypt32);
  const auto hash = TrustFunction<decltype(&::CryptHashCertificate2)>("CryptHashCertificate2", kCrypt32);
  if (!encode || !hash) return std::string();
  win32::LocalMemory<BYTE*> der;
  DWORD derSize = 0;
  if (!encode(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &certificate->pCertInfo->SubjectPublicKeyInfo,
              CRYPT_ENCODE_ALLOC_FLAG, nullptr, der.Receive(), &derSize)) {
    return std::string();
  }
  BYTE digest[32];
  DWORD digestSize = sizeof(digest);
  const bool hashed =
      hash(L"SHA256", 0, nullptr, der.get(), derSize, digest, &digestSize) && digestSize == sizeof(digest);
  return hashed ? HexText(digest, sizeof(digest)) : std::string();
}

}  // namespace platform

// Detached PKCS #7 signatures of the server's files, checked through
// CryptoAPI's message functions.
#include "platform/signed_data.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/win32/crypt_win.h"

namespace platform {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
const char kSha256Oid[] = "2.16.840.1.101.3.4.2.1";

struct MessageCloser {
  void operator()(void* message) const {
    if (const auto close = TrustFunction<decltype(&::CryptMsgClose)>("CryptMsgClose", kCrypt32)) close(message);
  }
};
struct StoreCloser {
  void operator()(void* store) const {
    const auto close = TrustFunction<decltype(&::CertCloseStore)>("CertCloseStore", kCrypt32);
    if (close) close(store, 0);
  }
};
struct CertificateFreer {
  void operator()(const CERT_CONTEXT* certificate) const {
    const auto free = TrustFunction<decltype(&::CertFreeCertificateContext)>("CertFreeCertificateContext", kCrypt32);
    if (free) free(certificate);
  }
};

// A parameter of the message, read into a buffer of its size.
bool MessageParam(HCRYPTMSG message, DWORD type, DWORD index, std::string* value) {
  const auto get = TrustFunction<decltype(&::CryptMsgGetParam)>("CryptMsgGetParam", kCrypt32);
  DWORD size = 0;
  if (!get || !get(message, type, index, nullptr, &size)) return false;
  value->assign(size, '\0');
  return get(message, type, index, &(*value)[0], &size) != FALSE;
}

const CRYPT_ATTRIBUTE* FindAttribute(const CRYPT_ATTRIBUTES& attributes, const char* oid) {
  for (DWORD i = 0; i < attributes.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& a = attributes.rgAttr[i];
    if (a.pszObjId && std::strcmp(a.pszObjId, oid) == 0 && a.cValue == 1) return &a;
  }
  return nullptr;
}

// The signed message digest must be the SHA-256 of exactly the content.
bool MessageDigestMatches(const CRYPT_ATTRIBUTES& attributes, const std::string& content) {
  const auto decode = TrustFunction<decltype(&::CryptDecodeObject)>("CryptDecodeObject", kCrypt32);
  const auto hash = TrustFunction<decltype(&::CryptHashCertificate2)>("CryptHashCertificate2", kCrypt32);
  const CRYPT_ATTRIBUTE* attribute = FindAttribute(attributes, szOID_PKCS_9_MESSAGE_DIGEST);
  if (!decode || !hash || !attribute) return false;
  std::string decoded(256, '\0');
  DWORD size = static_cast<DWORD>(decoded.size());
  if (!decode(X509_ASN_ENCODING, X509_OCTET_STRING, attribute->rgValue[0].pbData, attribute->rgValue[0].cbData, 0,
              &decoded[0], &size)) {
    return false;
  }
  const auto* signedDigest = reinterpret_cast<const CRYPT_DATA_BLOB*>(decoded.data());
  BYTE digest[32];
  DWORD digestSize = sizeof(digest);
  if (!hash(L"SHA256", 0, nullptr, reinterpret_cast<const BYTE*>(content.data()), static_cast<DWORD>(content.size()),
            digest, &digestSize)) {
    return false;
  }
  return signedDigest->cbData == digestSize && std::memcmp(signedDigest->pbData, digest, digestSize) == 0;
}

bool SigningTime(const CRYPT_ATTRIBUTES& attributes, int64_t* time) {
  const auto decode = TrustFunction<decltype(&::CryptDecodeObject)>("CryptDecodeObject", kCrypt32);
  const CRYPT_ATTRIBUTE* attribute = FindAttribute(attributes, szOID_RSA_signingTime);
  FILETIME when = {};
  DWORD size = sizeof(when);
  if (!decode || !attribute ||
      !decode(X509_ASN_ENCODING, szOID_RSA_signingTime, attribute->rgValue[0].pbData, attribute->rgValue[0].cbData, 0,
              &when, &size)) {
    return false;
  }
  const uint64_t ticks = static_cast<uint64_t>(when.dwHighDateTime) << 32 | when.dwLowDateTime;
  *time = static_cast<int64_t>(ticks / 10000000u) - 11644473600LL;  // 100 ns since 1601 to seconds since 1970
  return true;
}

}  // namespace

SignedDataFacts VerifyDetachedSignedData(const std::string& content, const std::string& signature) {
  SignedDataFacts facts;
  facts.error = static_cast<uint32_t>(CRYPT_E_INVALID_MSG_TYPE);
  const auto open = TrustFunction<decltype(&::CryptMsgOpenToDecode)>("CryptMsgOpenToDecode", kCrypt32);
  const auto update = TrustFunction<decltype(&::CryptMsgUpdate)>("CryptMsgUpdate", kCrypt32);
  const auto control = TrustFunction<decltype(&::CryptMsgControl)>("CryptMsgControl", kCrypt32);
  const auto openStore = TrustFunction<decltype(&::CertOpenStore)>("CertOpenStore", kCrypt32);
  const auto findSigner =
      TrustFunction<decltype(&::CertGetSubjectCertificateFromStore)>("CertGetSubjectCertificateFromStore", kCrypt32);
  if (!open || !update || !control || !openStore || !findSigner || signature.empty()) return facts;
  std::unique_ptr<void, MessageCloser> message(open(kEncoding, CMSG_DETACHED_FLAG, 0, 0, nullptr, nullptr));
  if (!message ||
      !update(message.get(), reinterpret_cast<const BYTE*>(signature.data()), static_cast<DWORD>(signature.size()),
              TRUE) ||
      !update(message.get(), reinterpret_cast<const BYTE*>(content.data()), static_cast<DWORD>(content.size()), TRUE)) {
    return facts;
  }
  std::string type, count, signerInfo, certificateInfo;
  if (!MessageParam(message.get(), CMSG_TYPE_PARAM, 0, &type) || type.size() != sizeof(DWORD) ||
      *reinterpret_cast<const DWORD*>(type.data()) != CMSG_SIGNED ||
      !MessageParam(message.get(), CMSG_SIGNER_COUNT_PARAM, 0, &count) || count.size() != sizeof(DWORD) ||
      *reinterpret_cast<const DWORD*>(count.data()) != 1 ||
      !MessageParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, &signerInfo) ||
      !MessageParam(message.get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, &certificateInfo)) {
    return facts;
  }
  facts.error = static_cast<uint32_t>(NTE_BAD_SIGNATURE);
  std::unique_ptr<void, StoreCloser> store(openStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message.get()));
  std::unique_ptr<const CERT_CONTEXT, CertificateFreer> signer(
      store ? findSigner(store.get(), kEncoding, reinterpret_cast<CERT_INFO*>(&certificateInfo[0])) : nullptr);
  if (!signer || !control(message.get(), 0, CMSG_CTRL_VERIFY_SIGNATURE, signer->pCertInfo)) return facts;
  const auto* info = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerInfo.data());
  facts.digestOid = info->HashAlgorithm.pszObjId ? info->HashAlgorithm.pszObjId : "";
  // Only a SHA-256 message digest is compared with the content here.
  if (facts.digestOid != kSha256Oid || !MessageDigestMatches(info->AuthAttrs, content)) return facts;
  facts.signerKey = PublicKeyDigest(signer.get());
  facts.hasSigningTime = SigningTime(info->AuthAttrs, &facts.signingTime);
  facts.valid = !facts.signerKey.empty();
  facts.error = facts.valid ? 0 : static_cast<uint32_t>(NTE_BAD_SIGNATURE);
  return facts;
}

}  // namespace platform

// Detached CMS signatures through OpenSSL's libcrypto.
#include "platform/signed_data.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <ctime>
#include <memory>

#include "platform/utf.h"

namespace platform {

namespace {

constexpr uint32_t kBadSignature = 0x80096010u;  // NTE_BAD_SIGNATURE / TRUST_E_BAD_DIGEST, as Windows says
constexpr uint32_t kBadMessage = 0x80091004u;    // CRYPT_E_INVALID_MSG_TYPE: not a signed message

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, Deleter<CMS_ContentInfo, CMS_ContentInfo_free>>;

void FreeCertificates(STACK_OF(X509) * certificates) { sk_X509_free(certificates); }

std::string KeyDigest(X509* certificate) {
  unsigned char* der = nullptr;
  const int size = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &der);
  if (size <= 0) return std::string();
  unsigned char digest[32];
  unsigned int digestSize = 0;
  const bool hashed = EVP_Digest(der, static_cast<size_t>(size), digest, &digestSize, EVP_sha256(), nullptr) == 1;
  OPENSSL_free(der);
  return hashed && digestSize == sizeof(digest) ? HexText(digest, sizeof(digest)) : std::string();
}

bool SigningTime(CMS_SignerInfo* signer, int64_t* time) {
  const int at = CMS_signed_get_attr_by_NID(signer, NID_pkcs9_signingTime, -1);
  if (at < 0) return false;
  X509_ATTRIBUTE* attribute = CMS_signed_get_attr(signer, at);
  ASN1_TYPE* value = attribute ? X509_ATTRIBUTE_get0_type(attribute, 0) : nullptr;
  if (!value || (value->type != V_ASN1_UTCTIME && value->type != V_ASN1_GENERALIZEDTIME)) return false;
  struct tm parts {};
  if (ASN1_TIME_to_tm(reinterpret_cast<const ASN1_TIME*>(value->value.asn1_string), &parts) != 1) return false;
  *time = static_cast<int64_t>(timegm(&parts));
  return true;
}

}  // namespace

SignedDataFacts VerifyDetachedSignedData(const std::string& content, const std::string& signature) {
  SignedDataFacts facts;
  facts.error = kBadMessage;
  BioPtr der(BIO_new_mem_buf(signature.data(), static_cast<int>(signature.size())));
  CmsPtr cms(der ? d2i_CMS_bio(der.get(), nullptr) : nullptr);
  if (!cms || OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed) return facts;
  STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms.get());
  if (!signers || sk_CMS_SignerInfo_num(signers) != 1) return facts;
  CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, 0);
  facts.error = kBadSignature;
  BioPtr data(BIO_new_mem_buf(content.data(), static_cast<int>(content.size())));
  // The chain is not the question: the signer's key is compared with the
  // vendor's keys by the caller. The message digest, the signed attributes and
  // the signature over them are all checked.
  const unsigned flags = CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY | CMS_DETACHED;
  const bool verified = data && CMS_verify(cms.get(), nullptr, nullptr, data.get(), nullptr, flags) == 1;
  ERR_clear_error();
  if (!verified) return facts;
  std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), FreeCertificates>> certificates(
      CMS_get0_signers(cms.get()));
  X509* certificate = certificates && sk_X509_num(certificates.get()) == 1 ? sk_X509_value(certificates.get(), 0)
                                                                            : nullptr;
  if (!certificate) return facts;
  facts.signerKey = KeyDigest(certificate);
  X509_ALGOR* digest = nullptr;
  CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &digest, nullptr);
  const ASN1_OBJECT* oid = nullptr;
  if (digest) X509_ALGOR_get0(&oid, nullptr, nullptr, digest);
  char dotted[80] = {};
  if (oid) OBJ_obj2txt(dotted, sizeof(dotted), oid, 1);
  facts.digestOid = dotted;
  facts.hasSigningTime = SigningTime(signer, &facts.signingTime);
  facts.valid = !facts.signerKey.empty();
  facts.error = facts.valid ? 0 : kBadSignature;
  return facts;
}

}  // namespace platform

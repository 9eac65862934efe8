// Authenticode through WinVerifyTrust: the signer's public key compared with
// the running launcher's own (development builds), or its digest read for the
// vendor keys of a release build. wintrust.dll and crypt32.dll are no
// KnownDLLs: they are loaded from the system folder when first needed, never
// imported.
#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/code_signature.h"
#include "platform/held_file.h"
#include "platform/signed_data.h"
#include "platform/utf.h"
#include "platform/win32/final_path_win.h"
#include "platform/win32/owned_win.h"
#include "platform/win32/revocation_win.h"
#include "platform/win32/system_library_win.h"

namespace platform {

namespace {

const wchar_t kWinTrust[] = L"wintrust.dll";
const wchar_t kCrypt32[] = L"crypt32.dll";

template <typename Fn>
Fn TrustFunction(const char* name, const wchar_t* library = kWinTrust) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(SystemLibraryFunction(library, name)));
}

// The SHA-256 digest, in lower-case hex, of the certificate's public key as
// DER SubjectPublicKeyInfo: what "openssl pkey -pubin -outform DER | sha256sum"
// gives for the vendor's certificate. Empty when it cannot be computed.
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

bool IsRevocationUnknown(LONG verdict) {
  return verdict == static_cast<LONG>(CERT_E_REVOCATION_FAILURE) ||
         verdict == static_cast<LONG>(CRYPT_E_REVOCATION_OFFLINE) ||
         verdict == static_cast<LONG>(CRYPT_E_NO_REVOCATION_CHECK);
}

bool IsRevoked(LONG verdict) {
  return verdict == static_cast<LONG>(CERT_E_REVOKED) || verdict == static_cast<LONG>(CRYPT_E_REVOKED);
}

// The signer's key (its algorithm and bits) of a file whose signature the
// system accepts; false with the last error set to WinVerifyTrust's verdict.
LONG VerifySigner(HANDLE file, const wchar_t* path, DWORD revocation, std::string* key, std::string* keyDigest,
                  DWORD providerFlags = WTD_CACHE_ONLY_URL_RETRIEVAL) {
  const auto verify = TrustFunction<decltype(&::WinVerifyTrust)>("WinVerifyTrust");
  const auto providerData = TrustFunction<decltype(&::WTHelperProvDataFromStateData)>("WTHelperProvDataFromStateData");
  const auto signerOf = TrustFunction<decltype(&::WTHelperGetProvSignerFromChain)>("WTHelperGetProvSignerFromChain");
  if (!verify || !providerData || !signerOf) {
    // Never a success: without the system's check nothing counts as signed.
    const DWORD error = ::GetLastError();
    return static_cast<LONG>(error != ERROR_SUCCESS ? error : static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN));
  }
  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = path;
  fileInfo.hFile = file;  // the held file itself, not whatever the path names by now
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = revocation;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = providerFlags;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const HWND noWindow = static_cast<HWND>(INVALID_HANDLE_VALUE);
  const LONG verdict = verify(noWindow, &action, &data);
  bool ok = verdict == ERROR_SUCCESS;
  if (ok) {
    CRYPT_PROVIDER_DATA* provider = providerData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider ? signerOf(provider, 0, FALSE, 0) : nullptr;
    ok = signer && signer->csCertChain > 0 && signer->pasCertChain[0].pCert;
    if (ok && key) {
      const CERT_PUBLIC_KEY_INFO& info = signer->pasCertChain[0].pCert->pCertInfo->SubjectPublicKeyInfo;
      *key = std::string(info.Algorithm.pszObjId ? info.Algorithm.pszObjId : "") + '\0' +
             std::string(reinterpret_cast<const char*>(info.PublicKey.pbData), info.PublicKey.cbData);
    }
    if (ok && keyDigest) {
      *keyDigest = PublicKeyDigest(signer->pasCertChain[0].pCert);
      ok = !keyDigest->empty();
    }
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  verify(noWindow, &action, &data);
  const LONG result = ok ? ERROR_SUCCESS : verdict != ERROR_SUCCESS ? verdict : static_cast<LONG>(TRUST_E_NOSIGNATURE);
  ::SetLastError(static_cast<DWORD>(result));
  return result;
}

bool VerifiedSignerKey(HANDLE file, const wchar_t* path, std::string* key) {
  return VerifySigner(file, path, WTD_REVOKE_NONE, key, nullptr) == ERROR_SUCCESS;
}

const IMAGE_NT_HEADERS* LoadedHeaders() {
  const auto* base = reinterpret_cast<const BYTE*>(::GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
}

bool SignedImage(const IMAGE_NT_HEADERS* headers) {
  return headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size != 0;
}

// True when the file's headers are those of the loaded image, apart from the
// base address the loader may have moved it to.
bool SameImage(HeldFile& file, const IMAGE_NT_HEADERS* loaded) {
  const LONG at = reinterpret_cast<const IMAGE_DOS_HEADER*>(::GetModuleHandleW(nullptr))->e_lfanew;
  std::string bytes(at + sizeof(IMAGE_NT_HEADERS), '\0');
  size_t got = 0, total = 0;
  while (total < bytes.size() && file.Read(&bytes[total], bytes.size() - total, &got) && got > 0) total += got;
  if (total != bytes.size()) return false;
  IMAGE_NT_HEADERS onDisk;
  std::memcpy(&onDisk, bytes.data() + at, sizeof(onDisk));
  onDisk.OptionalHeader.ImageBase = loaded->OptionalHeader.ImageBase;
  return std::memcmp(&onDisk, loaded, sizeof(onDisk)) == 0;
}

}  // namespace

RevocationRequest RevocationRequestFor(bool releaseBuild) {
  if (releaseBuild) return {WTD_REVOKE_WHOLECHAIN, WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT};
  return {WTD_REVOKE_WHOLECHAIN, WTD_CACHE_ONLY_URL_RETRIEVAL};
}

bool AcceptedWithoutRevocation(LONG verdict, bool releaseBuild) {
  if (!IsRevocationUnknown(verdict)) return false;
  return !releaseBuild || verdict != static_cast<LONG>(CRYPT_E_REVOCATION_OFFLINE);
}

SignerCheck CheckSameSigner(const HeldFile& file) {
  const IMAGE_NT_HEADERS* loaded = LoadedHeaders();
  if (!SignedImage(loaded)) return SignerCheck::kRunningUnsigned;
  std::string candidateKey, ownKey;
  if (!VerifiedSignerKey(reinterpret_cast<HANDLE>(file.NativeHandle()), file.Path().c_str(), &candidateKey)) {
    return SignerCheck::kNotTrusted;
  }
  wchar_t path[32768];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, 32768);
  HeldFile own;
  if (length == 0 || length >= 32768 || !own.Open(std::wstring(path, length))) return SignerCheck::kOwnUnknown;
  if (!SameImage(own, loaded)) {
    ::SetLastError(ERROR_FILE_INVALID);
    return SignerCheck::kOwnUnknown;
  }
  if (!own.Rewind() || !VerifiedSignerKey(reinterpret_cast<HANDLE>(own.NativeHandle()), own.Path().c_str(), &ownKey)) {
    return SignerCheck::kOwnUnknown;
  }
  return candidateKey == ownKey ? SignerCheck::kSameSigner : SignerCheck::kOtherSigner;
}

bool NamedWithoutLinks(const HeldFile& file) {
  if (FinalPathIs(reinterpret_cast<HANDLE>(file.NativeHandle()), file.Path())) return true;
  ::SetLastError(ERROR_CANT_ACCESS_FILE);
  return false;
}

SignatureFacts ReadSignature(const HeldFile& file, bool strictRevocation) {
  SignatureFacts facts;
  const auto handle = reinterpret_cast<HANDLE>(file.NativeHandle());
  const wchar_t* path = file.Path().c_str();
  const RevocationRequest request = RevocationRequestFor(strictRevocation);
  const LONG verdict = VerifySigner(handle, path, request.checks, nullptr, &facts.signerKey, request.providerFlags);
  facts.error = static_cast<uint32_t>(verdict);
  if (verdict == ERROR_SUCCESS) {
    facts.status = SignatureStatus::kValid;
  } else if (IsRevoked(verdict)) {
    facts.status = SignatureStatus::kRevoked;
  } else if (IsRevocationUnknown(verdict) && AcceptedWithoutRevocation(verdict, strictRevocation)) {
    // Without revocation information at hand the signature is judged on the
    // rest: the same check without revocation must accept it.
    facts.signerKey.clear();
    const LONG withoutRevocation = VerifySigner(handle, path, WTD_REVOKE_NONE, nullptr, &facts.signerKey);
    facts.status = withoutRevocation == ERROR_SUCCESS ? SignatureStatus::kRevocationUnknown : SignatureStatus::kNotTrusted;
    if (withoutRevocation != ERROR_SUCCESS) facts.error = static_cast<uint32_t>(withoutRevocation);
  }
  if (facts.status == SignatureStatus::kNotTrusted || facts.status == SignatureStatus::kRevoked) facts.signerKey.clear();
  ::SetLastError(facts.error);
  return facts;
}

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

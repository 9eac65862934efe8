// Authenticode through WinVerifyTrust: the signer's public key compared with
// the running launcher's own (development builds), or its digest read for the
// vendor keys of a release build.
#include "platform/code_signature.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>
#include <string>

#include "platform/held_file.h"
#include "platform/win32/crypt_win.h"
#include "platform/win32/final_path_win.h"
#include "platform/win32/revocation_win.h"

namespace platform {

namespace {

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

}  // namespace platform

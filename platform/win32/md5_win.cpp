// MD5 and SHA-256 through CryptoAPI: a verify-only context of the RSA
// provider with AES (which also hashes SHA-256) and the machine key set.
#include "platform/md5.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

#include "platform/error.h"

namespace platform {

struct FileDigest::Impl {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  void ReleaseHash() {
    if (hash) {
      DWORD saved = ::GetLastError();
      ::CryptDestroyHash(hash);
      ::SetLastError(saved);
    }
    hash = 0;
  }
  ~Impl() {
    ReleaseHash();
    if (provider) ::CryptReleaseContext(provider, 0);
  }
};

FileDigest::FileDigest(DigestKind kind) : kind_(kind), impl_(std::make_unique<Impl>()) {}
FileDigest::~FileDigest() = default;

bool FileDigest::Begin() {
  impl_->ReleaseHash();
  if (!impl_->provider &&
      !::CryptAcquireContextW(&impl_->provider, nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET)) {
    impl_->provider = 0;
    return false;
  }
  if (!::CryptCreateHash(impl_->provider, kind_ == DigestKind::kMd5 ? CALG_MD5 : CALG_SHA_256, 0, 0, &impl_->hash)) {
    impl_->hash = 0;
    return false;
  }
  return true;
}

bool FileDigest::Update(const void* data, size_t size) {
  if (!impl_->hash) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  const BYTE* p = static_cast<const BYTE*>(data);
  while (size > 0) {
    DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    if (!::CryptHashData(impl_->hash, p, piece, 0)) return false;
    p += piece;
    size -= piece;
  }
  return true;
}

bool FileDigest::Finish(uint8_t* digest) {
  if (!impl_->hash) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  BYTE value[kSha256DigestSize];
  DWORD size = sizeof(value);
  bool ok = ::CryptGetHashParam(impl_->hash, HP_HASHVAL, value, &size, 0) && size == Size();
  if (ok) std::copy(value, value + Size(), digest);
  else if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(NTE_BAD_HASH);
  impl_->ReleaseHash();
  return ok;
}

}  // namespace platform

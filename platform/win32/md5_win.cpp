// MD5 through CryptoAPI: a verify-only context of the full RSA provider with
// the machine key set.
#include "platform/md5.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

#include "platform/error.h"

namespace platform {

struct Md5Hash::Impl {
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

Md5Hash::Md5Hash() : impl_(std::make_unique<Impl>()) {}
Md5Hash::~Md5Hash() = default;

bool Md5Hash::Begin() {
  impl_->ReleaseHash();
  if (!impl_->provider &&
      !::CryptAcquireContextW(&impl_->provider, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET)) {
    impl_->provider = 0;
    return false;
  }
  if (!::CryptCreateHash(impl_->provider, CALG_MD5, 0, 0, &impl_->hash)) {
    impl_->hash = 0;
    return false;
  }
  return true;
}

bool Md5Hash::Update(const void* data, size_t size) {
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

bool Md5Hash::Finish(uint8_t digest[kMd5DigestSize]) {
  if (!impl_->hash) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  BYTE value[kMd5DigestSize];
  DWORD size = sizeof(value);
  bool ok = ::CryptGetHashParam(impl_->hash, HP_HASHVAL, value, &size, 0) && size == kMd5DigestSize;
  if (ok) std::copy(value, value + kMd5DigestSize, digest);
  else if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(NTE_BAD_HASH);
  impl_->ReleaseHash();
  return ok;
}

}  // namespace platform

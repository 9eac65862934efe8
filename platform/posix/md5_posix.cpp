// MD5 through OpenSSL's libcrypto (EVP).
#include <openssl/evp.h>

#include "platform/error.h"
#include "platform/md5.h"

namespace platform {

struct Md5Hash::Impl {
  EVP_MD_CTX* context = nullptr;
  bool started = false;
  ~Impl() {
    if (context) EVP_MD_CTX_free(context);
  }
};

Md5Hash::Md5Hash() : impl_(std::make_unique<Impl>()) {}
Md5Hash::~Md5Hash() = default;

bool Md5Hash::Begin() {
  if (!impl_->context) impl_->context = EVP_MD_CTX_new();
  if (!impl_->context) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
  if (EVP_DigestInit_ex(impl_->context, EVP_md5(), nullptr) != 1) {
    impl_->started = false;
    SetLastError(kErrorNotSupported);
    return false;
  }
  impl_->started = true;
  return true;
}

bool Md5Hash::Update(const void* data, size_t size) {
  if (!impl_->started) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (EVP_DigestUpdate(impl_->context, data, size) != 1) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  return true;
}

bool Md5Hash::Finish(uint8_t digest[kMd5DigestSize]) {
  if (!impl_->started) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  impl_->started = false;
  unsigned int size = 0;
  unsigned char out[EVP_MAX_MD_SIZE];
  if (EVP_DigestFinal_ex(impl_->context, out, &size) != 1 || size != kMd5DigestSize) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  for (size_t i = 0; i < kMd5DigestSize; ++i) digest[i] = out[i];
  return true;
}

}  // namespace platform

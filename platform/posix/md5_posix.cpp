// MD5 and SHA-256 through OpenSSL's libcrypto (EVP).
#include "platform/md5.h"

#include <openssl/evp.h>

#include "platform/error.h"

namespace platform {

struct FileDigest::Impl {
  EVP_MD_CTX* context = nullptr;
  bool started = false;
  ~Impl() {
    if (context) EVP_MD_CTX_free(context);
  }
};

FileDigest::FileDigest(DigestKind kind) : kind_(kind), impl_(std::make_unique<Impl>()) {}
FileDigest::~FileDigest() = default;

bool FileDigest::Begin() {
  if (!impl_->context) impl_->context = EVP_MD_CTX_new();
  if (!impl_->context) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
  if (EVP_DigestInit_ex(impl_->context, kind_ == DigestKind::kMd5 ? EVP_md5() : EVP_sha256(), nullptr) != 1) {
    impl_->started = false;
    SetLastError(kErrorNotSupported);
    return false;
  }
  impl_->started = true;
  return true;
}

bool FileDigest::Update(const void* data, size_t size) {
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

bool FileDigest::Finish(uint8_t* digest) {
  if (!impl_->started) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  impl_->started = false;
  unsigned int size = 0;
  unsigned char out[EVP_MAX_MD_SIZE];
  if (EVP_DigestFinal_ex(impl_->context, out, &size) != 1 || size != Size()) {
    SetLastError(kErrorInvalidData);
    return false;
  }
  for (size_t i = 0; i < Size(); ++i) digest[i] = out[i];
  return true;
}

}  // namespace platform

#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

constexpr size_t kMd5DigestSize = 16;

// The system's MD5 service (CryptoAPI on Windows, OpenSSL's libcrypto on
// Linux), fed piece by piece so that a file is never held in memory whole.
// Failures set the last error.
class Md5Hash {
 public:
  Md5Hash();
  ~Md5Hash();
  Md5Hash(const Md5Hash&) = delete;
  Md5Hash& operator=(const Md5Hash&) = delete;

  // Acquires the cryptographic context and starts a digest.
  bool Begin();
  bool Update(const void* data, size_t size);
  // Ends the digest; the object can then Begin again.
  bool Finish(uint8_t digest[kMd5DigestSize]);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform

#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

constexpr size_t kMd5DigestSize = 16;
constexpr size_t kSha256DigestSize = 32;

enum class DigestKind { kMd5, kSha256 };

// The system's MD5 and SHA-256 services (CryptoAPI on Windows, OpenSSL's
// libcrypto on Linux), fed piece by piece so that a file is never held in
// memory whole. Failures set the last error.
class FileDigest {
 public:
  explicit FileDigest(DigestKind kind);
  ~FileDigest();
  FileDigest(const FileDigest&) = delete;
  FileDigest& operator=(const FileDigest&) = delete;

  size_t Size() const { return kind_ == DigestKind::kMd5 ? kMd5DigestSize : kSha256DigestSize; }
  // Acquires the cryptographic context and starts a digest.
  [[nodiscard]] bool Begin();
  [[nodiscard]] bool Update(const void* data, size_t size);
  // Ends the digest (Size() bytes); the object can then Begin again.
  [[nodiscard]] bool Finish(uint8_t* digest);

  struct Impl;

 private:
  DigestKind kind_;
  std::unique_ptr<Impl> impl_;
};

class Md5Hash : public FileDigest {
 public:
  Md5Hash() : FileDigest(DigestKind::kMd5) {}
};

}  // namespace platform

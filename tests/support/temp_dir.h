#pragma once
#include <string>

namespace tavo_test {

// A fresh folder under the temporary folder, removed with everything in it
// when the test ends. Paths are native wide strings with a trailing separator.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + name; }

 private:
  std::wstring path_;
};

bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
// The UTF-8 bytes of a wide literal, for writing test files.
std::string Utf8(const std::wstring& text);

}  // namespace tavo_test

#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// Names (not paths) of the entries of a folder; false when it cannot be listed.
bool ListFolder(const std::wstring& folder, std::vector<std::wstring>* names);
bool DeleteFileAt(const std::wstring& path);
bool CreateFolder(const std::wstring& path);
bool GetFileSize(const std::wstring& path, uint64_t* size);

// A file opened for one kind of access; closed when destroyed. Failures set
// the last error.
class File {
 public:
  enum class Mode { Read, CreateWrite, Append };
  File();
  ~File();
  File(File&&) noexcept;
  File& operator=(File&&) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool Open(const std::wstring& path, Mode mode);
  bool IsOpen() const;
  // Reads up to size bytes; *read is 0 at the end of the file.
  bool Read(void* buffer, size_t size, size_t* read);
  bool Write(const void* data, size_t size);
  bool Size(uint64_t* size) const;
  bool Flush();
  // Empties the file; writing goes on from its start.
  bool Truncate();
  bool Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Convenience for small files. A file of more than maxBytes is refused
// (kErrorFileTooLarge) after reading no more than maxBytes + 1 bytes of it.
bool ReadWholeFile(const std::wstring& path, std::string* bytes, uint64_t maxBytes = UINT64_MAX);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

}  // namespace platform

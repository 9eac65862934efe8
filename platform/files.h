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
[[nodiscard]] bool ListFolder(const std::wstring& folder, std::vector<std::wstring>* names);
bool DeleteFileAt(const std::wstring& path);
[[nodiscard]] bool CreateFolder(const std::wstring& path);
[[nodiscard]] bool GetFileSize(const std::wstring& path, uint64_t* size);
// True when the path lies on a fixed volume of this machine: no network
// share (a UNC path, a mapped or WebDAV drive), no removable or device path.
// What lies there can change only through this machine.
bool IsOnLocalFixedVolume(const std::wstring& path);

// A file opened for one kind of access; closed when destroyed. Failures set
// the last error.
//
// A writer never follows what stands at the name: a link (junction, reparse
// point), or a file that has other names too (a hard link), is never written
// through. Writers opened by path remove what holds the name: they are for
// the private working folder. In a folder a user can write, files are opened
// through a HeldFolder, which removes nothing.
class File {
 public:
  enum class Mode {
    // Reads an existing file, through links as the system resolves them.
    Read,
    // Reads an existing file that is neither a link nor has other names;
    // anything else fails with access denied.
    ReadOwnFile,
    // A new, empty file: whatever holds the name (a file, a link) is removed
    // first and the file is created new. Others may read it, never write it.
    // Its writer may move it (HeldFile::HoldWritten).
    CreateWrite,
    // Appends to the file of that name when it is a plain file of its own;
    // a link or any other thing in its place is removed and a new file made.
    // A folder of that name is not touched: the open fails. Writers of
    // several handles take turns on a lock that anyone who can open the file
    // could hold too, so a write waits for it about a second at most and then
    // fails (kErrorLockViolation).
    Append,
  };
  File();
  ~File();
  File(File&&) noexcept;
  File& operator=(File&&) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  [[nodiscard]] bool Open(const std::wstring& path, Mode mode);
  bool IsOpen() const;
  // Reads up to size bytes; *read is 0 at the end of the file.
  [[nodiscard]] bool Read(void* buffer, size_t size, size_t* read);
  [[nodiscard]] bool Write(const void* data, size_t size);
  [[nodiscard]] bool Size(uint64_t* size) const;
  bool Flush();
  // Empties the file; writing goes on from its start.
  bool Truncate();
  // True when the open file's final path is path: no link, junction or mount
  // point lies anywhere on the way to it. Asked of the handle, so a name
  // changed after the open does not fool it.
  bool IsAt(const std::wstring& path) const;
  // The system's handle: a HANDLE on Windows, a descriptor on Linux.
  intptr_t NativeHandle() const;
  bool Close();

 private:
  friend class HeldFolder;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A folder held open as itself while a file is made or written in it: nobody
// can rename or remove it meanwhile, nor on Windows any folder above it. The
// open fails (access denied) when a link, junction or mount point lies
// anywhere on its path.
class HeldFolder {
 public:
  HeldFolder();
  ~HeldFolder();
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;
  [[nodiscard]] bool Open(const std::wstring& folder);
  // Opens the folder as Open does, first making the folders missing on its
  // way: each inside the last one held, through that handle, none through a
  // link, junction or mount point.
  [[nodiscard]] bool OpenMaking(const std::wstring& folder);

  // Opens a file of the held folder by its plain name, resolved through the
  // folder's handle, so that nothing done to the folder's path after it was
  // held reaches the file, and never through a link or mount point at the
  // name. Nothing that holds the name is removed or replaced: a link, a
  // folder, a file with other names too, or anything but a plain file fails
  // with access denied and stays as it was.
  //   Append: for reading and appending; a new file when the name is free.
  //   CreateWrite: an existing plain file is emptied through the handle, or
  //     a new file is made.
  // Other modes fail (invalid parameter).
  [[nodiscard]] bool OpenFile(const std::wstring& name, File::Mode mode, File* file) const;

 private:
  bool OpenChild(const std::wstring& name, HeldFolder* child) const;
  intptr_t handle_;
  std::wstring path_;  // as it was held
};

// Convenience for small files. A file of more than maxBytes is refused
// (kErrorFileTooLarge) after reading no more than maxBytes + 1 bytes of it.
[[nodiscard]] bool ReadWholeFile(const std::wstring& path, std::string* bytes, uint64_t maxBytes = UINT64_MAX);
[[nodiscard]] bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

}  // namespace platform

#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class File;

// A file held open for reading from before the launcher checks it until its
// use has ended, so that what was checked is what is used. On Windows nobody
// can write, replace, rename or delete it while it is held: it is shared for
// reading only, which still lets an installer or a second launcher read it.
// The simulated machine (Linux) knows no sharing modes; there Unchanged()
// tells whether the path still names the held file as it was opened.
class HeldFile {
 public:
  HeldFile();
  ~HeldFile();
  HeldFile(HeldFile&&) noexcept;
  HeldFile& operator=(HeldFile&&) noexcept;
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // Opens an existing regular file. A link, junction or reparse point is not
  // followed: opening one fails. Failures set the last error.
  [[nodiscard]] bool Open(const std::wstring& path);
  // Takes over a file this process has just written (File::Mode::CreateWrite)
  // at writtenPath: moves it to path, replacing what lies there, and holds it
  // there; the writer is closed. The file held is the file written, whatever
  // another process did to either name meanwhile: on Windows the move goes
  // through the writer's own handle, and the hold must find the same file
  // the writer had; on the simulated machine a file put at either name fails
  // the hold (kErrorFileInvalid).
  [[nodiscard]] bool HoldWritten(File* written, const std::wstring& writtenPath, const std::wstring& path);
  bool IsOpen() const;
  const std::wstring& Path() const;
  // Reads from where the last read ended; Rewind starts at the beginning again.
  [[nodiscard]] bool Read(void* buffer, size_t size, size_t* read);
  [[nodiscard]] bool Rewind();
  // True when the path still names the held file and nothing has written it
  // since it was opened.
  bool Unchanged() const;
  // The system's handle: a HANDLE on Windows, a descriptor on Linux.
  intptr_t NativeHandle() const;
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::wstring path_;
};

}  // namespace platform

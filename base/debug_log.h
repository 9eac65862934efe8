#pragma once
#include <initializer_list>
#include <mutex>
#include <string>

// The launcher's debug log: one UTF-16LE text file, appended to across runs,
// opened and closed for every entry so that it is complete on disk at every
// moment. Writing never reports anything to the user.
class DebugLog {
 public:
  enum class Level { Error = 1, Information = 3 };

  void SetPath(const std::wstring& path);
  // Where the log goes on once the file at the path cannot be written as
  // itself: a link lies on its way, another process keeps it locked or open.
  // The first entry there says so and names the path given up.
  void SetFallbackPath(const std::wstring& path);
  void SetEnabled(bool enabled);
  bool Enabled() const;
  std::wstring Path() const;

  bool Info(const std::wstring& text);
  // Appends " (ERRORCODE n)" with the last system error read on entry.
  bool Error(const std::wstring& text);
  bool ErrorPlain(const std::wstring& text);
  // True when the entry was written or the log is disabled.
  bool Write(Level level, const std::wstring& text);

 private:
  mutable std::mutex lock_;
  bool Append(const std::wstring& path, const std::wstring& line);

  std::wstring path_;
  std::wstring fallback_;
  bool enabled_ = false;
};

// The one log of the process, owned by the application object; workers and
// readers write to it through this accessor.
DebugLog& Log();

// Error entries of one failure: each carries the last error as it was before
// the first was written (writing an entry may change it), and it stays set.
void LogErrors(std::initializer_list<std::wstring> lines);

// How every launcher log begins: the UTF-16LE byte-order mark and the "["
// of its first entry's time.
constexpr char kLogStart[] = "\xFF\xFE[";
// True when the first bytes of a file are those of a launcher log (an empty
// file counts as none).
bool IsLauncherLogStart(const std::string& head);

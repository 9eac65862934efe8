#pragma once
#include <string>

namespace platform {

// The elevated launcher keeps everything it downloads, checks, parses or runs
// in a folder of its own that no process of the user can open, rename or
// redirect.

// The parent of such folders, with a trailing separator: the system's
// temporary folder (%SystemRoot%\SystemTemp for a process that runs as
// SYSTEM, %SystemRoot%\Temp otherwise), never taken from TMP or TEMP, where
// users may create entries but not rename or delete another's. On the
// simulated machine the Temp folder of its Windows tree. Empty with the last
// error set on failure.
[[nodiscard]] std::wstring GetSystemTempFolder();

// Creates a new folder parent + prefix + random hexadecimal digits, open only
// to SYSTEM and the Administrators (a protected access list; mode 0700 on the
// simulated machine), and checks that no link lies on its path. The folder is
// kept open until the process ends, so that nobody renames or removes it.
// Returns it with a trailing separator; empty with the last error set.
[[nodiscard]] std::wstring CreatePrivateFolder(const std::wstring& parent, const std::wstring& prefix);

// True when the folder is as CreatePrivateFolder makes them: a real folder,
// no link on its path, owned by and open to SYSTEM and the Administrators
// only. With keepOpen a folder that passes is kept open as a new one is.
[[nodiscard]] bool IsPrivateFolder(const std::wstring& folder, bool keepOpen);

// Deletes a folder with everything in it. A link inside is removed as itself,
// never followed. False with the last error set when something stays.
bool RemoveFolderTree(const std::wstring& folder);

}  // namespace platform

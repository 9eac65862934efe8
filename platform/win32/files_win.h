#pragma once
// What the file backends share: the open file's handle, and the checks of a
// writer that never follows what stands at a name.
#include <windows.h>

#include "platform/files.h"
#include "platform/win32/owned_win.h"

namespace platform {

struct File::Impl {
  win32::UniqueHandle handle;
  bool append = false;
};

// Another process may put something at the name between our removal and our
// creation; that many rounds are given before the open fails.
constexpr int kCreateAttempts = 3;

// What was opened is a plain file with no other name: no reparse point (a
// link or junction opened as itself), no folder, no hard link.
bool IsOwnFile(HANDLE handle);

}  // namespace platform

#pragma once
#include <windows.h>

#include <string>

#include "platform/win32/owned_win.h"

namespace platform {

// The security of a private working folder, in the system's text form: owned
// by the Administrators, open to SYSTEM and the Administrators alone, passed
// on to everything made inside, nothing inherited from the parent.
extern const wchar_t kPrivateDescriptor[];

// Files and folders made from now on anywhere below the folder get their own
// protected access list from CreationSecurity.
void RememberPrivateFolder(const std::wstring& folder);

// The security a file or folder is created with. Inside a private working
// folder of this process it is a protected access list of its own, for
// SYSTEM and the Administrators only, owned by the Administrators, given in
// the same call that creates it rather than left to inheritance; elsewhere
// (the user's Temp, the install folder) nothing is given and the folder's
// inheritance applies.
class CreationSecurity {
 public:
  CreationSecurity(const std::wstring& path, bool folder);
  ~CreationSecurity();
  CreationSecurity(const CreationSecurity&) = delete;
  CreationSecurity& operator=(const CreationSecurity&) = delete;
  // Null where nothing is given.
  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  win32::LocalMemory<PSECURITY_DESCRIPTOR> descriptor_;
  SECURITY_ATTRIBUTES attributes_ = {};
};

}  // namespace platform

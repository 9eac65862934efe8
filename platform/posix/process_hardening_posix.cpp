#include "platform/process_hardening.h"

namespace platform {

// The dynamic loader looks only where the program was linked to look, never
// beside the program or in the current folder.
DllSearchHardening RestrictDllSearchToSystemFolder() { return DllSearchHardening::kNotNeeded; }

}  // namespace platform

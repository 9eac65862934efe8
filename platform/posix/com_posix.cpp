#include "platform/com.h"

namespace platform {
// libxml2 needs no per-thread set-up.
void InitializeThreadComponents() {}
}  // namespace platform

#include "platform/ui.h"

namespace platform {
// The terminal front end has no control classes to register.
void InitializeCommonControls() {}
}  // namespace platform

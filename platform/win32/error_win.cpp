#include "platform/error.h"

#include <windows.h>

namespace platform {

uint32_t LastError() { return ::GetLastError(); }

void SetLastError(uint32_t code) { ::SetLastError(code); }

}  // namespace platform

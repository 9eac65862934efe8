#include "platform/com.h"

#include <objbase.h>

namespace platform {

void InitializeThreadComponents() {
  // S_FALSE (already initialised) and RPC_E_CHANGED_MODE leave the thread
  // usable for the DOM all the same, so the result is not looked at.
  ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

}  // namespace platform

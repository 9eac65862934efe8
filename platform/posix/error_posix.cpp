#include "platform/error.h"

namespace platform {
namespace {
thread_local uint32_t g_lastError = 0;
}
uint32_t LastError() { return g_lastError; }
void SetLastError(uint32_t code) { g_lastError = code; }
}  // namespace platform

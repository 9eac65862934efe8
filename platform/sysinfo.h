#pragma once
#include <cstdint>

namespace platform {

// What the system reports of its own version (GetVersionExW with the extended
// structure on Windows; machine.ini on the simulated machine).
struct OsVersionInfo {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platformId = 0;   // 2: the NT platform
  uint16_t suiteMask = 0;
  uint8_t productType = 0;   // 1 workstation, 2 domain controller, 3 server
};

constexpr uint32_t kPlatformNt = 2;
constexpr uint8_t kProductWorkstation = 1;
constexpr uint16_t kArchitectureX86 = 0;
constexpr uint16_t kArchitectureItanium = 6;
constexpr uint16_t kArchitectureX64 = 9;

[[nodiscard]] bool GetOsVersionInfo(OsVersionInfo* info);
// Native processor architecture; false when the system offers no native
// system information.
[[nodiscard]] bool GetNativeArchitecture(uint16_t* architecture);
// The architecture of the ordinary system information (the emulated one under WoW64).
uint16_t GetSystemArchitecture();
// True when this (32-bit) process runs under the 32-bit emulation of 64-bit Windows.
bool IsWow64Process();
// The system's own "version at least major.minor" query.
bool IsVersionAtLeast(uint32_t major, uint32_t minor);
// True on the R2 release of a 5.2 system.
bool IsServerR2();

}  // namespace platform

#include "platform/sysinfo.h"

#include "platform/posix/machine.h"

namespace platform {

// machine.ini [Windows]: Major, Minor, Build, PlatformId, ProductType,
// SuiteMask, R2, AtLeast63, Architecture, Wow64, and NativeInfo (0 makes the
// native-system-information call unavailable, as on systems that lack it).
bool GetOsVersionInfo(OsVersionInfo* info) {
  posix::IniFile ini = posix::MachineIni();
  info->major = static_cast<uint32_t>(ini.GetInt("Windows", "Major", 10));
  info->minor = static_cast<uint32_t>(ini.GetInt("Windows", "Minor", 0));
  info->build = static_cast<uint32_t>(ini.GetInt("Windows", "Build", 19045));
  info->platformId = static_cast<uint32_t>(ini.GetInt("Windows", "PlatformId", kPlatformNt));
  info->productType = static_cast<uint8_t>(ini.GetInt("Windows", "ProductType", kProductWorkstation));
  info->suiteMask = static_cast<uint16_t>(ini.GetInt("Windows", "SuiteMask", 0x0100));
  return true;
}

bool GetNativeArchitecture(uint16_t* architecture) {
  posix::IniFile ini = posix::MachineIni();
  if (ini.GetInt("Windows", "NativeInfo", 1) == 0) return false;
  *architecture = static_cast<uint16_t>(ini.GetInt("Windows", "Architecture", kArchitectureX64));
  return true;
}

uint16_t GetSystemArchitecture() {
  // Under WoW64 the ordinary system information reports the emulated x86.
  if (IsWow64Process()) return kArchitectureX86;
  return static_cast<uint16_t>(posix::MachineIni().GetInt("Windows", "Architecture", kArchitectureX64));
}

bool IsWow64Process() {
  posix::IniFile ini = posix::MachineIni();
  long arch = ini.GetInt("Windows", "Architecture", kArchitectureX64);
  long fallback = (arch == kArchitectureX64 || arch == kArchitectureItanium) ? 1 : 0;
  return ini.GetInt("Windows", "Wow64", fallback) != 0;
}

bool IsVersionAtLeast(uint32_t major, uint32_t minor) {
  posix::IniFile ini = posix::MachineIni();
  OsVersionInfo info;
  if (!GetOsVersionInfo(&info)) return false;
  bool reported = info.major > major || (info.major == major && info.minor >= minor);
  // A machine may answer the 6.3 question differently from the version it reports.
  if (major == 6 && minor == 3) return ini.GetInt("Windows", "AtLeast63", reported ? 1 : 0) != 0;
  return reported;
}

bool IsServerR2() { return posix::MachineIni().GetInt("Windows", "R2", 0) != 0; }

}  // namespace platform

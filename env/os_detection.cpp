#include "env/os_detection.h"

#include <vector>

#include "platform/error.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

namespace {

const wchar_t* const kOsNames[] = {
    L"",
    L"Windows Server 2008R2 x64",
    L"Windows Server 2008 x64",
    L"Windows Server 2008 x86",
    L"Windows Server 2003R2 x64",
    L"Windows Server 2003R2 x86",
    L"Windows Server 2003 x64",
    L"Windows Server 2003 x86",
    L"Windows 2000 Server x86",
    L"Windows 7 x64",
    L"Windows 7 x86",
    L"Windows Vista x64",
    L"Windows Vista x86",
    L"Windows XP x64",
    L"Windows XP x86",
    L"Windows 2000 Professional",
    L"Windows Storage Server 2003 x64",
    L"Windows Storage Server 2003 x86",
    L"Windows Home Server 2011",
    L"Windows 8 x86",
    L"Windows 8 x64",
    L"Windows Server 2012",
    L"Windows 8.1 x86",
    L"Windows 8.1 x64",
    L"Windows Server 2012 R2",
    L"Windows 10 x86",
    L"Windows 10 x64",
    L"Windows Server 2016",
};

constexpr uint16_t kSuiteHomeServer = 0x8000;
constexpr uint16_t kSuiteStorageServer = 0x2000;

// Picks the x64 or the x86 code of a pair; 0 when the architecture is neither.
OsCode ByArchitecture(uint16_t arch, OsCode x64, OsCode x86) {
  if (arch == platform::kArchitectureX64) return x64;
  if (arch == platform::kArchitectureX86) return x86;
  return 0;
}

OsCode Classify62Family(bool workstation, uint16_t arch, bool atLeast63) {
  if (atLeast63) return workstation ? ByArchitecture(arch, 23, 22) : 24;
  return workstation ? ByArchitecture(arch, 20, 19) : 21;
}

bool OpenForRead(const std::wstring& subkey, platform::RegistryKey* key) {
  return platform::OpenMachineKey(subkey, platform::IsWow64Process(), key);
}

}  // namespace

OsCode GetOsCode() {
  platform::OsVersionInfo info;
  if (!platform::GetOsVersionInfo(&info)) return 0;
  uint16_t arch = 0;
  if (!platform::GetNativeArchitecture(&arch)) arch = platform::GetSystemArchitecture();
  if (info.platformId != platform::kPlatformNt || info.major <= 4) return 0;
  const bool workstation = info.productType == platform::kProductWorkstation;

  switch (info.major) {
    case 10:
      if (info.minor != 0) return 0;
      return workstation ? ByArchitecture(arch, 26, 25) : 27;
    case 6:
      switch (info.minor) {
        case 0: return workstation ? ByArchitecture(arch, 11, 12) : ByArchitecture(arch, 2, 3);
        case 1:
          if (!workstation) return (info.suiteMask & kSuiteHomeServer) ? 18 : 1;
          return ByArchitecture(arch, 9, 10);
        case 2: return Classify62Family(workstation, arch, platform::IsVersionAtLeast(6, 3));
        case 3: return Classify62Family(workstation, arch, true);
        default: return 0;
      }
    case 5:
      switch (info.minor) {
        case 0: return workstation ? 15 : 8;
        case 1: return 14;
        case 2: {
          // The x86 code of a pair only for a workstation without an x64 processor.
          const bool x86 = workstation && arch != platform::kArchitectureX64;
          if (workstation && arch == platform::kArchitectureX64) return 13;
          if (info.suiteMask & kSuiteStorageServer) return x86 ? 17 : 16;
          if (platform::IsServerR2()) return x86 ? 5 : 4;
          return x86 ? 7 : 6;
        }
        default: return 0;
      }
    default:
      return 0;
  }
}

std::wstring OsNameOf(OsCode code) {
  if (code <= 0 || code >= static_cast<OsCode>(sizeof(kOsNames) / sizeof(kOsNames[0]))) return std::wstring();
  return kOsNames[code];
}

std::wstring GetOsName() { return OsNameOf(GetOsCode()); }

bool IsSupportedOs() {
  platform::OsVersionInfo info;
  if (!platform::GetOsVersionInfo(&info)) return false;
  if (info.platformId != platform::kPlatformNt) return false;
  if (info.productType != platform::kProductWorkstation) return false;
  return info.major > 6 || (info.major == 6 && info.minor >= 1);
}

bool IsVistaOrLater() {
  platform::OsVersionInfo info;
  if (!platform::GetOsVersionInfo(&info)) return false;
  return info.major >= 6;
}

bool IsWindows64Bit() {
  uint16_t arch = 0;
  if (!platform::GetNativeArchitecture(&arch)) return false;
  return arch == platform::kArchitectureX64 || arch == platform::kArchitectureItanium;
}

bool MachineRegistryValueExists(const std::wstring& subkey, const std::wstring& valueName) {
  platform::RegistryKey key;
  if (!OpenForRead(subkey, &key)) return false;
  uint32_t size = 0;
  return platform::QueryValueSize(key, valueName, &size);
}

bool ReadMachineRegistryString(const std::wstring& subkey, const std::wstring& valueName, std::wstring* text) {
  if (text == nullptr) return false;
  platform::RegistryKey key;
  if (!OpenForRead(subkey, &key)) return false;
  uint32_t size = 0;
  if (!platform::QueryValueSize(key, valueName, &size)) return false;
  // An empty value leaves the caller's text as it was.
  if (size == 0) return true;
  std::wstring value;
  if (!platform::ReadStringValue(key, valueName, &value)) return false;
  *text = value;
  return true;
}

#pragma once
#include <cstdint>

// The steps the install worker reports (WM_INSTALL_STEP's wParam), in the
// order it passes them; the status page shows a line for each. A local
// install reports only the last two.
enum class InstallStep : int32_t {
  kCheckingServers = 1,
  kServersChecked,
  kFetchingConfig,
  kConfigFetched,
  kParsingConfig,
  kConfigParsed,
  kDownloadingPackages,
  kPackagesDownloaded,
  kInstalling,
  kInstalled,
};
constexpr InstallStep kFirstInstallStep = InstallStep::kCheckingServers;
constexpr InstallStep kLastInstallStep = InstallStep::kInstalled;

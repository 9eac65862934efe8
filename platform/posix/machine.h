#pragma once
#include <memory>
#include <string>

#include "platform/posix/ini_file.h"
#include "platform/posix/registry_file.h"

namespace platform {
namespace posix {

// The simulated Windows machine of the Linux build: the folder named by
// SETUP_MACHINE, or a built-in default machine (Windows 10 x64 workstation,
// launcher under WoW64, empty registry and event log, no Security Center
// products, temporary folder $TMPDIR or /tmp). Every file in the folder is optional.

// The machine folder with a trailing '/', or empty for the default machine.
std::string MachineFolder();
// A file of the machine folder ("registry.reg", "eventlog.tsv", ...); empty
// for the default machine, which has none.
std::string MachineFile(const std::string& name);
// machine.ini (empty for the default machine or when absent).
IniFile MachineIni();
// The registry as it is on disk now; re-read only when the file changed.
std::shared_ptr<const RegistryFile> CurrentRegistry(bool* ok);

// Folders of the machine, each with a trailing '/'.
std::string TempFolderPath();
std::string WindowsFolderPath();
std::string SystemFolderPath();
std::string DesktopFolderPath();
// The folder of the machine's named objects (platform/named_objects.h), made
// on first use.
std::string ObjectsFolderPath();

}  // namespace posix
}  // namespace platform

#pragma once

namespace tavo_test {

// Puts the simulated Windows Installer (tools/msiexec, built beside the tests, or the program TAVO_MSIEXEC names)
// into the system folder of the machine SETUP_MACHINE selects now (a SimMachine). False when the program is
// missing or cannot be copied.
bool InstallSimulatedInstaller();

}  // namespace tavo_test

#pragma once
#include <string>

namespace tavo_test {

// The simulated Windows Installer (tools/msiexec) built beside the tests, or
// the program TAVO_MSIEXEC names; empty when it is not built.
std::string SimulatedInstallerPath();

// Puts msiexec.exe into the system folder of the machine SETUP_MACHINE selects
// now (a SimMachine). False when the program is missing or cannot be copied.
bool InstallSimulatedInstaller();

// Puts the same program at exePath as a product installer that runs by
// itself (a local installer such as "TTS/tts_nt64_jpn.exe"), with its package
// text beside it ("TTS/tts_nt64_jpn.pkg").
bool InstallInstallerStandIn(const std::wstring& exePath, const std::string& packageText);

}  // namespace tavo_test

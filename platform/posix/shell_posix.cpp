#include "platform/shell.h"

#include <fstream>

#include "platform/error.h"
#include "platform/posix/machine.h"
#include "platform/utf.h"

namespace platform {

// No browser is started on the simulated machine: the request is written to
// shell.log. machine.ini [Shell] OpenResult gives the shell's answer
// (default 42, success), so that refusals can be produced.
intptr_t ShellOpen(const std::wstring& file, const std::wstring& parameters) {
  posix::IniFile ini = posix::MachineIni();
  intptr_t result = ini.GetInt("Shell", "OpenResult", 42);
  std::string path = posix::MachineFile("shell.log");
  if (result > 32 && !path.empty()) {
    std::ofstream log(path, std::ios::app);
    log << WideToUtf8(parameters.empty() ? file : file + L" " + parameters) << "\n";
    if (!log) {
      SetLastError(kErrorAccessDenied);
      return kErrorAccessDenied;
    }
  }
  if (result <= 32) SetLastError(static_cast<uint32_t>(result));
  return result;
}

}  // namespace platform

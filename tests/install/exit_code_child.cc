// A child for the process tests under Wine: ends with the exit code given as
// its first argument (decimal or 0x-hex, all 32 bits), after sleeping the
// milliseconds given as its second; with a third, it owns the mutex of that
// name meanwhile, and says "held" once it does.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  unsigned long code = argc > 1 ? std::strtoul(argv[1], nullptr, 0) : 0;
  if (argc > 3 && ::CreateMutexA(nullptr, TRUE, argv[3])) {
    std::printf("held\n");
    std::fflush(stdout);
  }
  if (argc > 2) ::Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 0)));
  ::ExitProcess(static_cast<UINT>(code));
}

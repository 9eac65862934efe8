/* A bundle named Setup.exe, as one that installs the product is: it starts the launcher in the folder "launcher"
   beside its own with its own arguments, waits for it, and ends with 7, which says that it outlived the launcher. */
#include <stdio.h>
#include <windows.h>

int wmain(void) {
  wchar_t command[8192];
  STARTUPINFOW start = {sizeof(start)};
  PROCESS_INFORMATION process;
  const wchar_t* rest = GetCommandLineW();  /* past its own name */
  const wchar_t end = *rest == L'"' ? *rest++ : L' ';
  while (*rest && *rest != end) rest++;
  swprintf(command, 8192, L"Setup.exe %ls", *rest ? rest + 1 : rest);
  if (!CreateProcessW(L"..\\launcher\\Setup.exe", command, NULL, NULL, FALSE, 0, NULL, L"..\\launcher", &start, &process))
    return 1;
  WaitForSingleObject(process.hProcess, INFINITE);
  return 7;
}

/* A new launcher that takes over from the launcher that started it, by setting the hand-over event named after the
   /SourcePid: it was given, says so by creating the file TOOK_OVER names, and then ends as a crashed program. */
#include <stdio.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; i++) {
    wchar_t name[64];
    if (wcsncmp(argv[i], L"/SourcePid:", 11) != 0) continue;
    swprintf(name, 64, L"Global\\TAVOSetupHandOver.%ls", argv[i] + 11);
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
    if (event && SetEvent(event)) CloseHandle(CreateFileW(TOOK_OVER, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
  }
  return (int)0xC0000005; /* an access violation's */
}

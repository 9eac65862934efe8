/* A program planted where a command's path, read unquoted up to a blank, would name it: it leaves the file
   "<its own path>.ran". */
#include <windows.h>

int wmain(void) {
  wchar_t path[MAX_PATH + 8];
  DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
  lstrcpyW(path + length, L".ran");
  CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
  return 0;
}

/* A program that takes no defence against planted DLLs: it loads WinINet by
   its bare name, so a wininet.dll beside it is the one loaded. The positive
   control of the planted-DLL row. */
#include <windows.h>

int main(void) { return LoadLibraryW(L"wininet.dll") ? 0 : 1; }

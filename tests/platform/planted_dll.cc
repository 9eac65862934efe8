// The DLL that the DLL search test plants beside a program: its one export
// tells the test that this very library was loaded.
#include <windows.h>

extern "C" __declspec(dllexport) int TavoPlantedDllMarker() { return 1; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

#pragma once
#include <windows.h>

#include <string>

// The module whose resources (templates, bitmaps, cursor, icons) the windows
// use: Setup.exe itself, or, for the tests, Setup.exe loaded as a data file.
HINSTANCE ResourceInstance();
void SetResourceInstance(HINSTANCE instance);

// A bitmap resource as a device-dependent bitmap; null when it is missing.
HBITMAP LoadResourceBitmap(int id);

// Moves a control keeping its size, or moves and sizes it (parent client coordinates).
bool MoveControl(HWND control, int x, int y);
bool MoveSizeControl(HWND control, int x, int y, int width, int height);

// The window's size from its window rectangle.
SIZE WindowSize(HWND window);

// The window's text.
std::wstring WindowText(HWND window);

// Invalidates, erases and repaints the window at once.
void RedrawNow(HWND window);

// Messages a dialog sends back to the control that caused them, so that the
// control draws itself and chooses its own colours.
constexpr UINT kReflectBase = WM_USER + 0x1C00;

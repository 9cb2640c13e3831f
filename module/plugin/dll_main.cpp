// The library's load and unload notifications on Windows. The module sets itself up in
// its static initialisation and through krv_main, so every notification only answers
// success.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/) { return TRUE; }

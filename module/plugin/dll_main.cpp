// The library's load and unload notifications on Windows. The module sets itself up in
// its static initialisation and through krv_main, so every notification only answers
// success.
#include <windows.h>

#include <korvo_sdk.h>

// Korvo is a 32-bit program; only there do the registration record's offsets, which the
// host interface header checks, hold.
static_assert(sizeof(void*) == 4 && sizeof(KrvSaverRecord) == KRV_SAVER_RECORD_SIZE,
              "dorna.dll is built for 32-bit Windows");

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/) { return TRUE; }

// Entry point of the module: nothing to set up or tear down, so the module
// needs no C runtime start-up of its own.
#include "win32/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

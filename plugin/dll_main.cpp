// Entry point of the module. There is nothing to set up or tear down at load
// or unload, so the module has a DLL entry of its own and links no C runtime
// start-up and no MFC. An MFC extension-module start-up (MFC42.DLL) would
// only add a DLL that no logic of the plug-in uses and that a Windows 98 PC
// may lack; the module imports from KERNEL32, USER32, GDI32 and msvcrt alone,
// and tools/pe_check.py refuses any other import.
#include "win32/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

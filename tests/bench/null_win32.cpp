#include "tests/bench/null_win32.h"

#include <stdlib.h>

namespace null_win32 {

RECT clientRect = {0, 0, 1280, 720};

}  // namespace null_win32

HMENU GetMenu(HWND) { return nullptr; }
BOOL SetMenuItemInfoA(HMENU, UINT, BOOL, const MENUITEMINFOA*) { return TRUE; }
BOOL SetWindowTextA(HWND, LPCSTR) { return TRUE; }

BOOL GetClientRect(HWND, RECT* rect) {
    *rect = null_win32::clientRect;
    return TRUE;
}

HDC GetDC(HWND) { return nullptr; }
int ReleaseDC(HWND, HDC) { return 1; }
int FillRect(HDC, const RECT*, HBRUSH) { return 1; }
HMENU LoadMenuA(HINSTANCE, LPCSTR) { return nullptr; }
BOOL SetMenu(HWND, HMENU) { return TRUE; }
BOOL DrawMenuBar(HWND) { return TRUE; }
int SetStretchBltMode(HDC, int) { return 1; }

int StretchDIBits(HDC, int, int, int, int, int, int, int, int srcHeight, const void*,
                  const BITMAPINFO*, UINT, DWORD) {
    return srcHeight;
}

// The buffers need real memory: ProcessFrame copies into them.
LPVOID VirtualAlloc(LPVOID, SIZE_T size, DWORD, DWORD) { return malloc(size); }

BOOL VirtualFree(LPVOID address, SIZE_T, DWORD) {
    free(address);
    return TRUE;
}

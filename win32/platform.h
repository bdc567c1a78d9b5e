// The one platform header of the module. On Windows it is <windows.h>; on
// other systems it declares the few Win32 types, constants and functions the
// module uses, so that the module's logic builds and runs natively against a
// test implementation that records every call.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32

#include <windows.h>

#else

typedef int BOOL;
typedef unsigned int UINT;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef size_t SIZE_T;
typedef void* LPVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;

#define DECLARE_PLATFORM_HANDLE(name) \
    struct name##__;                  \
    typedef name##__* name
DECLARE_PLATFORM_HANDLE(HWND);
DECLARE_PLATFORM_HANDLE(HDC);
DECLARE_PLATFORM_HANDLE(HMENU);
DECLARE_PLATFORM_HANDLE(HBRUSH);
DECLARE_PLATFORM_HANDLE(HBITMAP);
DECLARE_PLATFORM_HANDLE(HINSTANCE);
#undef DECLARE_PLATFORM_HANDLE

#define FALSE 0
#define TRUE 1

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct MENUITEMINFOA {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPSTR dwTypeData;
    UINT cch;
};

#define WM_PAINT 0x000F
#define WM_COMMAND 0x0111
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONUP 0x0205
#define WM_MOUSEWHEEL 0x020A
#define WM_USER 0x0400

#define MK_LBUTTON 0x0001
#define MIIM_STATE 0x00000001
#define MFS_CHECKED 0x00000008
#define COLOR_ACTIVEBORDER 10
#define COLORONCOLOR 3
#define BI_RGB 0
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020
#define MEM_COMMIT 0x00001000
#define MEM_RELEASE 0x00008000
#define PAGE_READWRITE 0x04

#define MAKEINTRESOURCEA(id) reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(id)))

// USER
HMENU GetMenu(HWND window);
BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info);
BOOL SetWindowTextA(HWND window, LPCSTR text);
BOOL GetClientRect(HWND window, RECT* rect);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
HMENU LoadMenuA(HINSTANCE instance, LPCSTR name);
BOOL SetMenu(HWND window, HMENU menu);
BOOL DrawMenuBar(HWND window);

// GDI
int SetStretchBltMode(HDC dc, int mode);
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop);

// Kernel
LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect);
BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType);

#endif

// The menu-item record as Windows 98 takes it: MENUITEMINFOA without the
// trailing hbmpItem that later systems added (44 bytes on 32-bit Windows).
// Later systems accept this shorter record too.
struct MENUITEMINFO98A {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPSTR dwTypeData;
    UINT cch;
};

static_assert(offsetof(MENUITEMINFO98A, cch) == offsetof(MENUITEMINFOA, cch),
              "the Windows 98 record is a prefix of the platform's");

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(MENUITEMINFO98A) == 44, "Windows 98 menu-item record");
static_assert(sizeof(BITMAPINFOHEADER) == 40 && sizeof(BITMAPINFO) == 44, "bitmap header");
static_assert(sizeof(RECT) == 16, "RECT");
#endif

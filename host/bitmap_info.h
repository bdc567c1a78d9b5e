// The header of a 24-bit bottom-up bitmap, uncompressed, of this size: for the
// stand-in host's captures and preview, and the Wine benchmark's blits.
#pragma once

#include <windows.h>

inline BITMAPINFO BitmapInfo(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

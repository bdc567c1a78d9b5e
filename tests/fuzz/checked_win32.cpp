#include "tests/fuzz/checked_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace checked {
namespace {

Platform state;
std::map<const void*, size_t> blocks;

// Largest block the fake system grants; bigger requests fail as they may on
// a real 32-bit system, and stay within the fuzzer's memory limit.
constexpr size_t largestBlock = 64u << 20;

const HDC windowDc = reinterpret_cast<HDC>(0x2000);
const HMENU windowMenu = reinterpret_cast<HMENU>(0x3000);

// Columns (or rows) lo..hi-1 that a source extent of `length` from `first`
// reads; a negative length mirrors, reading first+length..first-1.
void RequireWithin(int32_t first, int32_t length, int32_t size, const char* what) {
    const int64_t from = std::min<int64_t>(first, int64_t{first} + length);
    const int64_t to = std::max<int64_t>(first, int64_t{first} + length);
    if (from < 0 || to > size) {
        fprintf(stderr, "source extent %d%+d of a picture %d wide\n", first, length, size);
    }
    Require(from >= 0 && to <= size, what);
}

}  // namespace

Platform& platform() { return state; }
void Reset() { state = Platform{}; }
size_t LiveBlocks() { return blocks.size(); }

size_t BlockSize(const void* pointer) {
    const auto block = blocks.find(pointer);
    return block == blocks.end() ? 0 : block->second;
}

void Require(bool condition, const char* what) {
    if (condition) return;
    fprintf(stderr, "fault: %s\n", what);
    abort();
}

}  // namespace checked

using checked::Require;
using checked::state;

HMENU GetMenu(HWND) { return checked::windowMenu; }

BOOL SetMenuItemInfoA(HMENU, UINT, BOOL, const MENUITEMINFOA* info) {
    Require(info != nullptr, "SetMenuItemInfoA without a record");
    return TRUE;
}

BOOL SetWindowTextA(HWND, LPCSTR text) {
    Require(text != nullptr, "SetWindowTextA without a title");
    ++state.paints;
    return TRUE;
}

BOOL GetClientRect(HWND, RECT* rect) {
    *rect = state.clientRect;
    return TRUE;
}

HDC GetDC(HWND) {
    ++state.openDcs;
    return checked::windowDc;
}

int ReleaseDC(HWND, HDC dc) {
    Require(dc == checked::windowDc && state.openDcs > 0, "ReleaseDC of a DC not taken");
    --state.openDcs;
    return 1;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH) {
    Require(dc == checked::windowDc && rect != nullptr, "FillRect outside a paint");
    return 1;
}

HMENU LoadMenuA(HINSTANCE, LPCSTR) { return checked::windowMenu; }
BOOL SetMenu(HWND, HMENU) { return TRUE; }
BOOL DrawMenuBar(HWND) { return TRUE; }

int SetStretchBltMode(HDC dc, int) {
    Require(dc == checked::windowDc, "SetStretchBltMode outside a paint");
    ++state.drawingPaints;
    return 1;
}

// Reads what the platform would read: the source rectangle of the picture
// that the header describes, from the buffer `bits`. An empty source or
// destination reads nothing.
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop) {
    (void)xDest;
    (void)yDest;
    Require(dc == checked::windowDc, "StretchDIBits outside a paint");
    Require(usage == DIB_RGB_COLORS && rop == SRCCOPY, "StretchDIBits mode");
    if (srcWidth == 0 || srcHeight == 0 || destWidth == 0 || destHeight == 0) return 0;

    const size_t capacity = checked::BlockSize(bits);
    Require(capacity > 0, "StretchDIBits from memory that is no live buffer");
    const BITMAPINFOHEADER& header = info->bmiHeader;
    Require(header.biSize == sizeof header && header.biPlanes == 1 && header.biBitCount == 24 &&
                header.biCompression == BI_RGB,
            "StretchDIBits with a header that is not 24-bit RGB");
    const int32_t width = header.biWidth;
    const int32_t height = header.biHeight;
    Require(width > 0 && height > 0, "StretchDIBits from an empty picture");
    // The platform reads rows padded to a multiple of 4 bytes.
    const int64_t stride = (int64_t{width} * 3 + 3) / 4 * 4;
    Require(stride * height <= static_cast<int64_t>(capacity),
            "StretchDIBits header describes more than its buffer holds");
    checked::RequireWithin(xSrc, srcWidth, width, "StretchDIBits columns outside the picture");
    checked::RequireWithin(ySrc, srcHeight, height, "StretchDIBits rows outside the picture");

    // Touch the corners of the source rectangle, so that AddressSanitizer
    // sees them too.
    const auto* pixels = static_cast<const uint8_t*>(bits);
    const int64_t left = std::min<int64_t>(xSrc, int64_t{xSrc} + srcWidth);
    const int64_t right = std::max<int64_t>(xSrc, int64_t{xSrc} + srcWidth) - 1;
    const int64_t bottom = std::min<int64_t>(ySrc, int64_t{ySrc} + srcHeight);
    const int64_t top = std::max<int64_t>(ySrc, int64_t{ySrc} + srcHeight) - 1;
    static volatile uint8_t touched;
    touched = pixels[bottom * stride + left * 3];
    touched = pixels[top * stride + right * 3 + 2];
    return srcHeight;
}

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    Require(address == nullptr && allocationType == MEM_COMMIT && protect == PAGE_READWRITE,
            "VirtualAlloc arguments");
    const bool failing = state.failingAllocations & 1;
    state.failingAllocations >>= 1;
    if (failing || size == 0 || size > checked::largestBlock) return nullptr;
    // Exactly the size asked for, so that AddressSanitizer sees every overrun.
    void* block = malloc(size);
    Require(block != nullptr, "out of memory");
    checked::blocks[block] = size;
    return block;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
    Require(size == 0 && freeType == MEM_RELEASE, "VirtualFree arguments");
    Require(checked::blocks.erase(address) == 1, "VirtualFree of a block not allocated");
    free(address);
    return TRUE;
}

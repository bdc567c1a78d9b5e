#include "tests/support/fake_system.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "capture/frame_store.h"
#include "plugin/plugin.h"
#include "tests/support/module_state.h"

namespace fake {

const FloatRegisters ownFloatState = ReadFloatRegisters();

namespace {

Platform platformState;
Host hostState;
Watch watchState;
HostServices hostServices;
std::vector<std::string> calls;
std::vector<MENUITEMINFO98A> menuItemRecords;
std::map<const void*, std::string> names;
std::map<const void*, size_t> blocks;

}  // namespace

// Unwatched from the start: the check and the callee may call the C library
// themselves (a struct copy may be a memcpy), and so may the fault's report,
// which comes in the harness's own state.
CallOut::CallOut(const char* function) : armed_(watchState.floatStateArmed) {
    if (!armed_) return;
    watchState.floatStateArmed = false;
    const bool inCallerState = CheckFloatState(watchState.floatState, function);
    found_ = ReadFloatRegisters();
    LoadFloatRegisters(ownFloatState);
    Require(inCallerState, watchState.floatState.lastChange);
}

CallOut::~CallOut() {
    if (!armed_) return;
    LoadFloatRegisters(found_);
    watchState.floatStateArmed = true;
}

namespace {

const char* P(const void* pointer) {
    static std::string slots[16];
    static int next = 0;
    std::string& slot = slots[next++ % 16];
    slot = Format(pointer);
    return slot.c_str();
}

std::string Rect(const RECT* rect) {
    return Line("{%d,%d,%d,%d}", rect->left, rect->top, rect->right, rect->bottom);
}

// Columns (or rows) that a source extent of `length` from `first` reads; a
// negative length mirrors, reading first+length..first-1.
void RequireWithin(int32_t first, int32_t length, int32_t size, const char* what) {
    const int64_t from = std::min<int64_t>(first, int64_t{first} + length);
    const int64_t to = std::max<int64_t>(first, int64_t{first} + length);
    if (from < 0 || to > size) {
        fprintf(stderr, "source extent %d%+d of a picture %d wide\n", first, length, size);
    }
    Require(from >= 0 && to <= size, what);
}

// Reads what the platform would read: the source rectangle of the picture
// that the header describes, from the buffer `bits`.
void RequireBlitReadable(int xSrc, int ySrc, int srcWidth, int srcHeight, const void* bits,
                         const BITMAPINFO* info) {
    const size_t capacity = BlockSize(bits);
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
    RequireWithin(xSrc, srcWidth, width, "StretchDIBits columns outside the picture");
    RequireWithin(ySrc, srcHeight, height, "StretchDIBits rows outside the picture");

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
}

// Host services.

int HOSTCALL IsEditing(EditHandle edit) {
    const CallOut callOut("isEditing");
    if (watchState.log) Log("isEditing(" + Format(edit) + ")");
    return hostState.editing;
}

int HOSTCALL GetCurrentFrame(EditHandle edit) {
    const CallOut callOut("getCurrentFrame");
    if (watchState.log) Log("getCurrentFrame(" + Format(edit) + ")");
    return hostState.currentFrame;
}

int HOSTCALL IsWindowShown(FilterTable* filter) {
    const CallOut callOut("isWindowShown");
    if (watchState.log) Log("isWindowShown(" + Format(filter) + ")");
    return hostState.windowShown;
}

int HOSTCALL IsActive(EditHandle edit) {
    const CallOut callOut("isActive");
    if (watchState.log) Log("isActive(" + Format(edit) + ")");
    return hostState.active;
}

int HOSTCALL LoadSettingInt(FilterTable* filter, const char* key, int defaultValue) {
    const CallOut callOut("loadSettingInt");
    if (watchState.log) Log(Line("loadSettingInt(%s, \"%s\", %d)", P(filter), key, defaultValue));
    const auto stored = hostState.settings.find(key);
    return stored == hostState.settings.end() ? defaultValue : stored->second;
}

int HOSTCALL SaveSettingInt(FilterTable* filter, const char* key, int value) {
    const CallOut callOut("saveSettingInt");
    if (watchState.log) Log(Line("saveSettingInt(%s, \"%s\", %d)", P(filter), key, value));
    hostState.settings[key] = value;
    return 1;
}

int HOSTCALL GetSystemInfo(void* reserved, HostSystemInfo* info) {
    const CallOut callOut("getSystemInfo");
    if (watchState.log) Log("getSystemInfo(" + Format(reserved) + ")");
    if (watchState.strict) Require(reserved == nullptr, "getSystemInfo with a first argument");
    info->maxWidth = hostState.maxWidth;
    info->maxHeight = hostState.maxHeight;
    return 1;
}

void* HOSTCALL GetDisplayedPixels(EditHandle edit, int format) {
    const CallOut callOut("getDisplayedPixels");
    if (watchState.log) Log(Line("getDisplayedPixels(%s, %d)", P(edit), format));
    if (watchState.strict)
        Require(hostState.frameInProgress, "getDisplayedPixels outside ProcessFrame");
    return hostState.displayedPixels.empty() ? nullptr : hostState.displayedPixels.data();
}

// Writes the source picture, as the host does, into the buffer given.
int HOSTCALL GetSourcePixels(EditHandle edit, int frame, void* buffer, int format) {
    const CallOut callOut("getSourcePixels");
    if (watchState.log)
        Log(Line("getSourcePixels(%s, %d, %s, %d)", P(edit), frame, P(buffer), format));
    if (watchState.strict) {
        Require(hostState.frameInProgress, "getSourcePixels outside ProcessFrame");
        Require(hostState.sourceBytes > 0, "getSourcePixels for a picture that cannot exist");
        Require(static_cast<int64_t>(BlockSize(buffer)) >= hostState.sourceBytes,
                "getSourcePixels into a buffer too small for the picture");
    }
    if (hostState.sourceBytes > 0)
        memset(buffer, hostState.sourceFill, static_cast<size_t>(hostState.sourceBytes));
    return 1;
}

}  // namespace

Platform& platform() { return platformState; }
Host& host() { return hostState; }
Watch& watch() { return watchState; }
HostServices& services() { return hostServices; }

void Reset() {
    platformState = Platform{};
    hostState = Host{};
    watchState = Watch{};
    calls.clear();
    menuItemRecords.clear();
    names.clear();
}

void ExpectCallerFloatState() {
    watchState.floatState.expected = ReadFloatRegisters();
    watchState.floatStateArmed = true;
}

FilterTable* LoadModule(HWND window, HINSTANCE instance) {
    ReturnModuleToLoadState();
    hostServices = HostServices{};
    hostServices.isEditing = IsEditing;
    hostServices.getCurrentFrame = GetCurrentFrame;
    hostServices.isWindowShown = IsWindowShown;
    hostServices.isActive = IsActive;
    hostServices.loadSettingInt = LoadSettingInt;
    hostServices.saveSettingInt = SaveSettingInt;
    hostServices.getSystemInfo = GetSystemInfo;
    hostServices.getDisplayedPixels = GetDisplayedPixels;
    hostServices.getSourcePixels = GetSourcePixels;

    FilterTable* filter = GetFilterTable();
    filter->services = &hostServices;
    filter->window = window;
    filter->instance = instance;
    return filter;
}

void Require(bool condition, const char* what) {
    if (condition) return;
    if (watchState.fault != nullptr) {
        watchState.fault(what);
        return;
    }
    fprintf(stderr, "fault: %s\n", what);
    abort();
}

std::vector<std::string>& Calls() { return calls; }
std::vector<MENUITEMINFO98A>& MenuItemRecords() { return menuItemRecords; }
void Name(const void* pointer, const std::string& name) { names[pointer] = name; }
void Log(const std::string& line) { calls.push_back(line); }

std::string Format(const void* pointer) {
    if (pointer == nullptr) return "null";
    const auto named = names.find(pointer);
    if (named != names.end()) return named->second;
    return Line("%p", pointer);
}

std::string Line(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

size_t LiveBlocks() { return blocks.size(); }

size_t BlockSize(const void* pointer) {
    const auto block = blocks.find(pointer);
    return block == blocks.end() ? 0 : block->second;
}

}  // namespace fake

using fake::CallOut;
using fake::Format;
using fake::Line;
using fake::Log;
using fake::P;
using fake::platformState;
using fake::Require;
using fake::watchState;

HMENU GetMenu(HWND window) {
    const CallOut callOut("GetMenu");
    if (watchState.log) Log(Line("GetMenu(%s)", P(window)));
    return platformState.menu;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info) {
    const CallOut callOut("SetMenuItemInfoA");
    if (watchState.strict) Require(info != nullptr, "SetMenuItemInfoA without a record");
    if (watchState.log) {
        Log(Line("SetMenuItemInfoA(%s, %u, %d, {cbSize=%u, fMask=%u, fState=%u})", P(menu), item,
                 byPosition, info->cbSize, info->fMask, info->fState));
        fake::menuItemRecords.push_back(*reinterpret_cast<const MENUITEMINFO98A*>(info));
    }
    return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    const CallOut callOut("SetWindowTextA");
    if (watchState.strict) Require(text != nullptr, "SetWindowTextA without a title");
    if (watchState.log) Log(Line("SetWindowTextA(%s, \"%s\")", P(window), text));
    ++platformState.titles;
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    const CallOut callOut("GetClientRect");
    if (watchState.log) Log(Line("GetClientRect(%s)", P(window)));
    *rect = platformState.clientRect;
    return TRUE;
}

HDC GetDC(HWND window) {
    const CallOut callOut("GetDC");
    if (watchState.log) Log(Line("GetDC(%s)", P(window)));
    ++platformState.openDcs;
    return platformState.dc;
}

int ReleaseDC(HWND window, HDC dc) {
    const CallOut callOut("ReleaseDC");
    if (watchState.log) Log(Line("ReleaseDC(%s, %s)", P(window), P(dc)));
    if (watchState.strict)
        Require(dc == platformState.dc && platformState.openDcs > 0, "ReleaseDC of a DC not taken");
    --platformState.openDcs;
    return 1;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    const CallOut callOut("FillRect");
    if (watchState.strict)
        Require(dc == platformState.dc && rect != nullptr, "FillRect outside a paint");
    if (watchState.log)
        Log(Line("FillRect(%s, %s, %ld)", P(dc), fake::Rect(rect).c_str(),
                 static_cast<long>(reinterpret_cast<intptr_t>(brush))));
    return 1;
}

HMENU LoadMenuA(HINSTANCE instance, LPCSTR name) {
    const CallOut callOut("LoadMenuA");
    if (watchState.log)
        Log(Line("LoadMenuA(%s, %lu)", P(instance),
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(name))));
    return platformState.menu;
}

BOOL SetMenu(HWND window, HMENU menu) {
    const CallOut callOut("SetMenu");
    if (watchState.log) Log(Line("SetMenu(%s, %s)", P(window), P(menu)));
    return TRUE;
}

BOOL DrawMenuBar(HWND window) {
    const CallOut callOut("DrawMenuBar");
    if (watchState.log) Log(Line("DrawMenuBar(%s)", P(window)));
    return TRUE;
}

int SetStretchBltMode(HDC dc, int mode) {
    const CallOut callOut("SetStretchBltMode");
    if (watchState.strict) Require(dc == platformState.dc, "SetStretchBltMode outside a paint");
    if (watchState.log) Log(Line("SetStretchBltMode(%s, %d)", P(dc), mode));
    ++platformState.stretchModes;
    return 1;
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop) {
    const CallOut callOut("StretchDIBits");
    if (watchState.log)
        Log(Line("StretchDIBits(%s, %d, %d, %d, %d, %d, %d, %d, %d, %s, %s, %u, 0x%X)", P(dc),
                 xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, P(bits),
                 P(info), usage, rop));
    if (watchState.strict) {
        Require(dc == platformState.dc, "StretchDIBits outside a paint");
        Require(usage == DIB_RGB_COLORS && rop == SRCCOPY, "StretchDIBits mode");
        // An empty source or destination reads nothing.
        if (srcWidth != 0 && srcHeight != 0 && destWidth != 0 && destHeight != 0)
            fake::RequireBlitReadable(xSrc, ySrc, srcWidth, srcHeight, bits, info);
    }
    return srcHeight;
}

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    const CallOut callOut("VirtualAlloc");
    if (watchState.log)
        Log(Line("VirtualAlloc(%s, %zu, 0x%X, %u)", P(address), size, allocationType, protect));
    if (watchState.strict)
        Require(address == nullptr && allocationType == MEM_COMMIT && protect == PAGE_READWRITE,
                "VirtualAlloc arguments");
    const bool failing = platformState.failAllAllocations || (platformState.failingAllocations & 1);
    platformState.failingAllocations >>= 1;
    if (failing || size == 0 || size > platformState.largestBlock) return nullptr;
    // Exactly the size asked for, so that AddressSanitizer sees every overrun;
    // zeroed, as the platform commits pages.
    void* block = calloc(1, size);
    if (block != nullptr) fake::blocks[block] = size;
    return block;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
    const CallOut callOut("VirtualFree");
    if (watchState.log) Log(Line("VirtualFree(%s, %zu, 0x%X)", P(address), size, freeType));
    if (watchState.strict) {
        Require(size == 0 && freeType == MEM_RELEASE, "VirtualFree arguments");
        Require(fake::blocks.count(address) == 1, "VirtualFree of a block not allocated");
    }
    fake::blocks.erase(address);
    free(address);
    return TRUE;
}

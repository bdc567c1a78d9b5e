#include "tests/support/fake_system.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture/frame_store.h"
#include "host/wire_services.h"
#include "plugin/plugin.h"
#include "tests/support/module_state.h"

namespace fake {

const HWND window = reinterpret_cast<HWND>(0x1000);
const HDC windowDc = reinterpret_cast<HDC>(0x2000);
const HMENU windowMenu = reinterpret_cast<HMENU>(0x3000);
const HINSTANCE instance = reinterpret_cast<HINSTANCE>(0x4000);
const EditHandle edit = reinterpret_cast<EditHandle>(0x5000);

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

bool Checking() { return watchState.checked || watchState.strict; }

bool Fail(const std::string& what) { return Require(false, what.c_str()); }

// A record of `bytes` that the platform reads: it must be given, and each of
// its bytes is read here, so that AddressSanitizer sees them all.
bool RequireRecord(const void* record, size_t bytes, const char* what) {
    if (!Require(record != nullptr, what)) return false;
    const auto* first = static_cast<const volatile uint8_t*>(record);
    for (size_t i = 0; i < bytes; ++i) (void)first[i];
    return true;
}

// The menu-item record as Windows 98 reads it: its own size, and only the
// fields of that size named in the mask (no MIIM_BITMAP, whose field it lacks).
bool RequireMenuItemRecord(const MENUITEMINFOA* info) {
    constexpr UINT windows98Fields = 0x17F;
    if (!RequireRecord(info, sizeof info->cbSize, "SetMenuItemInfoA without a record"))
        return false;
    if (info->cbSize != sizeof(MENUITEMINFO98A))
        return Fail(Line("SetMenuItemInfoA record of cbSize %u", info->cbSize));
    RequireRecord(info, info->cbSize, "SetMenuItemInfoA without a record");
    if (info->fMask != 0 && (info->fMask & ~windows98Fields) == 0) return true;
    return Fail(Line("SetMenuItemInfoA record of fMask 0x%X", info->fMask));
}

// Whether the page holding `address` is mapped, so that reading it cannot
// fault.
bool PageMapped(const void* address, uintptr_t& pageEnd) {
    static const uintptr_t pageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t page = reinterpret_cast<uintptr_t>(address) & ~(pageSize - 1);
    unsigned char resident = 0;
    pageEnd = page + pageSize;
    return mincore(reinterpret_cast<void*>(page), pageSize, &resident) == 0;
}

// A text handed to the platform or the host: Shift_JIS (code page 932)
// without control characters, its terminating zero reached before any
// memory that is not mapped.
bool RequireText(const char* text, const char* what) {
    if (!Require(text != nullptr, what)) return false;
    uintptr_t mappedEnd = 0;
    bool trailExpected = false;
    for (const auto* byte = reinterpret_cast<const uint8_t*>(text);; ++byte) {
        if (reinterpret_cast<uintptr_t>(byte) >= mappedEnd && !PageMapped(byte, mappedEnd))
            return Fail(std::string(what) + ": no terminating zero before unmapped memory");
        const uint8_t value = *byte;
        const bool valid = trailExpected ? value >= 0x40 && value <= 0xFC && value != 0x7F
                                         : value == 0 || (value >= 0x20 && value <= 0x7E) ||
                                               (value >= 0xA1 && value <= 0xDF) ||
                                               (value >= 0x81 && value <= 0x9F) ||
                                               (value >= 0xE0 && value <= 0xFC);
        if (!valid)
            return Fail(Line("%s: byte 0x%02X at offset %td is not Shift_JIS text", what, value,
                             reinterpret_cast<const char*>(byte) - text));
        if (!trailExpected && value == 0) return true;
        trailExpected = !trailExpected && (value >= 0x81 && value <= 0x9F || value >= 0xE0);
    }
}

// The picture's columns (or rows) that a source extent of `length` from
// `first` reads lie within its `size`; a negative length mirrors, reading
// first+length..first-1.
bool RequireWithin(int32_t first, int32_t length, int32_t size, const char* what) {
    const int64_t from = std::min<int64_t>(first, int64_t{first} + length);
    const int64_t to = std::max<int64_t>(first, int64_t{first} + length);
    if (from >= 0 && to <= size) return true;
    return Fail(Line("StretchDIBits %s %d%+d outside a picture of %d", what, first, length, size));
}

// What the platform reads for a blit: the header, then the source rectangle
// of the picture that it describes, each row taken as padded to a multiple
// of 4 bytes, from `bits`, a live buffer that must hold that whole picture.
bool RequireBlitReadable(int xSrc, int ySrc, int srcWidth, int srcHeight, const void* bits,
                         const BITMAPINFO* info) {
    if (!RequireRecord(info, sizeof info->bmiHeader, "StretchDIBits without a header"))
        return false;
    const size_t capacity = BlockSize(bits);
    if (!Require(capacity > 0, "StretchDIBits from memory that is no live buffer")) return false;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (!Require(header.biSize == sizeof header && header.biPlanes == 1 &&
                     header.biBitCount == 24 && header.biCompression == BI_RGB,
                 "StretchDIBits with a header that is not 24-bit RGB"))
        return false;
    const int32_t width = header.biWidth;
    const int32_t height = header.biHeight;
    if (!Require(width > 0 && height > 0, "StretchDIBits from an empty picture")) return false;
    const int64_t stride = PaddedRowBytes(width);
    if (stride * height > static_cast<int64_t>(capacity))
        return Fail(
            Line("StretchDIBits header of %d x %d describes %lld bytes, its buffer holds %zu",
                 width, height, static_cast<long long>(stride * height), capacity));
    if (!RequireWithin(xSrc, srcWidth, width, "columns") ||
        !RequireWithin(ySrc, srcHeight, height, "rows"))
        return false;

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
    return true;
}

// The host services, one static member for each slot (WireServices).
struct Services {
    static int HOSTCALL IsEditing(EditHandle edit) {
        const CallOut callOut("isEditing");
        if (watchState.log) Log("isEditing(" + Format(edit) + ")");
        return hostState.editing;
    }

    static int HOSTCALL GetCurrentFrame(EditHandle edit) {
        const CallOut callOut("getCurrentFrame");
        if (watchState.log) Log("getCurrentFrame(" + Format(edit) + ")");
        return hostState.currentFrame;
    }

    static int HOSTCALL IsWindowShown(FilterTable* filter) {
        const CallOut callOut("isWindowShown");
        if (watchState.log) Log("isWindowShown(" + Format(filter) + ")");
        return hostState.windowShown;
    }

    static int HOSTCALL IsActive(EditHandle edit) {
        const CallOut callOut("isActive");
        if (watchState.log) Log("isActive(" + Format(edit) + ")");
        return hostState.active;
    }

    static int HOSTCALL LoadSettingInt(FilterTable* filter, const char* key, int defaultValue) {
        const CallOut callOut("loadSettingInt");
        if (Checking() && !RequireText(key, "loadSettingInt key")) return defaultValue;
        if (watchState.log)
            Log(Line("loadSettingInt(%s, \"%s\", %d)", P(filter), key, defaultValue));
        const auto stored = hostState.settings.find(key);
        return stored == hostState.settings.end() ? defaultValue : stored->second;
    }

    static int HOSTCALL SaveSettingInt(FilterTable* filter, const char* key, int value) {
        const CallOut callOut("saveSettingInt");
        if (Checking() && !RequireText(key, "saveSettingInt key")) return 0;
        if (watchState.log) Log(Line("saveSettingInt(%s, \"%s\", %d)", P(filter), key, value));
        hostState.settings[key] = value;
        return 1;
    }

    static int HOSTCALL GetSystemInfo(void* reserved, HostSystemInfo* info) {
        const CallOut callOut("getSystemInfo");
        if (watchState.log) Log("getSystemInfo(" + Format(reserved) + ")");
        if (Checking() && !Require(reserved == nullptr && info != nullptr,
                                   "getSystemInfo with a first argument or without a record"))
            return 0;
        info->maxWidth = hostState.maxWidth;
        info->maxHeight = hostState.maxHeight;
        return 1;
    }

    static void* HOSTCALL GetDisplayedPixels(EditHandle edit, int format) {
        const CallOut callOut("getDisplayedPixels");
        if (watchState.log) Log(Line("getDisplayedPixels(%s, %d)", P(edit), format));
        if (watchState.strict)
            Require(hostState.frameInProgress, "getDisplayedPixels outside ProcessFrame");
        return hostState.displayedPixels.empty() ? nullptr : hostState.displayedPixels.data();
    }

    // Writes the source picture, as the host does, into the buffer given.
    static int HOSTCALL GetSourcePixels(EditHandle edit, int frame, void* buffer, int format) {
        const CallOut callOut("getSourcePixels");
        if (watchState.log)
            Log(Line("getSourcePixels(%s, %d, %s, %d)", P(edit), frame, P(buffer), format));
        if (watchState.strict) {
            Require(hostState.frameInProgress, "getSourcePixels outside ProcessFrame");
            Require(hostState.sourceBytes > 0, "getSourcePixels for a picture that cannot exist");
        }
        if (Checking() && !Require(static_cast<int64_t>(BlockSize(buffer)) >= hostState.sourceBytes,
                                   "getSourcePixels into a buffer too small for the picture"))
            return 0;
        if (hostState.sourceBytes > 0)
            memset(buffer, hostState.sourceFill, static_cast<size_t>(hostState.sourceBytes));
        return 1;
    }
};

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
    hostServices = WireServices<Services>();

    FilterTable* filter = GetFilterTable();
    filter->services = &hostServices;
    filter->window = window;
    filter->instance = instance;
    return filter;
}

FrameProcInfo Frame(int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight) {
    FrameProcInfo info = {};
    info.width = width;
    info.height = height;
    info.sourceWidth = sourceWidth;
    info.sourceHeight = sourceHeight;
    info.editHandle = edit;
    return info;
}

bool Require(bool condition, const char* what) {
    if (condition) return true;
    if (watchState.fault != nullptr) {
        watchState.fault(what);
        return false;
    }
    fprintf(stderr, "fault: %s\n", what);
    abort();
}

std::vector<std::string>& Calls() { return calls; }
std::vector<MENUITEMINFO98A>& MenuItemRecords() { return menuItemRecords; }
void Name(const void* pointer, const std::string& name) { names[pointer] = name; }
void Log(const std::string& line) { calls.push_back(line); }

void NameBuffers() {
    Name(frameStore.sourcePixels, "sourcePixels");
    Name(frameStore.filteredPixels, "filteredPixels");
}

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

int64_t PaddedRowBytes(int32_t width) { return (int64_t{width} * 3 + 3) / 4 * 4; }

size_t LiveBlocks() { return blocks.size(); }

size_t BlockSize(const void* pointer) {
    const auto block = blocks.find(pointer);
    return block == blocks.end() ? 0 : block->second;
}

}  // namespace fake

using fake::CallOut;
using fake::Checking;
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
    if (Checking() && !fake::RequireMenuItemRecord(info)) return FALSE;
    if (watchState.log) {
        Log(Line("SetMenuItemInfoA(%s, %u, %d, {cbSize=%u, fMask=%u, fState=%u})", P(menu), item,
                 byPosition, info->cbSize, info->fMask, info->fState));
        fake::menuItemRecords.push_back(*reinterpret_cast<const MENUITEMINFO98A*>(info));
    }
    return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    const CallOut callOut("SetWindowTextA");
    if (Checking() && !fake::RequireText(text, "SetWindowTextA title")) return FALSE;
    if (watchState.log) Log(Line("SetWindowTextA(%s, \"%s\")", P(window), text));
    ++platformState.titles;
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    const CallOut callOut("GetClientRect");
    if (watchState.log) Log(Line("GetClientRect(%s)", P(window)));
    if (Checking() && !Require(rect != nullptr, "GetClientRect without a RECT")) return FALSE;
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
    if (Checking() && !Require(dc == platformState.dc && platformState.openDcs > 0,
                               "ReleaseDC of a DC not taken"))
        return 0;
    --platformState.openDcs;
    return 1;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    const CallOut callOut("FillRect");
    if (Checking() && (!Require(dc == platformState.dc, "FillRect outside a paint") ||
                       !fake::RequireRecord(rect, sizeof *rect, "FillRect without a RECT")))
        return 0;
    if (watchState.log)
        Log(Line("FillRect(%s, %s, %ld)", P(dc), fake::Rect(rect).c_str(),
                 static_cast<long>(reinterpret_cast<intptr_t>(brush))));
    return 1;
}

HMENU LoadMenuA(HINSTANCE instance, LPCSTR name) {
    const CallOut callOut("LoadMenuA");
    // A name below 0x10000 is a resource number; anything else is a text.
    if (Checking() && reinterpret_cast<uintptr_t>(name) > 0xFFFF &&
        !fake::RequireText(name, "LoadMenuA name"))
        return nullptr;
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
    if (Checking() && !Require(dc == platformState.dc, "SetStretchBltMode outside a paint"))
        return 0;
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
    // An empty source or destination reads nothing.
    if (Checking() && (!Require(dc == platformState.dc, "StretchDIBits outside a paint") ||
                       !Require(usage == DIB_RGB_COLORS && rop == SRCCOPY, "StretchDIBits mode") ||
                       (srcWidth != 0 && srcHeight != 0 && destWidth != 0 && destHeight != 0 &&
                        !fake::RequireBlitReadable(xSrc, ySrc, srcWidth, srcHeight, bits, info))))
        return 0;
    return srcHeight;
}

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    const CallOut callOut("VirtualAlloc");
    if (watchState.log)
        Log(Line("VirtualAlloc(%s, %zu, 0x%X, %u)", P(address), size, allocationType, protect));
    if (Checking() &&
        !Require(address == nullptr && allocationType == MEM_COMMIT && protect == PAGE_READWRITE,
                 "VirtualAlloc arguments"))
        return nullptr;
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
    if (Checking() &&
        (!Require(size == 0 && freeType == MEM_RELEASE, "VirtualFree arguments") ||
         !Require(fake::blocks.count(address) == 1, "VirtualFree of a block not allocated")))
        return FALSE;
    fake::blocks.erase(address);
    free(address);
    return TRUE;
}

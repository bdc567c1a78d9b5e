#include "tests/support/recording_win32.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace recording {
namespace {

std::vector<std::string> calls;
std::vector<MENUITEMINFO98A> menuItemRecords;
std::map<const void*, std::string> names;
std::map<void*, SIZE_T> allocations;
Answers currentAnswers;

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

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

}  // namespace

void Reset() {
    calls.clear();
    menuItemRecords.clear();
    names.clear();
    currentAnswers = Answers{};
}

std::vector<std::string>& Calls() { return calls; }
std::vector<MENUITEMINFO98A>& MenuItemRecords() { return menuItemRecords; }
Answers& answers() { return currentAnswers; }
void Name(const void* pointer, const std::string& name) { names[pointer] = name; }
void Log(const std::string& line) { calls.push_back(line); }
size_t LiveAllocations() { return allocations.size(); }

std::string Format(const void* pointer) {
    if (pointer == nullptr) return "null";
    const auto named = names.find(pointer);
    if (named != names.end()) return named->second;
    return Line("%p", pointer);
}

}  // namespace recording

using recording::Line;
using recording::Log;
using recording::P;

HMENU GetMenu(HWND window) {
    Log(Line("GetMenu(%s)", P(window)));
    return recording::answers().menu;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info) {
    Log(Line("SetMenuItemInfoA(%s, %u, %d, {cbSize=%u, fMask=%u, fState=%u})", P(menu), item,
             byPosition, info->cbSize, info->fMask, info->fState));
    recording::menuItemRecords.push_back(*reinterpret_cast<const MENUITEMINFO98A*>(info));
    return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    Log(Line("SetWindowTextA(%s, \"%s\")", P(window), text));
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    Log(Line("GetClientRect(%s)", P(window)));
    *rect = recording::answers().clientRect;
    return TRUE;
}

HDC GetDC(HWND window) {
    Log(Line("GetDC(%s)", P(window)));
    return recording::answers().dc;
}

int ReleaseDC(HWND window, HDC dc) {
    Log(Line("ReleaseDC(%s, %s)", P(window), P(dc)));
    return 1;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    Log(Line("FillRect(%s, %s, %ld)", P(dc), recording::Rect(rect).c_str(),
             static_cast<long>(reinterpret_cast<intptr_t>(brush))));
    return 1;
}

HMENU LoadMenuA(HINSTANCE instance, LPCSTR name) {
    Log(Line("LoadMenuA(%s, %lu)", P(instance),
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(name))));
    return recording::answers().menu;
}

BOOL SetMenu(HWND window, HMENU menu) {
    Log(Line("SetMenu(%s, %s)", P(window), P(menu)));
    return TRUE;
}

BOOL DrawMenuBar(HWND window) {
    Log(Line("DrawMenuBar(%s)", P(window)));
    return TRUE;
}

int SetStretchBltMode(HDC dc, int mode) {
    Log(Line("SetStretchBltMode(%s, %d)", P(dc), mode));
    return 1;
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop) {
    Log(Line("StretchDIBits(%s, %d, %d, %d, %d, %d, %d, %d, %d, %s, %s, %u, 0x%X)", P(dc), xDest,
             yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, P(bits), P(info), usage,
             rop));
    return srcHeight;
}

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    Log(Line("VirtualAlloc(%s, %zu, 0x%X, %u)", P(address), size, allocationType, protect));
    if (recording::answers().failAllocations) return nullptr;
    void* block = calloc(1, size);
    if (block != nullptr) recording::allocations[block] = size;
    return block;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
    Log(Line("VirtualFree(%s, %zu, 0x%X)", P(address), size, freeType));
    recording::allocations.erase(address);
    free(address);
    return TRUE;
}

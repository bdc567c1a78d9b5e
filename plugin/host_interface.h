// Binary records shared with the host. Field order and widths follow the
// host's 32-bit layout: a field holding a pointer or a handle is pointer-sized,
// every other field is int32, so a 64-bit build gets the natural 64-bit layout
// of the same records.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "win32/platform.h"

#ifdef _WIN32
#define HOSTCALL __cdecl
#else
#define HOSTCALL
#endif

// The host's opaque handle of the edited video: passed back, never inspected.
typedef void* EditHandle;

struct FilterTable;
struct FrameProcInfo;
struct HostSystemInfo;

typedef int(HOSTCALL* FrameCallback)(FilterTable* filter, FrameProcInfo* info);
typedef int(HOSTCALL* FilterCallback)(FilterTable* filter);
typedef int(HOSTCALL* WindowCallback)(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      EditHandle editHandle, FilterTable* filter);

// Notifications the host sends to the plug-in's window.
enum HostNotification : UINT {
    notifyVideoOpened = WM_USER + 101,     // 1125
    notifyVideoClosed = WM_USER + 102,     // 1126
    notifyWindowCreated = WM_USER + 103,   // 1127: attach the menu
    notifyShownOrHidden = WM_USER + 110,   // 1134
    notifyRepaint = WM_USER + 112,         // 1136
    notifyPreviewPress = WM_USER + 120,    // 1144
    notifyPreviewRelease = WM_USER + 121,  // 1145
    notifyPreviewMove = WM_USER + 122,     // 1146
};

// The host's service table. Every slot is pointer-sized; the module calls
// only the named ones.
struct HostServices {
    void* unusedSlots0[4];
    int(HOSTCALL* isEditing)(EditHandle editHandle);
    void* unusedSlot5;
    int(HOSTCALL* getCurrentFrame)(EditHandle editHandle);
    void* unusedSlots7[15];
    int(HOSTCALL* isWindowShown)(FilterTable* filter);
    void* unusedSlots23[2];
    int(HOSTCALL* isActive)(EditHandle editHandle);
    void* unusedSlots26[8];
    int(HOSTCALL* loadSettingInt)(FilterTable* filter, const char* key, int defaultValue);
    int(HOSTCALL* saveSettingInt)(FilterTable* filter, const char* key, int value);
    void* unusedSlots36[4];
    int(HOSTCALL* getSystemInfo)(void* reserved, HostSystemInfo* info);
    void* unusedSlots41[6];
    void*(HOSTCALL* getDisplayedPixels)(EditHandle editHandle, int format);
    int(HOSTCALL* getSourcePixels)(EditHandle editHandle, int frame, void* buffer, int format);
};

struct FilterTable {
    int32_t flags;
    int32_t initialWidth;
    int32_t initialHeight;
    const char* name;
    int32_t unusedWords16[8];
    FrameCallback frameProc;
    FilterCallback initProc;
    FilterCallback exitProc;
    int32_t unusedWord60;
    WindowCallback windowProc;
    int32_t unusedWords68[4];
    const char* information;
    int32_t unusedWords88[2];
    HostServices* services;
    HWND window;
    HINSTANCE instance;
    int32_t unusedWords108[8];
};

// What the host passes for each frame; read only, never kept.
struct FrameProcInfo {
    int32_t unusedWords0[3];
    int32_t width;
    int32_t height;
    int32_t unusedWords20[4];
    int32_t sourceWidth;
    int32_t sourceHeight;
    int32_t unusedWords44[4];
    EditHandle editHandle;
};

// What the host reports about itself through getSystemInfo.
struct HostSystemInfo {
    int32_t unusedWords0[11];
    int32_t maxWidth;
    int32_t maxHeight;
    int32_t unusedWords52[6];
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(FilterTable) == 140, "filter table size");
static_assert(offsetof(FilterTable, flags) == 0, "flags");
static_assert(offsetof(FilterTable, initialWidth) == 4, "initialWidth");
static_assert(offsetof(FilterTable, initialHeight) == 8, "initialHeight");
static_assert(offsetof(FilterTable, name) == 12, "name");
static_assert(offsetof(FilterTable, frameProc) == 48, "frameProc");
static_assert(offsetof(FilterTable, initProc) == 52, "initProc");
static_assert(offsetof(FilterTable, exitProc) == 56, "exitProc");
static_assert(offsetof(FilterTable, windowProc) == 64, "windowProc");
static_assert(offsetof(FilterTable, information) == 84, "information");
static_assert(offsetof(FilterTable, services) == 96, "services");
static_assert(offsetof(FilterTable, window) == 100, "window");
static_assert(offsetof(FilterTable, instance) == 104, "instance");

static_assert(offsetof(HostServices, isEditing) == 16, "isEditing");
static_assert(offsetof(HostServices, getCurrentFrame) == 24, "getCurrentFrame");
static_assert(offsetof(HostServices, isWindowShown) == 88, "isWindowShown");
static_assert(offsetof(HostServices, isActive) == 100, "isActive");
static_assert(offsetof(HostServices, loadSettingInt) == 136, "loadSettingInt");
static_assert(offsetof(HostServices, saveSettingInt) == 140, "saveSettingInt");
static_assert(offsetof(HostServices, getSystemInfo) == 160, "getSystemInfo");
static_assert(offsetof(HostServices, getDisplayedPixels) == 188, "getDisplayedPixels");
static_assert(offsetof(HostServices, getSourcePixels) == 192, "getSourcePixels");

static_assert(offsetof(FrameProcInfo, width) == 12, "width");
static_assert(offsetof(FrameProcInfo, height) == 16, "height");
static_assert(offsetof(FrameProcInfo, sourceWidth) == 36, "sourceWidth");
static_assert(offsetof(FrameProcInfo, sourceHeight) == 40, "sourceHeight");
static_assert(offsetof(FrameProcInfo, editHandle) == 60, "editHandle");

static_assert(sizeof(HostSystemInfo) == 76, "system info size");
static_assert(offsetof(HostSystemInfo, maxWidth) == 44, "maxWidth");
static_assert(offsetof(HostSystemInfo, maxHeight) == 48, "maxHeight");
#endif

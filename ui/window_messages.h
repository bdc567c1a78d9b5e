// The plug-in's window callback: menu, mouse panning, wheel zoom, right-button
// mode cycling and the host's notifications.
#pragma once

#include "plugin/host_interface.h"

// Notifications the host sends to the plug-in's window.
enum HostNotification : UINT {
    notifyVideoOpened = WM_USER + 101,     // 1125
    notifyVideoClosed = WM_USER + 102,     // 1126
    notifyAttachMenu = WM_USER + 103,      // 1127
    notifyShownOrHidden = WM_USER + 110,   // 1134
    notifyRepaint = WM_USER + 112,         // 1136
    notifyPreviewPress = WM_USER + 120,    // 1144
    notifyPreviewRelease = WM_USER + 121,  // 1145
    notifyPreviewMove = WM_USER + 122,     // 1146
};

// Returns 1 when the host should process the current frame again, else 0.
int HOSTCALL HandleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 EditHandle editHandle, FilterTable* filter);

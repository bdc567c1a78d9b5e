// The plug-in's window callback: menu, mouse panning, wheel zoom, right-button
// mode cycling and the host's notifications.
#pragma once

#include "plugin/host_interface.h"

// Returns 1 when the host should process the current frame again, else 0.
int HOSTCALL HandleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 EditHandle editHandle, FilterTable* filter);

// The stand-in host's two windows: the plug-in's, whose messages go to the
// module, and the host's preview of the filtered frame.
#include "host/bitmap_info.h"
#include "host/host.h"

namespace {

const wchar_t pluginClassName[] = L"PandrelHostPluginWindow";
const wchar_t previewClassName[] = L"PandrelHostPreview";

// What both windows do last with a message: closing either ends the host;
// the right button belongs to the plug-in, so no context menu, whose default
// (the system menu for a point off the client area) would wait for the user;
// the rest goes to the default processing.
LRESULT FinishMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        case WM_RBUTTONUP:
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The plug-in's window: every message goes to the module, then to the default
// processing. WM_PAINT is erased and validated first, so that what the module
// draws through its own device context is not erased after it.
LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!host.pluginStarted) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
    }
    if (CallModule("HandleWindowMessage", [&] {
            return host.filter->windowProc(window, message, wParam, lParam, VideoHandle(),
                                           host.filter);
        })) {
        ProcessCurrentFrame();
    }
    if (message == WM_EXITSIZEMOVE) Notify(notifyRepaint, 0, 0);
    return FinishMessage(window, message, wParam, lParam);
}

// The host's preview: the filtered frame at its own size. Pressing, moving
// and releasing the left button over it tell the plug-in the position in
// filtered-picture pixels; the arrow keys and space step through the frames.
LRESULT CALLBACK PreviewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(window, &paint);
            RECT client;
            GetClientRect(window, &client);
            FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1));
            if (host.videoOpen) {
                const Picture& picture = CurrentFrame().filtered;
                const BITMAPINFO info = BitmapInfo(picture.width, picture.height);
                SetDIBitsToDevice(dc, 0, 0, picture.width, picture.height, 0, 0, 0, picture.height,
                                  BitmapRows(picture).data(), &info, DIB_RGB_COLORS);
            }
            EndPaint(window, &paint);
            return 0;
        }
        case WM_LBUTTONDOWN:
            SetCapture(window);
            Notify(notifyPreviewPress, 0, lParam);
            return 0;
        case WM_MOUSEMOVE:
            Notify(notifyPreviewMove, 0, lParam);
            return 0;
        case WM_LBUTTONUP:
            ReleaseCapture();
            Notify(notifyPreviewRelease, 0, lParam);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_RIGHT || wParam == VK_SPACE || wParam == VK_LEFT) {
                const int count = static_cast<int>(host.frames.size());
                ShowFrame((host.currentFrame + (wParam == VK_LEFT ? count - 1 : 1)) % count);
            }
            return 0;
    }
    return FinishMessage(window, message, wParam, lParam);
}

HWND CreateTopLevel(const wchar_t* className, WNDPROC proc, const wchar_t* title, int x, int y) {
    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_ACTIVEBORDER + 1);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, x, y, 100, 100, nullptr,
                           nullptr, windowClass.hInstance, nullptr);
}

}  // namespace

void CreateHostWindows() {
    host.filter->window = CreateTopLevel(pluginClassName, PluginWindowProc, L"", 20, 20);
    SetWindowTextA(host.filter->window, host.filter->name);
    host.previewWindow = CreateTopLevel(previewClassName, PreviewWindowProc,
                                        L"Preview (Space: next frame)", 20, 640);
    SetClientSize(host.previewWindow, host.frames[0].filtered.width,
                  host.frames[0].filtered.height);
}

// A second try settles a menu bar that wraps differently at the new width.
void SetClientSize(HWND window, int width, int height) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        RECT outer, client;
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        if (client.right == width && client.bottom == height) return;
        SetWindowPos(window, nullptr, 0, 0, width + (outer.right - outer.left) - client.right,
                     height + (outer.bottom - outer.top) - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

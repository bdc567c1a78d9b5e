// The host's own actions on its one video and the plug-in's window, each with
// the notifications and frame processing that go with it.
#include "host/host.h"

HWND PluginWindow() { return host.filter->window; }

// The one video's handle: the host's own record, opaque to the module.
EditHandle VideoHandle() { return &host; }

const VideoFrame& CurrentFrame() { return host.frames[host.currentFrame]; }

void ProcessCurrentFrame() {
    if (!host.videoOpen || !host.pluginStarted) return;
    const VideoFrame& frame = CurrentFrame();
    FrameProcInfo info = {};
    info.width = frame.filtered.width;
    info.height = frame.filtered.height;
    info.sourceWidth = frame.source.width;
    info.sourceHeight = frame.source.height;
    info.editHandle = VideoHandle();
    CallModule("ProcessFrame", [&] { return host.filter->frameProc(host.filter, &info); });
}

// A nonzero answer asks the host to process the current frame again.
int Notify(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!host.pluginStarted) return 0;
    const int result = CallModule("HandleWindowMessage", [&] {
        return host.filter->windowProc(PluginWindow(), message, wParam, lParam, VideoHandle(),
                                       host.filter);
    });
    if (result) ProcessCurrentFrame();
    return result;
}

void ShowFrame(int frame) {
    host.currentFrame = frame;
    ProcessCurrentFrame();
    InvalidateRect(host.previewWindow, nullptr, TRUE);
}

void OpenVideo() {
    host.videoOpen = true;
    Notify(notifyVideoOpened, 0, 0);
    ShowFrame(host.currentFrame);
}

void CloseVideo() {
    host.videoOpen = false;
    Notify(notifyVideoClosed, 0, 0);
    InvalidateRect(host.previewWindow, nullptr, TRUE);
}

void ShowPluginWindow(bool shown) {
    ShowWindow(PluginWindow(), shown ? SW_SHOWNOACTIVATE : SW_HIDE);
    Notify(notifyShownOrHidden, 0, 0);
}

void ResizePluginWindow(int clientWidth, int clientHeight) {
    SetClientSize(PluginWindow(), clientWidth, clientHeight);
    PumpMessages();
    Notify(notifyRepaint, 0, 0);
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;  // scripted runs end with their script
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

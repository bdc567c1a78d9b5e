// The stand-in host's program: loads the module, implements the services it
// calls, owns the plug-in's window and a preview of the filtered frame, and
// runs either interactively or a list of scripted actions.
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host/host.h"

Host host;

namespace {

const wchar_t pluginClassName[] = L"PandrelHostPluginWindow";
const wchar_t previewClassName[] = L"PandrelHostPreview";

HBRUSH BackgroundBrush() { return reinterpret_cast<HBRUSH>(COLOR_ACTIVEBORDER + 1); }

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

// Service slots.
// Every service first checks that the module called it in the state the
// host's thread had (see module_calls.cpp).
int HOSTCALL IsEditing(EditHandle) {
    CheckServiceState("isEditing");
    return host.videoOpen ? host.yes : 0;
}

int HOSTCALL GetCurrentFrame(EditHandle) {
    CheckServiceState("getCurrentFrame");
    return host.currentFrame;
}

int HOSTCALL IsWindowShown(FilterTable* filter) {
    CheckServiceState("isWindowShown");
    return IsWindowVisible(filter->window) ? host.yes : 0;
}

int HOSTCALL IsActive(EditHandle) {
    CheckServiceState("isActive");
    return host.videoOpen ? host.yes : 0;
}

// Settings live in the host's INI file, one section per filter.
int HOSTCALL LoadSettingInt(FilterTable* filter, const char* key, int defaultValue) {
    CheckServiceState("loadSettingInt");
    char text[32];
    GetPrivateProfileStringA(filter->name, key, "", text, sizeof text, host.settingsPath.c_str());
    char* end;
    const long value = strtol(text, &end, 10);
    return end != text && *end == '\0' ? static_cast<int>(value) : defaultValue;
}

int HOSTCALL SaveSettingInt(FilterTable* filter, const char* key, int value) {
    CheckServiceState("saveSettingInt");
    char text[32];
    snprintf(text, sizeof text, "%d", value);
    return WritePrivateProfileStringA(filter->name, key, text, host.settingsPath.c_str()) ? 1 : 0;
}

int HOSTCALL GetSystemInfo(void*, HostSystemInfo* info) {
    CheckServiceState("getSystemInfo");
    memset(info, 0, sizeof *info);
    info->maxWidth = host.maxWidth;
    info->maxHeight = host.maxHeight;
    return 1;
}

void* HOSTCALL GetDisplayedPixels(EditHandle, int) {
    CheckServiceState("getDisplayedPixels");
    if (!host.videoOpen) return nullptr;
    return const_cast<uint8_t*>(CurrentFrame().filtered.pixels.data());
}

int HOSTCALL GetSourcePixels(EditHandle, int frame, void* buffer, int) {
    CheckServiceState("getSourcePixels");
    if (!host.videoOpen || frame < 0 || frame >= static_cast<int>(host.frames.size())) return 0;
    const Picture& source = host.frames[frame].source;
    memcpy(buffer, source.pixels.data(), source.pixels.size());
    return 1;
}

// What both of the host's windows do last with a message: closing either ends
// the host; the right button belongs to the plug-in, so no context menu, whose
// default (the system menu for a point off the client area) would wait for the
// user; the rest goes to the default processing.
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
                BITMAPINFO info = {};
                info.bmiHeader.biSize = sizeof info.bmiHeader;
                info.bmiHeader.biWidth = picture.width;
                info.bmiHeader.biHeight = picture.height;
                info.bmiHeader.biPlanes = 1;
                info.bmiHeader.biBitCount = 24;
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
    windowClass.hbrBackground = BackgroundBrush();
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, x, y, 100, 100, nullptr,
                           nullptr, windowClass.hInstance, nullptr);
}

// Gives a window the client size asked for, whatever its frame and menu bar.
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

struct Options {
    const char* modulePath = nullptr;
    const char* sourceBmp = nullptr;
    const char* filteredBmp = nullptr;
    int frameCount = 4;
    int sourceWidth = 320, sourceHeight = 240;
    int filteredWidth = 0, filteredHeight = 0;  // 0: the source size
    bool packedRows = false;
    bool openVideo = true;
    std::vector<std::string> actions;
    bool scripted = false;
};

const char usage[] =
    "usage: pandrel-host [options] MODULE.auf\n"
    "  --source FILE.bmp --filtered FILE.bmp  serve these 24-bit pictures as the one frame\n"
    "  --frames N             number of generated frames (default 4)\n"
    "  --source-size WxH      size of the generated source frames (default 320x240)\n"
    "  --filtered-size WxH    size of the generated filtered frames (default: the source size)\n"
    "  --max-size WxH         largest image size the host reports (default 1920x1088)\n"
    "  --packed-rows          hand over rows of width * 3 bytes, not padded to 4 bytes\n"
    "  --settings FILE.ini    the host's settings file (default pandrel-host.ini)\n"
    "  --no-video             start with no video open\n"
    "  --yes N                answer yes from isEditing, isActive and isWindowShown with N\n"
    "                         (any nonzero int, default 1; menu commands act only on 1)\n"
    "  --fp-state CW,MXCSR[,FLAGS]  call the module with this x87 control word, MXCSR and\n"
    "                         x87 exception flags (default 0x20, the precision flag; none\n"
    "                         whose exception CW unmasks) instead of the host's own state\n"
    "  --script FILE          run the actions in FILE (one per line, # comments), then exit\n"
    "  --actions 'A; B; ...'  run these actions, then exit\n"
    "Without --script or --actions the host runs interactively.\n"
    "The module must keep the floating-point state it is called in at every host service and\n"
    "platform call it makes and give it back (exit status 3 if not), and every StretchDIBits\n"
    "must read inside one committed readable region (exit status 4 if not).\n";

bool ParseSize(const char* text, int* width, int* height) {
    return sscanf(text, "%dx%d", width, height) == 2 && *width >= 0 && *height >= 0;
}

void SplitActions(const std::string& text, char separator, std::vector<std::string>* actions) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        std::string action = text.substr(start, end - start);
        const size_t comment = action.find('#');
        if (comment != std::string::npos) action.resize(comment);
        if (action.find_first_not_of(" \t\r") != std::string::npos) actions->push_back(action);
        start = end + 1;
    }
}

bool ParseOptions(int argc, char** argv, Options* options) {
    std::string settings = "pandrel-host.ini";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--no-video") {
            options->openVideo = false;
        } else if (arg == "--packed-rows") {
            options->packedRows = true;
        } else if (arg[0] != '-' || arg == "-") {
            options->modulePath = argv[i];
        } else if (!hasValue) {
            return false;
        } else if (arg == "--source") {
            options->sourceBmp = argv[++i];
        } else if (arg == "--filtered") {
            options->filteredBmp = argv[++i];
        } else if (arg == "--frames") {
            options->frameCount = atoi(argv[++i]);
            if (options->frameCount < 1) return false;
        } else if (arg == "--source-size") {
            if (!ParseSize(argv[++i], &options->sourceWidth, &options->sourceHeight)) return false;
        } else if (arg == "--filtered-size") {
            if (!ParseSize(argv[++i], &options->filteredWidth, &options->filteredHeight)) {
                return false;
            }
        } else if (arg == "--max-size") {
            if (!ParseSize(argv[++i], &host.maxWidth, &host.maxHeight)) return false;
        } else if (arg == "--yes") {
            char* end;
            errno = 0;
            const long value = strtol(argv[++i], &end, 0);
            if (*end != '\0' || end == argv[i] || errno || value == 0 || value < INT32_MIN ||
                value > INT32_MAX) {
                return false;
            }
            host.yes = static_cast<int>(value);
        } else if (arg == "--fp-state") {
            if (!ParseFloatState(argv[++i])) return false;
        } else if (arg == "--settings") {
            settings = argv[++i];
        } else if (arg == "--script") {
            FILE* file = fopen(argv[++i], "rb");
            if (!file) {
                fprintf(stderr, "cannot open %s\n", argv[i]);
                return false;
            }
            std::string text;
            char chunk[4096];
            size_t n;
            while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
            fclose(file);
            SplitActions(text, '\n', &options->actions);
            options->scripted = true;
        } else if (arg == "--actions") {
            SplitActions(argv[++i], ';', &options->actions);
            options->scripted = true;
        } else {
            return false;
        }
    }
    char fullPath[MAX_PATH];
    GetFullPathNameA(settings.c_str(), sizeof fullPath, fullPath, nullptr);
    host.settingsPath = fullPath;
    return options->modulePath != nullptr;
}

bool LoadFrames(const Options& options) {
    if (options.sourceBmp || options.filteredBmp) {
        VideoFrame frame;
        std::string error;
        if (!options.sourceBmp || !options.filteredBmp ||
            !ReadBmp(options.sourceBmp, options.packedRows, &frame.source, &error) ||
            !ReadBmp(options.filteredBmp, options.packedRows, &frame.filtered, &error)) {
            fprintf(stderr, "%s\n",
                    error.empty() ? "--source and --filtered go together" : error.c_str());
            return false;
        }
        host.frames.push_back(frame);
        return true;
    }
    const int filteredWidth = options.filteredWidth ? options.filteredWidth : options.sourceWidth;
    const int filteredHeight =
        options.filteredHeight ? options.filteredHeight : options.sourceHeight;
    if (!options.sourceWidth || !options.sourceHeight || !filteredWidth || !filteredHeight) {
        fprintf(stderr, "frame sizes must be positive\n");
        return false;
    }
    host.frames = MakeEmbeddedFrames(options.frameCount, options.sourceWidth, options.sourceHeight,
                                     filteredWidth, filteredHeight, options.packedRows);
    return true;
}

int RunInteractive() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

int RunScript(const std::vector<std::string>& actions) {
    for (const std::string& action : actions) {
        std::string error;
        if (!RunAction(action, &error)) {
            fprintf(stderr, "action '%s': %s\n", action.c_str(), error.c_str());
            return 2;
        }
        PumpMessages();
    }
    return 0;
}

}  // namespace

HWND PluginWindow() { return host.filter->window; }

// The one video's handle: the host's own record, opaque to the module.
EditHandle VideoHandle() { return &host; }

// Sends a host notification to the module; a nonzero answer asks the host
// to process the current frame again.
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

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        fputs(usage, stderr);
        return 2;
    }
    if (!LoadFrames(options)) return 2;

    const HMODULE module = LoadLibraryA(options.modulePath);
    const auto getFilterTable =
        module ? reinterpret_cast<FilterTable*(HOSTCALL*)()>(
                     reinterpret_cast<void*>(GetProcAddress(module, "GetFilterTable")))
               : nullptr;
    if (!getFilterTable) {
        fprintf(stderr, "cannot load %s or find GetFilterTable in it\n", options.modulePath);
        return 1;
    }
    std::string error;
    if (!CheckModulePlatformCalls(module, &error)) {
        fprintf(stderr, "cannot check the module's platform calls: %s\n", error.c_str());
        return 1;
    }
    FilterTable* filter = CallModule("GetFilterTable", getFilterTable);
    host.filter = filter;
    host.services.isEditing = IsEditing;
    host.services.getCurrentFrame = GetCurrentFrame;
    host.services.isWindowShown = IsWindowShown;
    host.services.isActive = IsActive;
    host.services.loadSettingInt = LoadSettingInt;
    host.services.saveSettingInt = SaveSettingInt;
    host.services.getSystemInfo = GetSystemInfo;
    host.services.getDisplayedPixels = GetDisplayedPixels;
    host.services.getSourcePixels = GetSourcePixels;
    filter->services = &host.services;
    filter->instance = module;
    filter->window = CreateTopLevel(pluginClassName, PluginWindowProc, L"", 20, 20);
    SetWindowTextA(filter->window, filter->name);
    host.previewWindow = CreateTopLevel(previewClassName, PreviewWindowProc,
                                        L"Preview (Space: next frame)", 20, 640);
    SetClientSize(host.previewWindow, host.frames[0].filtered.width,
                  host.frames[0].filtered.height);

    CallModule("InitFilter", [&] { return filter->initProc(filter); });
    host.pluginStarted = true;
    Notify(notifyWindowCreated, 0, 0);
    ShowWindow(host.previewWindow, SW_SHOWNOACTIVATE);
    ShowPluginWindow(true);
    // The initial size is the client area's, below the menu bar that the
    // module attached.
    ResizePluginWindow(filter->initialWidth, filter->initialHeight);
    if (options.openVideo) OpenVideo();
    PumpMessages();

    const int result = options.scripted ? RunScript(options.actions) : RunInteractive();

    CallModule("ExitFilter", [&] { return filter->exitProc(filter); });
    host.pluginStarted = false;
    DestroyWindow(filter->window);
    DestroyWindow(host.previewWindow);
    FreeLibrary(module);
    if (!FloatStateKept()) {
        fprintf(stderr, "the module did not keep the floating-point state: %s\n",
                FloatStateReport().c_str());
        return result ? result : 3;
    }
    if (!BlitReadsKept()) {
        fprintf(stderr, "the module's blits read outside its memory: %s\n",
                BlitReadsReport().c_str());
        return result ? result : 4;
    }
    return result;
}

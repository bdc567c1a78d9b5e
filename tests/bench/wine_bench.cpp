// Times drag repaints of the built module in a real window (under Wine):
// one 1920 x 1080 frame captured, compare mode at x2 in a 1280 x 720 client,
// then many mouse moves with the left button held, each of which repaints
// both panes. The same run times bare StretchDIBits calls of the same
// rectangles, and the ratio of the two is printed; and, since every paint
// also sets the window title, the blits together with that title too.
//
// Usage: wine_bench [path of Pandrel.auf] [moves per round]
// The module is by default that of the same build: build/win32 (wine32) or
// build/win64 (wine64).

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "host/bitmap_info.h"
#include "host/wire_services.h"
#include "plugin/host_interface.h"
#include "ui/menu_ids.h"
#include "ui/window_messages.h"

namespace {

constexpr int frameWidth = 1920;
constexpr int frameHeight = 1080;
constexpr int clientWidth = 1280;
constexpr int clientHeight = 720;
constexpr int rounds = 7;

// Compare mode at x2 in this client: each pane is 638 pixels wide and shows
// 319 x 360 picture pixels stretched over 638 x 720.
constexpr int paneWidth = clientWidth / 2 - 2;
constexpr int viewWidth = paneWidth / 2;
constexpr int viewHeight = clientHeight / 2;

// The host's side: a video always open, one frame of mid grey.
std::vector<unsigned char> displayed(size_t{frameWidth} * frameHeight * 3, 0x80);
const EditHandle edit = reinterpret_cast<EditHandle>(0x5000);

struct Services {
    static int HOSTCALL IsEditing(EditHandle) { return 1; }
    static int HOSTCALL GetCurrentFrame(EditHandle) { return 0; }
    static int HOSTCALL IsWindowShown(FilterTable*) { return 1; }
    static int HOSTCALL IsActive(EditHandle) { return 1; }
    static int HOSTCALL LoadSettingInt(FilterTable*, const char*, int defaultValue) {
        return defaultValue;
    }
    static int HOSTCALL SaveSettingInt(FilterTable*, const char*, int) { return 1; }

    static int HOSTCALL GetSystemInfo(void*, HostSystemInfo* info) {
        info->maxWidth = frameWidth;
        info->maxHeight = frameHeight;
        return 1;
    }

    static void* HOSTCALL GetDisplayedPixels(EditHandle, int) { return displayed.data(); }

    static int HOSTCALL GetSourcePixels(EditHandle, int, void* buffer, int) {
        memcpy(buffer, displayed.data(), displayed.size());
        return 1;
    }
};

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

// Waits until the window system has carried out every drawing request:
// reading a pixel back is a round trip.
void Settle(HWND window) {
    GdiFlush();
    const HDC dc = GetDC(window);
    GetPixel(dc, 0, 0);
    ReleaseDC(window, dc);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Pointer x of move i: back and forth over 200 pixels of the filtered pane.
int PointerX(int i) { return 900 + (i % 400 < 200 ? i % 200 : 200 - i % 200); }

LPARAM Point(int x, int y) { return static_cast<LPARAM>(static_cast<DWORD>(y << 16 | x)); }

double TimeModuleDrag(FilterTable* filter, HWND window, int moves) {
    filter->windowProc(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(PointerX(0), 360), edit, filter);
    const double start = Seconds();
    for (int i = 1; i <= moves; ++i) {
        filter->windowProc(window, WM_MOUSEMOVE, MK_LBUTTON, Point(PointerX(i), 360), edit, filter);
    }
    Settle(window);
    const double elapsed = Seconds() - start;
    filter->windowProc(window, WM_LBUTTONUP, 0, Point(PointerX(moves), 360), edit, filter);
    return elapsed;
}

// The two blits of each drag step, with the source columns the pan centre
// gives (it follows the pointer at half speed at x2); and, unless `title` is
// null, the window title set as each paint sets it.
double TimeBareBlits(HWND window, int moves, const char* title) {
    const BITMAPINFO info = BitmapInfo(frameWidth, frameHeight);
    const int ySrc = frameHeight - viewHeight - (frameHeight / 2 - viewHeight / 2);
    const double start = Seconds();
    for (int i = 1; i <= moves; ++i) {
        const double centerX = frameWidth / 2.0 - (PointerX(i) - PointerX(0)) / 2.0;
        const int xSrc = static_cast<int>(centerX + 0.5) - viewWidth / 2;
        const HDC dc = GetDC(window);
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, 0, 0, paneWidth, clientHeight, xSrc, ySrc, viewWidth, viewHeight,
                      displayed.data(), &info, DIB_RGB_COLORS, SRCCOPY);
        StretchDIBits(dc, clientWidth - paneWidth, 0, paneWidth, clientHeight, xSrc, ySrc,
                      viewWidth, viewHeight, displayed.data(), &info, DIB_RGB_COLORS, SRCCOPY);
        ReleaseDC(window, dc);
        if (title != nullptr) SetWindowTextA(window, title);
    }
    Settle(window);
    return Seconds() - start;
}

HWND CreateHostWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PandrelBench";
    RegisterClassA(&windowClass);
    RECT frame = {0, 0, clientWidth, clientHeight};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, TRUE);
    const HWND window = CreateWindowA("PandrelBench", "Pandrel", WS_OVERLAPPEDWINDOW, 0, 0,
                                      frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                      nullptr, windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOW);
    return window;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN64)
    const char* defaultModule = "build/win64/Pandrel.auf";
#else
    const char* defaultModule = "build/win32/Pandrel.auf";
#endif
    const char* modulePath = argc > 1 ? argv[1] : defaultModule;
    const int moves = argc > 2 ? atoi(argv[2]) : 1000;
    const HMODULE module = LoadLibraryA(modulePath);
    if (module == nullptr) {
        fprintf(stderr, "cannot load %s\n", modulePath);
        return 1;
    }
    using GetFilterTableProc = FilterTable*(HOSTCALL*)(void);
    const auto getFilterTable =
        reinterpret_cast<GetFilterTableProc>(GetProcAddress(module, "GetFilterTable"));
    if (getFilterTable == nullptr) {
        fprintf(stderr, "%s exports no GetFilterTable\n", modulePath);
        return 1;
    }

    static HostServices services = WireServices<Services>();

    const HWND window = CreateHostWindow();
    FilterTable* filter = getFilterTable();
    filter->services = &services;
    filter->window = window;
    filter->instance = reinterpret_cast<HINSTANCE>(module);
    filter->initProc(filter);
    filter->windowProc(window, notifyWindowCreated, 0, 0, edit, filter);
    RECT client;
    GetClientRect(window, &client);
    if (client.right != clientWidth || client.bottom != clientHeight) {
        fprintf(stderr, "client area %ldx%ld, not %dx%d\n", static_cast<long>(client.right),
                static_cast<long>(client.bottom), clientWidth, clientHeight);
        return 1;
    }
    if (filter->windowProc(window, notifyVideoOpened, 0, 0, edit, filter) != 1) {
        fprintf(stderr, "the module reserved no buffers\n");
        return 1;
    }
    FrameProcInfo frame = {};
    frame.width = frame.sourceWidth = frameWidth;
    frame.height = frame.sourceHeight = frameHeight;
    frame.editHandle = edit;
    filter->frameProc(filter, &frame);
    filter->windowProc(window, WM_COMMAND, ID_ZOOM_FIT + 2, 0, edit, filter);  // x2
    filter->windowProc(window, WM_COMMAND, ID_VIEW_COMPARE, 0, edit, filter);
    // Centre the view on the middle of the frame, as a press over the
    // host's preview does.
    filter->windowProc(window, notifyPreviewPress, 0, Point(frameWidth / 2, frameHeight / 2), edit,
                       filter);
    filter->windowProc(window, notifyPreviewRelease, 0, 0, edit, filter);
    Settle(window);

    char title[256];
    GetWindowTextA(window, title, sizeof title);

    // Alternate the three, so that all see the same machine; report medians.
    std::vector<double> dragTimes;
    std::vector<double> blitTimes;
    std::vector<double> titledBlitTimes;
    TimeBareBlits(window, moves / 10, title);  // warm-up
    for (int round = 0; round < rounds; ++round) {
        dragTimes.push_back(TimeModuleDrag(filter, window, moves) / moves);
        blitTimes.push_back(TimeBareBlits(window, moves, nullptr) / moves);
        titledBlitTimes.push_back(TimeBareBlits(window, moves, title) / moves);
    }
    const auto median = [](std::vector<double>& times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    const double drag = median(dragTimes);
    const double blits = median(blitTimes);
    const double titledBlits = median(titledBlitTimes);
    printf("drag repaint, %dx%d frame, x2 compare, %dx%d client, %d moves x %d rounds\n",
           frameWidth, frameHeight, clientWidth, clientHeight, moves, rounds);
    printf("module drag repaint:          %8.1f us\n", drag * 1e6);
    printf("bare StretchDIBits:           %8.1f us   ratio %.3f\n", blits * 1e6, drag / blits);
    printf("bare StretchDIBits and title: %8.1f us   ratio %.3f\n", titledBlits * 1e6,
           drag / titledBlits);

    filter->windowProc(window, notifyVideoClosed, 0, 0, edit, filter);
    filter->exitProc(filter);
    DestroyWindow(window);
    FreeLibrary(module);
    return 0;
}

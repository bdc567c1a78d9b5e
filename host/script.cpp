// Scripted actions of the stand-in host: user input sent to the plug-in's
// window and the preview, the host's own actions, a random soak, and the
// capture and report that tests read.
#include <stdio.h>
#include <string.h>

#include <sstream>

#include "host/host.h"
#include "ui/menu_ids.h"

namespace {

LPARAM Point(int x, int y) {
    return static_cast<LPARAM>(
        static_cast<DWORD>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y))));
}

// Menu commands by id or by name: compare, source, filtered, fit, x1 to x10.
bool ParseCommand(const std::string& name, int* id) {
    static const struct {
        const char* name;
        int id;
    } named[] = {{"compare", ID_VIEW_COMPARE},
                 {"source", ID_VIEW_SOURCE},
                 {"filtered", ID_VIEW_FILTERED},
                 {"fit", ID_ZOOM_FIT}};
    for (const auto& command : named) {
        if (name == command.name) {
            *id = command.id;
            return true;
        }
    }
    int zoom;
    char rest;
    if (sscanf(name.c_str(), "x%d%c", &zoom, &rest) == 1 && zoom >= 1 && zoom <= 10) {
        *id = ID_ZOOM_FIT + zoom;
        return true;
    }
    return sscanf(name.c_str(), "%d%c", id, &rest) == 1;
}

void Drag(int fromX, int fromY, int toX, int toY, int steps) {
    const HWND window = PluginWindow();
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(fromX, fromY));
    for (int i = 1; i <= steps; ++i) {
        SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON,
                     Point(fromX + (toX - fromX) * i / steps, fromY + (toY - fromY) * i / steps));
    }
    SendMessageW(window, WM_LBUTTONUP, 0, Point(toX, toY));
}

void Wheel(int delta) {
    SendMessageW(PluginWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                 Point(100, 100));
}

void RightClick(int x, int y) {
    SendMessageW(PluginWindow(), WM_RBUTTONDOWN, MK_RBUTTON, Point(x, y));
    SendMessageW(PluginWindow(), WM_RBUTTONUP, 0, Point(x, y));
}

void NextFrame() { ShowFrame((host.currentFrame + 1) % static_cast<int>(host.frames.size())); }

// Writes a width x height 24-bit bitmap file of what `draw` copies into a
// memory device context holding a bitmap of that size.
template <typename Draw>
bool CaptureBitmap(const char* path, int width, int height, Draw draw) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    const HDC memoryDc = CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr;
    if (ok) {
        const HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        draw(memoryDc);
        GdiFlush();
        ok = WriteBmp(path, width, height, static_cast<const uint8_t*>(bits));
        SelectObject(memoryDc, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memoryDc);
    return ok;
}

// Copies the plug-in window's client area into a 24-bit bitmap file.
bool Capture(const char* path) {
    const HWND window = PluginWindow();
    RECT client;
    GetClientRect(window, &client);
    const HDC windowDc = GetDC(window);
    const bool ok = CaptureBitmap(path, client.right, client.bottom, [&](HDC dc) {
        BitBlt(dc, 0, 0, client.right, client.bottom, windowDc, 0, 0, SRCCOPY);
    });
    ReleaseDC(window, windowDc);
    return ok;
}

// Copies whole top-level windows, frame, title bar and menu bar included, as
// each draws itself, into one picture of the screen rectangle that holds
// them all, over the desktop's colour. Later windows lie on top.
bool CaptureWindows(const char* path, const HWND* windows, int count) {
    RECT area = {};
    for (int i = 0; i < count; ++i) {
        RECT rect;
        GetWindowRect(windows[i], &rect);
        UnionRect(&area, &area, &rect);
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    return CaptureBitmap(path, width, height, [&](HDC dc) {
        const RECT all = {0, 0, width, height};
        FillRect(dc, &all, GetSysColorBrush(COLOR_DESKTOP));
        for (int i = 0; i < count; ++i) {
            RECT rect;
            GetWindowRect(windows[i], &rect);
            const HDC windowDc = GetWindowDC(windows[i]);
            BitBlt(dc, rect.left - area.left, rect.top - area.top, rect.right - rect.left,
                   rect.bottom - rect.top, windowDc, 0, 0, SRCCOPY);
            ReleaseDC(windows[i], windowDc);
        }
    });
}

// A pop-up of the menu bar, opened as a click on its name opens it, captured
// with the plug-in's window while it is open. The menu loop is modal: a timer
// of this thread, which the loop dispatches, waits until the pop-up's window
// has been shown and painted, captures both windows and ends the menu.
struct OpenMenuCapture {
    const char* path;
    int ticks;
    int shownTicks;
    bool captured;
    bool ended;
};
OpenMenuCapture openMenuCapture;

void CALLBACK CaptureOpenMenu(HWND, UINT, UINT_PTR, DWORD) {
    OpenMenuCapture& capture = openMenuCapture;
    if (capture.ended) return;
    const HWND popup = FindWindowW(L"#32768", nullptr);
    if (popup && IsWindowVisible(popup)) ++capture.shownTicks;
    // A few ticks after the pop-up appears, its paint has been dispatched.
    if (capture.shownTicks >= 3) {
        const HWND windows[] = {PluginWindow(), popup};
        capture.captured = CaptureWindows(capture.path, windows, 2);
    }
    if (capture.captured || ++capture.ticks > 200) {
        capture.ended = true;
        EndMenu();
    }
}

// The click lands on the middle of the pop-up's name in the menu bar; no
// pointer motion follows, so no item of the open pop-up is highlighted.
bool CaptureMenu(int index, const char* path, std::string* error) {
    const HWND window = PluginWindow();
    const HMENU menu = GetMenu(window);
    RECT item;
    if (!menu || index < 0 || index >= GetMenuItemCount(menu) ||
        !GetMenuItemRect(window, menu, index, &item)) {
        *error = "no such pop-up in the menu bar";
        return false;
    }
    openMenuCapture = {path, 0, 0, false, false};
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CaptureOpenMenu);
    SendMessageW(window, WM_NCLBUTTONDOWN, HTMENU,
                 Point((item.left + item.right) / 2, (item.top + item.bottom) / 2));
    KillTimer(nullptr, timer);
    if (!openMenuCapture.captured) {
        *error = openMenuCapture.shownTicks ? std::string("cannot capture into ") + path
                                            : std::string("the menu did not open");
    }
    return openMenuCapture.captured;
}

std::string Utf8(const wchar_t* text) {
    char buffer[1024];
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return n > 0 ? std::string(buffer, n - 1) : std::string();
}

// The window as the platform reports it: title, client size, background
// colour, and the menu with its pop-ups, items, ids and check marks.
std::string Report() {
    const HWND window = PluginWindow();
    std::ostringstream out;
    wchar_t text[512];
    GetWindowTextW(window, text, 512);
    out << "title: " << Utf8(text) << "\n";
    RECT client;
    GetClientRect(window, &client);
    out << "client: " << client.right << " " << client.bottom << "\n";
    const COLORREF background = GetSysColor(COLOR_ACTIVEBORDER);
    out << "background: " << static_cast<int>(GetRValue(background)) << " "
        << static_cast<int>(GetGValue(background)) << " " << static_cast<int>(GetBValue(background))
        << "\n";
    out << "frame: " << host.currentFrame << (host.videoOpen ? " open" : " closed") << "\n";
    out << "float state: " << FloatStateReport() << "\n";
    out << "blit reads: " << BlitReadsReport() << "\n";
    std::string checked;
    const HMENU menu = GetMenu(window);
    const int popups = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < popups; ++i) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_STRING | MIIM_SUBMENU | MIIM_ID | MIIM_STATE | MIIM_FTYPE;
        item.dwTypeData = text;
        item.cch = 512;
        GetMenuItemInfoW(menu, i, TRUE, &item);
        out << "popup: " << Utf8(text) << "\n";
        const int items = item.hSubMenu ? GetMenuItemCount(item.hSubMenu) : 0;
        for (int j = 0; j < items; ++j) {
            MENUITEMINFOW sub = item;
            sub.hSubMenu = nullptr;
            sub.dwTypeData = text;
            sub.cch = 512;
            GetMenuItemInfoW(item.hSubMenu, j, TRUE, &sub);
            const bool isChecked = sub.fState & MFS_CHECKED;
            out << "item: " << sub.wID << " " << Utf8(text) << (isChecked ? " checked" : "")
                << ((sub.fState & MFS_GRAYED) || (sub.fType & MFT_SEPARATOR) ? " other" : "")
                << (sub.hSubMenu ? " submenu" : "") << "\n";
            if (isChecked) checked += " " + std::to_string(sub.wID);
        }
    }
    out << "checked:" << checked << "\n";
    return out.str();
}

bool WriteText(const std::string& path, const std::string& text) {
    if (path.empty()) {
        fwrite(text.data(), 1, text.size(), stdout);
        return fflush(stdout) == 0;
    }
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

bool SaveFrames(const std::string& prefix) {
    const VideoFrame& frame = host.frames[host.currentFrame];
    return WriteBmp((prefix + "-source.bmp").c_str(), frame.source.width, frame.source.height,
                    BitmapRows(frame.source).data()) &&
           WriteBmp((prefix + "-filtered.bmp").c_str(), frame.filtered.width, frame.filtered.height,
                    BitmapRows(frame.filtered).data());
}

// A small deterministic generator, the same on every build.
struct Random {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }
};

// One random step of the soak: user input, host actions and raw host
// notifications (all but the one-time 1127), with coordinates that run
// beyond the windows and the pictures, negative ones included.
void RandomStep(Random* random) {
    const HWND window = PluginWindow();
    const int x = random->Between(-100, 900);
    const int y = random->Between(-100, 700);
    switch (random->Below(14)) {
        case 0:
            SendMessageW(window, WM_COMMAND, random->Between(32769, 32786), 0);
            break;
        case 1:
            Wheel(random->Between(-2, 2) * 120);
            break;
        case 2:
            RightClick(x, y);
            break;
        case 3:
            SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
            break;
        case 4:
            SendMessageW(window, WM_MOUSEMOVE, random->Below(4) ? MK_LBUTTON : 0, Point(x, y));
            break;
        case 5:
            SendMessageW(window, WM_LBUTTONUP, 0, Point(x, y));
            break;
        case 6:
            ResizePluginWindow(random->Between(0, 800), random->Between(0, 600));
            break;
        case 7:
            NextFrame();
            break;
        case 8:
            ShowPluginWindow(!IsWindowVisible(window));
            break;
        case 9:
            host.videoOpen ? CloseVideo() : OpenVideo();
            break;
        case 10: {
            static const UINT previewMessages[] = {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP};
            SendMessageW(host.previewWindow, previewMessages[random->Below(3)], MK_LBUTTON,
                         Point(x, y));
            break;
        }
        case 11: {
            UINT message = random->Between(notifyVideoOpened, notifyPreviewMove);
            if (message == notifyWindowCreated) message = notifyRepaint;
            Notify(message, random->Next(), Point(x, y));
            break;
        }
        case 12:
            InvalidateRect(window, nullptr, random->Below(2));
            break;
        default:
            Drag(x, y, random->Between(-100, 900), random->Between(-100, 700),
                 random->Between(1, 5));
            break;
    }
}

}  // namespace

bool RunAction(const std::string& action, std::string* error) {
    std::istringstream in(action);
    std::string verb, name;
    in >> verb;
    int a = 0, b = 0, c = 0, d = 0;
    const auto ints = [&](int count) {
        int* values[] = {&a, &b, &c, &d};
        for (int i = 0; i < count; ++i) {
            if (!(in >> *values[i])) return false;
        }
        return true;
    };
    const HWND preview = host.previewWindow;

    if (verb == "menu" && in >> name && ParseCommand(name, &a)) {
        SendMessageW(PluginWindow(), WM_COMMAND, static_cast<WORD>(a), 0);
    } else if (verb == "wheel" && ints(1)) {
        Wheel(a);
    } else if (verb == "rclick" && ints(2)) {
        RightClick(a, b);
    } else if (verb == "drag" && ints(4)) {
        int steps = 4;
        in >> steps;
        Drag(a, b, c, d, steps < 1 ? 1 : steps);
    } else if (verb == "resize" && ints(2)) {
        ResizePluginWindow(a, b);
    } else if (verb == "preview-press" && ints(2)) {
        SendMessageW(preview, WM_LBUTTONDOWN, MK_LBUTTON, Point(a, b));
    } else if (verb == "preview-move" && ints(2)) {
        SendMessageW(preview, WM_MOUSEMOVE, MK_LBUTTON, Point(a, b));
    } else if (verb == "preview-release" && ints(2)) {
        SendMessageW(preview, WM_LBUTTONUP, 0, Point(a, b));
    } else if (verb == "next") {
        NextFrame();
    } else if (verb == "hide" || verb == "show") {
        ShowPluginWindow(verb == "show");
    } else if (verb == "max-size" && ints(2) && a >= 0 && b >= 0) {
        // Reported from now on: the module asks when it reserves its buffers.
        host.maxWidth = a;
        host.maxHeight = b;
    } else if (verb == "close") {
        CloseVideo();
    } else if (verb == "open") {
        OpenVideo();
    } else if (verb == "random" && ints(2)) {
        Random random = {static_cast<uint32_t>(b) * 2654435761u | 1};
        for (int i = 0; i < a; ++i) {
            RandomStep(&random);
            PumpMessages();
        }
    } else if (verb == "capture" && in >> name) {
        PumpMessages();
        if (!Capture(name.c_str())) *error = "cannot capture into " + name;
    } else if (verb == "activate") {
        SetForegroundWindow(PluginWindow());
    } else if (verb == "capture-window" && in >> name) {
        PumpMessages();
        const HWND window = PluginWindow();
        if (!CaptureWindows(name.c_str(), &window, 1)) *error = "cannot capture into " + name;
    } else if (verb == "capture-menu" && ints(1) && in >> name) {
        PumpMessages();
        CaptureMenu(a - 1, name.c_str(), error);
    } else if (verb == "report") {
        in >> name;
        if (!WriteText(name, Report())) *error = "cannot write " + name;
    } else if (verb == "save-frames" && in >> name) {
        if (!SaveFrames(name)) *error = "cannot write " + name + "-*.bmp";
    } else {
        *error = "unknown action or missing arguments";
    }
    return error->empty();
}

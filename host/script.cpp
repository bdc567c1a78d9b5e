// Scripted actions of the stand-in host: user input sent to the plug-in's
// window and the preview, the host's own actions, a random soak, and the
// capture and report that tests read.
#include <stdio.h>
#include <string.h>

#include <initializer_list>
#include <sstream>

#include "host/bitmap_info.h"
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
    const BITMAPINFO info = BitmapInfo(width, height);
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
        case 0:  // the menu's commands and two identifiers beyond each end
            SendMessageW(window, WM_COMMAND, random->Between(ID_VIEW_COMPARE - 2, ID_ZOOM_X10 + 2),
                         0);
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

// An action's words after its verb.
struct Arguments {
    std::istringstream words;

    bool Ints(std::initializer_list<int*> values) {
        for (int* value : values) {
            if (!(words >> *value)) return false;
        }
        return true;
    }
    bool Word(std::string* word) { return static_cast<bool>(words >> *word); }
};

bool CaptureInto(const std::string& path, bool captured, std::string* error) {
    if (!captured) *error = "cannot capture into " + path;
    return true;
}

// The mouse at the preview's (X, Y).
bool MouseOnPreview(Arguments& arguments, UINT message, WPARAM keys) {
    int x, y;
    if (!arguments.Ints({&x, &y})) return false;
    SendMessageW(host.previewWindow, message, keys, Point(x, y));
    return true;
}

void HidePluginWindow() { ShowPluginWindow(false); }
void ShowPluginWindowAgain() { ShowPluginWindow(true); }
void ActivatePluginWindow() { SetForegroundWindow(PluginWindow()); }

// An action that takes no arguments.
template <void (*act)()>
bool WithoutArguments(Arguments&, std::string*) {
    act();
    return true;
}

// The script's actions. Each takes its arguments and answers false when they
// are missing or malformed; an action that cannot be carried out says why in
// `error`.
struct Verb {
    const char* name;
    const char* arguments;  // as the usage and the docs write them
    const char* summary;
    bool (*run)(Arguments& arguments, std::string* error);
};

const Verb verbs[] = {
    {"menu", "ID", "WM_COMMAND; ID is a number or compare, source, filtered, fit, x1 ... x10",
     [](Arguments& arguments, std::string*) {
         std::string name;
         int id;
         if (!arguments.Word(&name) || !ParseCommand(name, &id)) return false;
         SendMessageW(PluginWindow(), WM_COMMAND, static_cast<WORD>(id), 0);
         return true;
     }},
    {"wheel", "DELTA", "WM_MOUSEWHEEL (120: one notch away from the user)",
     [](Arguments& arguments, std::string*) {
         int delta;
         if (!arguments.Ints({&delta})) return false;
         Wheel(delta);
         return true;
     }},
    {"rclick", "X Y", "right button press and release at client (X, Y)",
     [](Arguments& arguments, std::string*) {
         int x, y;
         if (!arguments.Ints({&x, &y})) return false;
         RightClick(x, y);
         return true;
     }},
    {"drag", "X1 Y1 X2 Y2 [STEPS]", "left press, STEPS moves (default 4), release",
     [](Arguments& arguments, std::string*) {
         int fromX, fromY, toX, toY, steps = 4;
         if (!arguments.Ints({&fromX, &fromY, &toX, &toY})) return false;
         arguments.words >> steps;
         Drag(fromX, fromY, toX, toY, steps < 1 ? 1 : steps);
         return true;
     }},
    {"resize", "W H", "a client area of W x H, then notification 1136",
     [](Arguments& arguments, std::string*) {
         int width, height;
         if (!arguments.Ints({&width, &height})) return false;
         ResizePluginWindow(width, height);
         return true;
     }},
    {"preview-press", "X Y", "the left button pressed on the preview (1144)",
     [](Arguments& arguments, std::string*) {
         return MouseOnPreview(arguments, WM_LBUTTONDOWN, MK_LBUTTON);
     }},
    {"preview-move", "X Y", "the mouse moved on the preview, the button held (1146)",
     [](Arguments& arguments, std::string*) {
         return MouseOnPreview(arguments, WM_MOUSEMOVE, MK_LBUTTON);
     }},
    {"preview-release", "X Y", "the left button released on the preview (1145)",
     [](Arguments& arguments, std::string*) { return MouseOnPreview(arguments, WM_LBUTTONUP, 0); }},
    {"next", "", "show the next frame", WithoutArguments<NextFrame>},
    {"hide", "", "hide the plug-in's window (1134)", WithoutArguments<HidePluginWindow>},
    {"show", "", "show the plug-in's window (1134)", WithoutArguments<ShowPluginWindowAgain>},
    {"close", "", "close the video (1126)", WithoutArguments<CloseVideo>},
    {"open", "", "open the video again (1125)", WithoutArguments<OpenVideo>},
    {"max-size", "W H", "report W x H as the largest image size from now on",
     [](Arguments& arguments, std::string*) {
         int width, height;
         if (!arguments.Ints({&width, &height}) || width < 0 || height < 0) return false;
         // Reported from now on: the module asks when it reserves its buffers.
         host.maxWidth = width;
         host.maxHeight = height;
         return true;
     }},
    {"random", "N SEED", "a soak of N random messages, host actions and notifications",
     [](Arguments& arguments, std::string*) {
         int steps, seed;
         if (!arguments.Ints({&steps, &seed})) return false;
         Random random = {static_cast<uint32_t>(seed) * 2654435761u | 1};
         for (int i = 0; i < steps; ++i) {
             RandomStep(&random);
             PumpMessages();
         }
         return true;
     }},
    {"capture", "FILE.bmp", "the plug-in window's client area as a 24-bit bitmap",
     [](Arguments& arguments, std::string* error) {
         std::string path;
         if (!arguments.Word(&path)) return false;
         PumpMessages();
         return CaptureInto(path, Capture(path.c_str()), error);
     }},
    {"activate", "", "make the plug-in's window the active one",
     WithoutArguments<ActivatePluginWindow>},
    {"capture-window", "FILE.bmp", "the plug-in's whole window, frame and menu bar included",
     [](Arguments& arguments, std::string* error) {
         std::string path;
         if (!arguments.Word(&path)) return false;
         PumpMessages();
         const HWND window = PluginWindow();
         return CaptureInto(path, CaptureWindows(path.c_str(), &window, 1), error);
     }},
    {"capture-menu", "N FILE.bmp", "the window with the menu bar's Nth pop-up open",
     [](Arguments& arguments, std::string* error) {
         int index;
         std::string path;
         if (!arguments.Ints({&index}) || !arguments.Word(&path)) return false;
         PumpMessages();
         CaptureMenu(index - 1, path.c_str(), error);
         return true;
     }},
    {"report", "[FILE]", "the window, the menu and the host's checks (stdout without FILE)",
     [](Arguments& arguments, std::string* error) {
         std::string path;
         arguments.Word(&path);
         if (!WriteText(path, Report())) *error = "cannot write " + path;
         return true;
     }},
    {"save-frames", "PREFIX", "the current frame as PREFIX-source.bmp and PREFIX-filtered.bmp",
     [](Arguments& arguments, std::string* error) {
         std::string prefix;
         if (!arguments.Word(&prefix)) return false;
         if (!SaveFrames(prefix)) *error = "cannot write " + prefix + "-*.bmp";
         return true;
     }},
};

}  // namespace

bool RunAction(const std::string& action, std::string* error) {
    Arguments arguments;
    arguments.words.str(action);
    std::string name;
    arguments.words >> name;
    for (const Verb& verb : verbs) {
        if (name != verb.name) continue;
        if (!verb.run(arguments, error)) *error = "unknown action or missing arguments";
        return error->empty();
    }
    *error = "unknown action or missing arguments";
    return false;
}

std::string ActionsUsage() {
    std::string usage;
    for (const Verb& verb : verbs) {
        char line[160];
        snprintf(line, sizeof line, "  %-24s  %s\n",
                 (std::string(verb.name) + (*verb.arguments ? " " : "") + verb.arguments).c_str(),
                 verb.summary);
        usage += line;
    }
    return usage;
}

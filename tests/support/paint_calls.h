// Expected log lines of a paint, for comparing whole call sequences with
// fake::Calls(). The device context prints as "dc", the window as "window"
// and the menu as "menu" (the ModuleTest names) unless given.
#pragma once

#include <string>
#include <vector>

#include "tests/support/call_log.h"
#include "tests/support/fake_host.h"
#include "tests/support/worked_layouts.h"
#include "ui/menu_ids.h"
#include "win32/platform.h"

namespace paint_calls {

using call_log::Calls;

inline std::string Rect(const RECT& rect) {
    return "{" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom) + "}";
}

// The line of a check mark's SetMenuItemInfoA call.
inline std::string MenuCheck(UINT id, bool checked, const std::string& menu = "menu") {
    return "SetMenuItemInfoA(" + menu + ", " + std::to_string(id) +
           ", 0, {cbSize=" + std::to_string(sizeof(MENUITEMINFO98A)) +
           ", fMask=1, fState=" + (checked ? "8" : "0") + "})";
}

// The line of the SetWindowTextA call that sets the title given in UTF-8.
inline std::string TitleLine(const std::string& utf8Title) {
    return "SetWindowTextA(window, \"" + Cp932(utf8Title) + "\")";
}

// What every paint does before it decides whether to draw: the menu's check
// marks for `screen` and `multi`, the title (given in UTF-8), the client
// rectangle, the device context and the host's isEditing.
inline Calls Opening(int screen, int multi, const std::string& utf8Title,
                     const std::string& menu = "menu") {
    Calls calls = {"GetMenu(window)"};
    for (UINT id = ID_VIEW_COMPARE; id <= ID_VIEW_FILTERED; ++id)
        calls.push_back(MenuCheck(id, screen == static_cast<int>(id - ID_VIEW_COMPARE), menu));
    for (UINT id = ID_ZOOM_FIT; id <= ID_ZOOM_X10; ++id)
        calls.push_back(MenuCheck(id, multi == static_cast<int>(id - ID_ZOOM_FIT), menu));
    calls.push_back(TitleLine(utf8Title));
    calls.push_back("GetClientRect(window)");
    calls.push_back("GetDC(window)");
    calls.push_back("isEditing(edit)");
    return calls;
}

inline std::string Fill(const RECT& rect, const std::string& dc = "dc") {
    return "FillRect(" + dc + ", " + Rect(rect) + ", 11)";
}

// What a drawing paint of `worked` does after SetStretchBltMode, the divider
// aside: each pane shown, source first, filled where its layout leaves part
// of it uncovered, then blitted with its layout.
inline Calls Drawing(const WorkedLayout& worked, const std::string& dc = "dc") {
    Calls calls;
    const auto draw = [&](const WorkedPane& pane, const std::string& pixels,
                          const std::string& info) {
        if (!pane.shown) return;
        const PaneLayout& layout = pane.layout;
        if (layout.fillPane) calls.push_back(Fill(pane.pane, dc));
        std::string blit = "StretchDIBits(" + dc;
        for (const int32_t value : {layout.xDest, layout.yDest, layout.destWidth, layout.destHeight,
                                    layout.xSrc, layout.ySrc, layout.srcWidth, layout.srcHeight})
            blit += ", " + std::to_string(value);
        calls.push_back(blit + ", " + pixels + ", " + info + ", 0, 0xCC0020)");
    };
    draw(worked.source, "sourcePixels", "sourceInfo");
    draw(worked.filtered, "filteredPixels", "filteredInfo");
    return calls;
}

inline Calls Drawing(const std::string& workedLayout, const std::string& dc = "dc") {
    return Drawing(WorkedLayoutNamed(workedLayout), dc);
}

const char stretchMode[] = "SetStretchBltMode(dc, 3)";
const char releaseDc[] = "ReleaseDC(window, dc)";

inline Calls operator+(Calls first, const Calls& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace paint_calls

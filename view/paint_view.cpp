#include "view/paint_view.h"

#include <stdio.h>
#include <string.h>

#include "capture/frame_store.h"
#include "plugin/view_state.h"
#include "ui/menu_ids.h"
#include "view/pane_layout.h"

namespace {

// Title pieces in Shift_JIS.
const char titlePrefix[] = "Pandrel - ";
const char* const modeTexts[] = {
    "\x94\xE4\x8A\x72 - ",                          // 比較 -
    "\x83\x5C\x81\x5B\x83\x58 - ",                  // ソース -
    "\x83\x74\x83\x42\x83\x8B\x83\x5E\x8C\xE3 - ",  // フィルタ後 -
};
const char fitText[] = "\x91\x53\x91\xCC";  // 全体

HBRUSH BackgroundBrush() {
    return reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_ACTIVEBORDER + 1));
}

int32_t ClampTo(int32_t value, int32_t low, int32_t high) {
    return value < low ? low : (value > high ? high : value);
}

void SetMenuChecks(HWND window) {
    const HMENU menu = GetMenu(window);
    MENUITEMINFO98A item;
    memset(&item, 0, sizeof item);
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    const auto check = [&](UINT id, bool checked) {
        item.fState = checked ? MFS_CHECKED : 0;
        SetMenuItemInfoA(menu, id, FALSE, reinterpret_cast<const MENUITEMINFOA*>(&item));
    };
    for (UINT id = ID_VIEW_COMPARE; id <= ID_VIEW_FILTERED; ++id) {
        check(id, viewState.screen == static_cast<int32_t>(id - ID_VIEW_COMPARE));
    }
    for (UINT id = ID_ZOOM_FIT; id <= ID_ZOOM_X10; ++id) {
        check(id, viewState.multi == static_cast<int32_t>(id - ID_ZOOM_FIT));
    }
}

void SetTitle(HWND window) {
    char title[1024];
    char zoomText[1024];
    strcpy(title, titlePrefix);
    strcat(title, modeTexts[viewState.screen]);
    if (viewState.multi == 0) {
        strcat(title, fitText);
    } else {
        sprintf(zoomText, "x%d", viewState.multi);
        strcat(title, zoomText);
    }
    SetWindowTextA(window, title);
}

void DrawPane(HDC dc, const RECT& pane, const PaneLayout& layout, const uint8_t* pixels,
              const BITMAPINFO& info) {
    if (layout.fillPane) FillRect(dc, &pane, BackgroundBrush());
    // A source extent of negative width comes only from a pane of negative
    // width (a client narrower than the divider), which lies outside the
    // client area; blitting it would read columns beside the picture.
    if (layout.srcWidth < 0) return;
    StretchDIBits(dc, layout.xDest, layout.yDest, layout.destWidth, layout.destHeight, layout.xSrc,
                  layout.ySrc, layout.srcWidth, layout.srcHeight, pixels, &info, DIB_RGB_COLORS,
                  SRCCOPY);
}

}  // namespace

void PaintView(FilterTable* filter, EditHandle editHandle, const int16_t* point) {
    viewState.screen = ClampTo(viewState.screen, screenCompare, screenFiltered);
    viewState.multi = ClampTo(viewState.multi, 0, maxMulti);
    const HWND window = filter->window;
    SetMenuChecks(window);
    SetTitle(window);

    RECT client;
    GetClientRect(window, &client);
    const HDC dc = GetDC(window);
    const int editing = filter->services->isEditing(editHandle);
    if (frameStore.sourcePixels == nullptr || frameStore.filteredPixels == nullptr || !editing) {
        FillRect(dc, &client, BackgroundBrush());
        ReleaseDC(window, dc);
        return;
    }

    SetStretchBltMode(dc, COLORONCOLOR);
    const int32_t filteredWidth = frameStore.filteredInfo.bmiHeader.biWidth;
    const int32_t filteredHeight = frameStore.filteredInfo.bmiHeader.biHeight;
    const PanCenter center =
        point != nullptr
            ? ClampPreviewPoint(point[0], point[1], filteredWidth, filteredHeight)
            : ClampPanCenter(viewState.centerX, viewState.centerY, filteredWidth, filteredHeight);
    viewState.centerX = center.centerX;
    viewState.centerY = center.centerY;

    const ClientSplit split = SplitClientArea(client, viewState.screen);
    if (viewState.lastPaintedScreen != viewState.screen && viewState.screen == screenCompare) {
        FillRect(dc, &split.divider, BackgroundBrush());
    }
    viewState.lastPaintedScreen = viewState.screen;

    if (split.hasSourcePane) {
        const PaneLayout layout = ComputePaneLayout(
            split.sourcePane, split.sourceAlign, frameStore.sourceInfo.bmiHeader.biWidth,
            frameStore.sourceInfo.bmiHeader.biHeight, filteredWidth, filteredHeight,
            viewState.multi, viewState.centerX, viewState.centerY);
        DrawPane(dc, split.sourcePane, layout, frameStore.sourcePixels, frameStore.sourceInfo);
    }
    if (split.hasFilteredPane) {
        const PaneLayout layout = ComputePaneLayout(
            split.filteredPane, split.filteredAlign, filteredWidth, filteredHeight, filteredWidth,
            filteredHeight, viewState.multi, viewState.centerX, viewState.centerY);
        DrawPane(dc, split.filteredPane, layout, frameStore.filteredPixels,
                 frameStore.filteredInfo);
    }
    ReleaseDC(window, dc);
}

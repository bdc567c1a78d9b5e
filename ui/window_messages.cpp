#include "ui/window_messages.h"

#include "capture/frame_store.h"
#include "plugin/float_state.h"
#include "plugin/view_state.h"
#include "ui/menu_ids.h"
#include "view/paint_view.h"
#include "view/pane_layout.h"

namespace {

int16_t LowHalf(uintptr_t value) { return static_cast<int16_t>(value & 0xFFFF); }
int16_t HighHalf(uintptr_t value) { return static_cast<int16_t>((value >> 16) & 0xFFFF); }

void ApplyCommand(UINT id) {
    if (id >= ID_VIEW_COMPARE && id <= ID_VIEW_FILTERED) {
        viewState.screen = static_cast<int32_t>(id - ID_VIEW_COMPARE);
    } else if (id >= ID_ZOOM_FIT && id <= ID_ZOOM_X10) {
        viewState.multi = static_cast<int32_t>(id - ID_ZOOM_FIT);
    }
}

void HandleCommand(FilterTable* filter, EditHandle editHandle, WPARAM wParam) {
    if (filter->services->isEditing(editHandle) != 1) return;
    ApplyCommand(static_cast<UINT>(wParam & 0xFFFF));
    PaintView(filter, editHandle, nullptr);
}

struct DragScales {
    float x;
    float y;
};

// Source-picture pixels per filtered-picture pixel: the factors by which a
// pointer distance in the source pane is turned into a move of the pan
// centre. Each quotient is rounded to float once, not each size first.
COMPUTES_UNDER_MODULE_STATE DragScales SourcePaneScales(LONG sourceWidth, LONG sourceHeight,
                                                        LONG filteredWidth, LONG filteredHeight) {
    return {RoundToFloat(static_cast<double>(sourceWidth) / filteredWidth),
            RoundToFloat(static_cast<double>(sourceHeight) / filteredHeight)};
}

// The centre after a drag step of (dx, dy) client pixels: in double, the
// distance over the magnification, then over the factor, rounded once.
COMPUTES_UNDER_MODULE_STATE PanCenter DraggedCenter(PanCenter center, int32_t dx, int32_t dy,
                                                    int32_t multi, DragScales scales) {
    return {RoundToFloat(center.centerX - dx / static_cast<double>(multi) / scales.x),
            RoundToFloat(center.centerY - dy / static_cast<double>(multi) / scales.y)};
}

void StartDrag(HWND window, LPARAM lParam) {
    if (viewState.multi <= 0 || frameStore.sourcePixels == nullptr ||
        frameStore.filteredPixels == nullptr || !frameStore.frameCaptured) {
        return;
    }
    viewState.lastMouseX = LowHalf(static_cast<uintptr_t>(lParam));
    viewState.lastMouseY = HighHalf(static_cast<uintptr_t>(lParam));
    viewState.dragging = 1;

    bool sourcePane = viewState.screen == screenSource;
    if (viewState.screen == screenCompare) {
        RECT client;
        GetClientRect(window, &client);
        sourcePane = viewState.lastMouseX < client.right / 2;
    }
    DragScales scales = {1.0f, 1.0f};
    if (sourcePane) {
        const BITMAPINFOHEADER& source = frameStore.sourceInfo.bmiHeader;
        const BITMAPINFOHEADER& filtered = frameStore.filteredInfo.bmiHeader;
        scales = UnderModuleFloatState(SourcePaneScales, source.biWidth, source.biHeight,
                                       filtered.biWidth, filtered.biHeight);
    }
    viewState.dragScaleX = scales.x;
    viewState.dragScaleY = scales.y;
}

void MoveDrag(FilterTable* filter, EditHandle editHandle, WPARAM wParam, LPARAM lParam) {
    if (!(wParam & MK_LBUTTON)) {
        viewState.dragging = 0;
        return;
    }
    if (viewState.dragging != 1 || viewState.multi <= 0) return;
    const int16_t x = LowHalf(static_cast<uintptr_t>(lParam));
    const int16_t y = HighHalf(static_cast<uintptr_t>(lParam));
    const int32_t dx = x - viewState.lastMouseX;
    const int32_t dy = y - viewState.lastMouseY;
    viewState.lastMouseX = x;
    viewState.lastMouseY = y;
    const PanCenter center = UnderModuleFloatState(
        DraggedCenter, PanCenter{viewState.centerX, viewState.centerY}, dx, dy, viewState.multi,
        DragScales{viewState.dragScaleX, viewState.dragScaleY});
    viewState.centerX = center.centerX;
    viewState.centerY = center.centerY;
    PaintView(filter, editHandle, nullptr);
}

void StepMagnification(FilterTable* filter, EditHandle editHandle, WPARAM wParam) {
    // Away from the user (delta 0 included) zooms out toward fit, toward the
    // user zooms in.
    if (HighHalf(wParam) >= 0) {
        if (viewState.multi > 0) --viewState.multi;
    } else if (viewState.multi < maxMulti) {
        ++viewState.multi;
    }
    PaintView(filter, editHandle, nullptr);
}

// Compare mode is left by the first click and reached again only from the
// menu: the cycle wraps to source, not to compare. A stored mode of the
// largest int wraps too, without overflowing.
void StepViewMode(FilterTable* filter, EditHandle editHandle) {
    viewState.screen = viewState.screen >= screenFiltered ? screenSource : viewState.screen + 1;
    PaintView(filter, editHandle, nullptr);
}

int SyncBuffers(FilterTable* filter, bool releaseWhenHidden) {
    frameStore.sourceFrameNumber = -1;
    if (filter->services->isWindowShown(filter)) {
        AllocateImageBuffers(filter);
        return 1;
    }
    if (releaseWhenHidden) FreeImageBuffers();
    return 0;
}

void AttachMenu(HWND window, FilterTable* filter) {
    SetMenu(window, LoadMenuA(filter->instance, MAKEINTRESOURCEA(MENU_RESOURCE_ID)));
    DrawMenuBar(window);
}

void PaintAtPreviewPoint(FilterTable* filter, EditHandle editHandle, LPARAM lParam) {
    const int16_t point[2] = {LowHalf(static_cast<uintptr_t>(lParam)),
                              HighHalf(static_cast<uintptr_t>(lParam))};
    PaintView(filter, editHandle, point);
}

}  // namespace

int HOSTCALL HandleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 EditHandle editHandle, FilterTable* filter) {
    switch (message) {
        case WM_PAINT:
        case notifyRepaint:
            PaintView(filter, editHandle, nullptr);
            return 0;
        case WM_COMMAND:
            HandleCommand(filter, editHandle, wParam);
            return 0;
        case WM_MOUSEMOVE:
            MoveDrag(filter, editHandle, wParam, lParam);
            return 0;
        case WM_LBUTTONDOWN:
            StartDrag(window, lParam);
            return 0;
        case WM_LBUTTONUP:
            viewState.dragging = 0;
            return 0;
        case WM_RBUTTONUP:
            StepViewMode(filter, editHandle);
            return 0;
        case WM_MOUSEWHEEL:
            StepMagnification(filter, editHandle, wParam);
            return 0;
        case notifyVideoOpened:
            return SyncBuffers(filter, false);
        case notifyShownOrHidden:
            return SyncBuffers(filter, true);
        case notifyVideoClosed:
            FreeImageBuffers();
            PaintView(filter, editHandle, nullptr);
            return 0;
        case notifyWindowCreated:
            AttachMenu(window, filter);
            return 0;
        case notifyPreviewPress:
            if (viewState.multi > 0) PaintAtPreviewPoint(filter, editHandle, lParam);
            viewState.mainMouseDown = 1;
            return 0;
        case notifyPreviewRelease:
            viewState.mainMouseDown = 0;
            return 0;
        case notifyPreviewMove:
            if (viewState.mainMouseDown && viewState.multi > 0) {
                PaintAtPreviewPoint(filter, editHandle, lParam);
            }
            return 0;
        default:
            return 0;
    }
}

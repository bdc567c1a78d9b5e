#include "ui/window_messages.h"

#include "capture/frame_store.h"
#include "plugin/view_state.h"
#include "ui/menu_ids.h"
#include "view/paint_view.h"

namespace {

int16_t LowHalf(uintptr_t value) { return static_cast<int16_t>(value & 0xFFFF); }
int16_t HighHalf(uintptr_t value) { return static_cast<int16_t>((value >> 16) & 0xFFFF); }

void ApplyCommand(UINT id) {
    if (id >= commandCompare && id <= commandFiltered) {
        viewState.screen = static_cast<int32_t>(id - commandCompare);
    } else if (id >= commandFit && id <= commandZoom10) {
        viewState.multi = static_cast<int32_t>(id - commandFit);
    }
}

void HandleCommand(FilterTable* filter, EditHandle editHandle, WPARAM wParam) {
    if (filter->services->isEditing(editHandle) != 1) return;
    ApplyCommand(static_cast<UINT>(wParam & 0xFFFF));
    PaintView(filter, editHandle, nullptr);
}

// Picture pixels per filtered-picture pixel: the factor by which a pointer
// distance in the pane is turned into a move of the pan centre. The quotient
// is rounded to float once, not each size first.
float DragScale(LONG pictureSize, LONG filteredSize) {
    return static_cast<float>(static_cast<double>(pictureSize) / filteredSize);
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
    if (sourcePane) {
        const BITMAPINFOHEADER& source = frameStore.sourceInfo.bmiHeader;
        const BITMAPINFOHEADER& filtered = frameStore.filteredInfo.bmiHeader;
        viewState.dragScaleX = DragScale(source.biWidth, filtered.biWidth);
        viewState.dragScaleY = DragScale(source.biHeight, filtered.biHeight);
    } else {
        viewState.dragScaleX = 1.0f;
        viewState.dragScaleY = 1.0f;
    }
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
    const double multi = viewState.multi;
    viewState.centerX = static_cast<float>(viewState.centerX - dx / multi / viewState.dragScaleX);
    viewState.centerY = static_cast<float>(viewState.centerY - dy / multi / viewState.dragScaleY);
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
    SetMenu(window, LoadMenuA(filter->instance, MAKEINTRESOURCEA(menuResourceId)));
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

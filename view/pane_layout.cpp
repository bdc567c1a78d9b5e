#include "view/pane_layout.h"

#include "plugin/float_state.h"

namespace {

// Truncation toward zero that never converts a NaN or an out-of-range value:
// NaN gives 0, values beyond int32 saturate.
int32_t Trunc(double value) {
    if (value != value) return 0;
    if (value <= -2147483648.0) return INT32_MIN;
    if (value >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(value);
}

float ClampCoordinate(float value, int32_t bound) {
    const float limit = RoundToFloat(bound);
    if (!(value >= 0.0f)) value = 0.0f;
    if (value > limit) value = limit;
    return value;
}

void FitWhole(PaneLayout& layout, int32_t paneW, int32_t paneH, int32_t pictureWidth,
              int32_t pictureHeight) {
    const double aspect = static_cast<double>(pictureWidth) / pictureHeight;
    const double paneRatio = paneW / static_cast<double>(RoundToFloat(paneH));
    if (paneRatio > aspect) {
        layout.destWidth = Trunc(paneH * aspect);
    } else {
        layout.destHeight = Trunc(paneW / aspect);
    }
}

// Limits a local copy of one centre coordinate so that the view stays within
// the picture: the lower limit (from the truncated half view) is tested first.
float LimitCenter(float center, int32_t halfView, int32_t view, double scale,
                  int32_t filteredSize) {
    const double low = halfView / scale;
    if (low > center) return RoundToFloat(low);
    const double high = filteredSize - (view * 0.5) / scale;
    if (center > high) return RoundToFloat(high);
    return center;
}

// First picture column (or row from the top) of a view of `view` pixels
// centred on `center`, kept inside the picture.
int32_t FirstShown(float center, double scale, int32_t halfView, int32_t view,
                   int32_t pictureSize) {
    int32_t first = Trunc(center * scale + 0.5) - halfView;
    if (first < 0) {
        first = 0;
    } else if (first > pictureSize - view) {
        first = pictureSize - view;
    }
    return first;
}

void Magnify(PaneLayout& layout, int32_t paneW, int32_t paneH, int32_t pictureWidth,
             int32_t pictureHeight, int32_t filteredWidth, int32_t filteredHeight, int32_t multi,
             float centerX, float centerY) {
    const int32_t viewW = paneW / multi;
    const int32_t viewH = paneH / multi;
    const double scaleX = pictureWidth / static_cast<double>(RoundToFloat(filteredWidth));
    const float scaleY =
        RoundToFloat(pictureHeight / static_cast<double>(RoundToFloat(filteredHeight)));
    const int32_t halfW = viewW / 2;
    const int32_t halfH = viewH / 2;
    const float cx = LimitCenter(centerX, halfW, viewW, scaleX, filteredWidth);
    const float cy = LimitCenter(centerY, halfH, viewH, scaleY, filteredHeight);

    const int64_t magnifiedWidth = static_cast<int64_t>(multi) * pictureWidth;
    const int64_t magnifiedHeight = static_cast<int64_t>(multi) * pictureHeight;
    if (magnifiedWidth < paneW) {
        layout.destWidth = static_cast<int32_t>(magnifiedWidth);
    } else {
        layout.srcWidth = viewW;
        layout.xSrc = FirstShown(cx, scaleX, halfW, viewW, pictureWidth);
    }
    if (magnifiedHeight < paneH) {
        layout.destHeight = static_cast<int32_t>(magnifiedHeight);
    } else {
        layout.srcHeight = viewH;
        const int32_t topRow = FirstShown(cy, scaleY, halfH, viewH, pictureHeight);
        layout.ySrc = pictureHeight - viewH - topRow;
    }
}

// Start of `size` pixels centred between low and high. The difference is
// taken in 64 bits: a fit into a pane of negative width gives a negative
// size, which a pane reaching to the largest int would otherwise overflow.
int32_t CenteredStart(int32_t low, int32_t high, int32_t size) {
    return static_cast<int32_t>(low + (int64_t{high} - size - low) / 2);
}

COMPUTES_UNDER_MODULE_STATE PanCenter ClampCenter(float centerX, float centerY,
                                                  int32_t filteredWidth, int32_t filteredHeight) {
    return {ClampCoordinate(centerX, filteredWidth), ClampCoordinate(centerY, filteredHeight)};
}

// The point's conversion to float is x87 code too.
COMPUTES_UNDER_MODULE_STATE PanCenter ClampPoint(int16_t x, int16_t y, int32_t filteredWidth,
                                                 int32_t filteredHeight) {
    return ClampCenter(x, y, filteredWidth, filteredHeight);
}

COMPUTES_UNDER_MODULE_STATE PaneLayout LayoutPane(const RECT& pane, PaneAlign align,
                                                  int32_t pictureWidth, int32_t pictureHeight,
                                                  int32_t filteredWidth, int32_t filteredHeight,
                                                  int32_t multi, float centerX, float centerY) {
    const int32_t paneW = pane.right - pane.left;
    const int32_t paneH = pane.bottom - pane.top;
    PaneLayout layout = {pane.left, pane.top,     paneW,         paneH, 0,
                         0,         pictureWidth, pictureHeight, false};
    if (multi <= 0) {
        FitWhole(layout, paneW, paneH, pictureWidth, pictureHeight);
    } else {
        Magnify(layout, paneW, paneH, pictureWidth, pictureHeight, filteredWidth, filteredHeight,
                multi, centerX, centerY);
    }

    if (layout.destWidth < paneW) {
        if (align == alignRight) {
            layout.xDest = pane.right - layout.destWidth;
        } else if (align == alignCenter) {
            layout.xDest = CenteredStart(pane.left, pane.right, layout.destWidth);
        }
    }
    if (layout.destHeight < paneH) {
        layout.yDest = CenteredStart(pane.top, pane.bottom, layout.destHeight);
    }
    layout.fillPane = layout.destWidth != paneW || layout.destHeight != paneH;
    return layout;
}

}  // namespace

PanCenter ClampPanCenter(float centerX, float centerY, int32_t filteredWidth,
                         int32_t filteredHeight) {
    return UnderModuleFloatState(ClampCenter, centerX, centerY, filteredWidth, filteredHeight);
}

PanCenter ClampPreviewPoint(int16_t x, int16_t y, int32_t filteredWidth, int32_t filteredHeight) {
    return UnderModuleFloatState(ClampPoint, x, y, filteredWidth, filteredHeight);
}

ClientSplit SplitClientArea(const RECT& client, int32_t screen) {
    const int32_t half = client.right / 2;
    ClientSplit split = {};
    split.divider = {half - 2, client.top, half + 2, client.bottom};
    if (screen == 0) {
        split.sourcePane = {client.left, client.top, half - 2, client.bottom};
        split.sourceAlign = alignRight;
        split.hasSourcePane = true;
        split.filteredPane = {half + 2, client.top, client.right, client.bottom};
        split.filteredAlign = alignLeft;
        split.hasFilteredPane = true;
    } else if (screen == 1) {
        split.sourcePane = client;
        split.sourceAlign = alignCenter;
        split.hasSourcePane = true;
    } else {
        split.filteredPane = client;
        split.filteredAlign = alignCenter;
        split.hasFilteredPane = true;
    }
    return split;
}

PaneLayout ComputePaneLayout(const RECT& pane, PaneAlign align, int32_t pictureWidth,
                             int32_t pictureHeight, int32_t filteredWidth, int32_t filteredHeight,
                             int32_t multi, float centerX, float centerY) {
    return UnderModuleFloatState(LayoutPane, pane, align, pictureWidth, pictureHeight,
                                 filteredWidth, filteredHeight, multi, centerX, centerY);
}

// The fuzzer compiles this file a second time, for SSE2 doubles, and compares
// (tests/fuzz/reference_arithmetic.cpp): that sees precision faults only,
// never a wrong formula.

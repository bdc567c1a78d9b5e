// Geometry of the view: which part of each picture goes where in the client
// area. Pure arithmetic, no window-system call.
#pragma once

#include <stdint.h>

#include "win32/platform.h"

// Where a picture narrower than its pane is put.
enum PaneAlign { alignRight, alignLeft, alignCenter };

struct PaneLayout {
    int32_t xDest;  // destination rectangle, client coordinates
    int32_t yDest;
    int32_t destWidth;
    int32_t destHeight;
    int32_t xSrc;  // first picture column shown
    int32_t ySrc;  // first picture row shown, counted from the bottom row
    int32_t srcWidth;
    int32_t srcHeight;
    bool fillPane;  // the destination leaves part of the pane uncovered
};

struct PanCenter {
    float centerX;
    float centerY;
};

struct ClientSplit {
    RECT divider;  // the strip between the panes in compare mode
    RECT sourcePane;
    PaneAlign sourceAlign;
    RECT filteredPane;
    PaneAlign filteredAlign;
    bool hasSourcePane;
    bool hasFilteredPane;
};

// ClampPanCenter, ClampPreviewPoint and ComputePaneLayout compute under the module's own
// floating-point state (plugin/float_state.h): their results are the same
// whatever state the calling thread holds, and it gets that state back.

// Keeps the pan centre within 0..filteredWidth and 0..filteredHeight (a NaN
// coordinate becomes 0).
PanCenter ClampPanCenter(float centerX, float centerY, int32_t filteredWidth,
                         int32_t filteredHeight);

// The pan centre at a point of the host's preview, kept within the picture
// as ClampPanCenter keeps it.
PanCenter ClampPreviewPoint(int16_t x, int16_t y, int32_t filteredWidth, int32_t filteredHeight);

// Divides the client area into panes for the view mode (0 compare, 1 source,
// 2 filtered).
ClientSplit SplitClientArea(const RECT& client, int32_t screen);

// multi 0 fits the picture whole into the pane; 1..10 shows it magnified
// around the pan centre, given in filtered-picture pixels.
PaneLayout ComputePaneLayout(const RECT& pane, PaneAlign align, int32_t pictureWidth,
                             int32_t pictureHeight, int32_t filteredWidth, int32_t filteredHeight,
                             int32_t multi, float centerX, float centerY);

// Views worked out by hand to the pixel: the client area, view mode, picture
// sizes, magnification and pan centre of one paint, and for each pane it
// shows the pane, its alignment and its layout. The geometry's tests check
// each pane's layout (pane_layout_test.cpp); the paint's tests check that a
// paint of the view blits exactly these (paint_view_test.cpp).
#pragma once

#include <stdint.h>

#include <stdexcept>
#include <string>

#include "view/pane_layout.h"

struct WorkedPane {
    bool shown;
    RECT pane;
    PaneAlign align;
    PaneLayout layout;
};

// What one paint lays out.
struct ViewInputs {
    int32_t clientWidth;
    int32_t clientHeight;
    int32_t screen;
    int32_t sourceWidth;
    int32_t sourceHeight;
    int32_t filteredWidth;
    int32_t filteredHeight;
    int32_t multi;
    float centerX;
    float centerY;
};

struct WorkedLayout {
    const char* name;
    ViewInputs view;
    WorkedPane source;
    WorkedPane filtered;
};

// Rows: name; the view's inputs as client width, height, screen, source width, height, filtered
// width, height, multi, centre x, y; then the source pane and the filtered pane, each as shown,
// pane, alignment and layout: xDest, yDest, destWidth, destHeight / xSrc, ySrc, srcWidth,
// srcHeight / fillPane. 320 x 106 client (the window's initial size) and 640 x 480 pictures unless
// the row says otherwise.
// clang-format off
inline const WorkedLayout kWorkedLayouts[] = {
    {"compare fit", {320, 106, 0, 640, 480, 640, 480, 0, 0.0f, 0.0f},
     {true, {0, 0, 158, 106}, alignRight, {17, 0, 141, 106, 0, 0, 640, 480, true}},
     {true, {162, 0, 320, 106}, alignLeft, {162, 0, 141, 106, 0, 0, 640, 480, true}}},
    {"compare x2 middle", {320, 106, 0, 640, 480, 640, 480, 2, 320.0f, 240.0f},
     {true, {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 281, 213, 79, 53, false}},
     {true, {162, 0, 320, 106}, alignLeft, {162, 0, 158, 106, 281, 213, 79, 53, false}}},
    {"compare x2 corner", {320, 106, 0, 640, 480, 640, 480, 2, 10.0f, 470.0f},
     {true, {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 0, 0, 79, 53, false}},
     {true, {162, 0, 320, 106}, alignLeft, {162, 0, 158, 106, 0, 0, 79, 53, false}}},
    {"compare x2 filtered half size", {320, 106, 0, 640, 480, 320, 240, 2, 160.0f, 120.0f},
     {true, {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 281, 213, 79, 53, false}},
     {true, {162, 0, 320, 106}, alignLeft, {162, 0, 158, 106, 121, 93, 79, 53, false}}},
    {"source only fit", {320, 106, 1, 640, 480, 640, 480, 0, 0.0f, 0.0f},
     {true, {0, 0, 320, 106}, alignCenter, {89, 0, 141, 106, 0, 0, 640, 480, true}}, {}},
    {"source only x3 near right edge", {320, 106, 1, 640, 480, 640, 480, 3, 600.0f, 20.0f},
     {true, {0, 0, 320, 106}, alignCenter, {0, 0, 320, 106, 534, 442, 106, 35, false}}, {}},
    // The filter chain halves the picture: the centre (160, 120) of the filtered picture is
    // (320, 240) of the source.
    {"source only x2 filtered half size", {320, 106, 1, 640, 480, 320, 240, 2, 160.0f, 120.0f},
     {true, {0, 0, 320, 106}, alignCenter, {0, 0, 320, 106, 240, 213, 160, 53, false}}, {}},
    {"filtered only fit", {320, 106, 2, 640, 480, 640, 480, 0, 0.0f, 0.0f},
     {}, {true, {0, 0, 320, 106}, alignCenter, {89, 0, 141, 106, 0, 0, 640, 480, true}}},
    {"compare fit 704x396", {320, 106, 0, 704, 396, 704, 396, 0, 0.0f, 0.0f},
     {true, {0, 0, 158, 106}, alignRight, {0, 9, 158, 88, 0, 0, 704, 396, true}},
     {true, {162, 0, 320, 106}, alignLeft, {162, 9, 158, 88, 0, 0, 704, 396, true}}},
    {"client 640x480 compare x1", {640, 480, 0, 320, 240, 320, 240, 1, 0.0f, 0.0f},
     {true, {0, 0, 318, 480}, alignRight, {0, 120, 318, 240, 0, 0, 318, 240, true}},
     {true, {322, 0, 640, 480}, alignLeft, {322, 120, 318, 240, 0, 0, 318, 240, true}}},
    {"client 640x480 filtered only x3", {640, 480, 2, 320, 240, 320, 240, 3, 100.0f, 100.0f},
     {}, {true, {0, 0, 640, 480}, alignCenter, {0, 0, 640, 480, 0, 60, 213, 160, false}}},
    // Both headers zero (buffers reserved, nothing captured yet).
    {"no pictures fit", {320, 106, 0, 0, 0, 0, 0, 0, 0.0f, 0.0f},
     {true, {0, 0, 158, 106}, alignRight, {0, 53, 158, 0, 0, 0, 0, 0, true}},
     {true, {162, 0, 320, 106}, alignLeft, {162, 53, 158, 0, 0, 0, 0, 0, true}}},
};
// clang-format on

inline const WorkedLayout& WorkedLayoutNamed(const std::string& name) {
    for (const WorkedLayout& worked : kWorkedLayouts) {
        if (worked.name == name) return worked;
    }
    throw std::out_of_range("no worked layout named \"" + name + "\"");
}

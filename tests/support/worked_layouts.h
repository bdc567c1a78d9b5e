// The geometry worked out by hand to the pixel, the one table of cases for
// every model of it: views (the client area, view mode, picture sizes,
// magnification and pan centre of one paint, and for each pane it shows the
// pane, its alignment and its layout), single panes at the edges of the
// arithmetic, and pan centres clamped into the filtered picture.
// - pane_layout_test.cpp checks the module against every row;
// - paint_view_test.cpp checks that a paint of a worked view blits exactly
//   its layouts;
// - tests/e2e/model_test.py checks the end-to-end suite's model
//   (tests/e2e/expected.py) against every row, reading this file: keep its
//   tables in this form, one initializer list per table.
#pragma once

#include <stdint.h>

#include <limits>
#include <stdexcept>
#include <string>

#include "view/pane_layout.h"

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

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

enum Side { sourceSide, filteredSide };

// One pane of one paint: the client area and view mode give the pane through SplitClientArea,
// which must equal `pane` and `align`; the source pane shows the source picture, the filtered
// pane the filtered one.
struct PaneCase {
    std::string name;
    ViewInputs view;
    Side side;
    RECT pane;
    PaneAlign align;
    PaneLayout expected;
};

// Rows: name; the view's inputs as in the worked layouts; pane side; expected pane and alignment;
// expected layout as xDest, yDest, destWidth, destHeight / xSrc, ySrc, srcWidth, srcHeight /
// fillPane.
// clang-format off

inline const PaneCase kFitRatioCases[] = {
    // Equal ratios take the second branch: the width stays, height = trunc(paneW / aspect).
    {"equal ratio fills the pane", {320, 240, 1, 640, 480, 640, 480, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 320, 240}, alignCenter, {0, 0, 320, 240, 0, 0, 640, 480, false}},
    // 77 x (640 / 154) would truncate to 319; the second branch keeps 320.
    {"equal ratio keeps the width", {320, 77, 1, 640, 154, 640, 154, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 320, 77}, alignCenter, {0, 0, 320, 77, 0, 0, 640, 154, false}},
    // 320 / (640 / 106) is 52.999... in double precision and truncates to 52.
    {"equal ratio truncates the height", {320, 53, 1, 640, 106, 640, 106, 0, 0.0f, 0.0f},
     sourceSide, {0, 0, 320, 53}, alignCenter, {0, 0, 320, 52, 0, 0, 640, 106, true}},
    // Half of 321 is 160: the filtered pane is a pixel wider than the source pane.
    {"odd client width source", {321, 106, 0, 640, 480, 640, 480, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 158, 106}, alignRight, {17, 0, 141, 106, 0, 0, 640, 480, true}},
    {"odd client width filtered", {321, 106, 0, 640, 480, 640, 480, 0, 0.0f, 0.0f}, filteredSide,
     {162, 0, 321, 106}, alignLeft, {162, 0, 141, 106, 0, 0, 640, 480, true}},
    {"720x480 source in compare fit", {320, 106, 0, 720, 480, 704, 396, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 158, 106}, alignRight, {0, 0, 158, 105, 0, 0, 720, 480, true}},
    {"704x396 filtered in compare fit", {320, 106, 0, 720, 480, 704, 396, 0, 0.0f, 0.0f},
     filteredSide, {162, 0, 320, 106}, alignLeft, {162, 9, 158, 88, 0, 0, 704, 396, true}},
};

inline const PaneCase kMagnifiedCases[] = {
    // multi x pictureWidth == paneW takes the cropping branch, which shows the whole width.
    {"magnified width equal to pane", {320, 300, 1, 160, 120, 160, 120, 2, 80.0f, 60.0f},
     sourceSide, {0, 0, 320, 300}, alignCenter, {0, 30, 320, 240, 0, 0, 160, 120, true}},
    {"x1 small picture centred", {640, 480, 1, 320, 240, 320, 240, 1, 0.0f, 0.0f}, sourceSide,
     {0, 0, 640, 480}, alignCenter, {160, 120, 320, 240, 0, 0, 320, 240, true}},
    // The 318-wide compare panes crop a 320-wide picture around the centre.
    {"x1 crop around centre source", {640, 480, 0, 320, 240, 320, 240, 1, 160.0f, 120.0f},
     sourceSide, {0, 0, 318, 480}, alignRight, {0, 120, 318, 240, 1, 0, 318, 240, true}},
    {"x1 crop around centre filtered", {640, 480, 0, 320, 240, 320, 240, 1, 160.0f, 120.0f},
     filteredSide, {322, 0, 640, 480}, alignLeft, {322, 120, 318, 240, 1, 0, 318, 240, true}},
    {"x1 crop at far edge", {640, 480, 0, 320, 240, 320, 240, 1, 320.0f, 240.0f}, sourceSide,
     {0, 0, 318, 480}, alignRight, {0, 120, 318, 240, 2, 0, 318, 240, true}},
    // viewW 79, viewH 53: the lower limits use the truncated halves 39 and 26, so the top-left
    // corner starts at column 0 and top row 0 (the exact halves would give 1 and 1).
    {"odd view at lower limit", {320, 106, 0, 640, 480, 640, 480, 2, 0.0f, 0.0f}, sourceSide,
     {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 0, 427, 79, 53, false}},
    {"odd view at upper limit", {320, 106, 0, 640, 480, 640, 480, 2, 640.0f, 480.0f}, sourceSide,
     {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 561, 0, 79, 53, false}},
    {"NaN centre shows the top-left corner", {320, 106, 0, 640, 480, 640, 480, 2, kNaN, kNaN},
     sourceSide, {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 0, 427, 79, 53, false}},
    {"infinite centre", {320, 106, 0, 640, 480, 640, 480, 2, kInfinity, kInfinity}, sourceSide,
     {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 561, 0, 79, 53, false}},
    {"minus infinite centre", {320, 106, 0, 640, 480, 640, 480, 2, -kInfinity, -kInfinity},
     sourceSide, {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 0, 427, 79, 53, false}},
    // viewW = 3 / 4 = 0: no column shown, stretched over the whole pane width.
    {"pane narrower than multi", {3, 106, 1, 640, 480, 640, 480, 4, 320.0f, 240.0f}, sourceSide,
     {0, 0, 3, 106}, alignCenter, {0, 0, 3, 106, 320, 227, 0, 26, false}},
};

inline const PaneCase kPictureScaleCases[] = {
    // Filtered picture twice the source: the centre is halved for the source pane.
    {"filtered larger source", {320, 106, 0, 320, 240, 640, 480, 2, 320.0f, 240.0f}, sourceSide,
     {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 121, 93, 79, 53, false}},
    {"filtered larger source corner", {320, 106, 0, 320, 240, 640, 480, 2, 10.0f, 470.0f},
     sourceSide, {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 0, 0, 79, 53, false}},
    {"filtered larger filtered", {320, 106, 0, 320, 240, 640, 480, 2, 320.0f, 240.0f}, filteredSide,
     {162, 0, 320, 106}, alignLeft, {162, 0, 158, 106, 281, 213, 79, 53, false}},
    // 720 / 704 and 480 / 396: x 500.3 -> 511.67, y 300.7 -> 364.48 in source pixels.
    {"non-integer ratios source", {320, 106, 0, 720, 480, 704, 396, 2, 500.3f, 300.7f}, sourceSide,
     {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 473, 89, 79, 53, false}},
    {"non-integer ratios filtered", {320, 106, 0, 720, 480, 704, 396, 2, 500.3f, 300.7f},
     filteredSide, {162, 0, 320, 106}, alignLeft, {162, 0, 158, 106, 461, 68, 79, 53, false}},
    // 154 x 720 / 704 is exactly 157.5. With the double scaleX, 154 x scaleX + 0.5 is 158.0
    // (column 158 - 39 = 119); the float32 scaleY is a little smaller and gives 157.99999
    // (top row 157 - 26 = 131, ySrc 720 - 53 - 131 = 536).
    {"double scaleX float32 scaleY source", {320, 106, 0, 720, 720, 704, 704, 2, 154.0f, 154.0f},
     sourceSide, {0, 0, 158, 106}, alignRight, {0, 0, 158, 106, 119, 536, 79, 53, false}},
    {"double scaleX float32 scaleY filtered", {320, 106, 0, 720, 720, 704, 704, 2, 154.0f, 154.0f},
     filteredSide, {162, 0, 320, 106}, alignLeft, {162, 0, 158, 106, 115, 523, 79, 53, false}},
};

inline const PaneCase kDegenerateAreaCases[] = {
    // Client width 1: half 0, source pane 0..-2, filtered pane 2..1. Divisions truncate toward
    // zero: -2 / 1.333 = -1.5 -> -1, -1 / 1.333 -> 0, viewW -1 / 2 -> 0, halfW -1 / 2 -> 0.
    {"client width 1 fit source", {1, 106, 0, 640, 480, 640, 480, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, -2, 106}, alignRight, {0, 53, -2, -1, 0, 0, 640, 480, true}},
    {"client width 1 fit filtered", {1, 106, 0, 640, 480, 640, 480, 0, 0.0f, 0.0f}, filteredSide,
     {2, 0, 1, 106}, alignLeft, {2, 53, -1, 0, 0, 0, 640, 480, true}},
    {"client width 1 x2 source", {1, 106, 0, 640, 480, 640, 480, 2, 320.0f, 240.0f}, sourceSide,
     {0, 0, -2, 106}, alignRight, {0, 0, -2, 106, 320, 213, -1, 53, false}},
    {"client width 1 x2 filtered", {1, 106, 0, 640, 480, 640, 480, 2, 320.0f, 240.0f}, filteredSide,
     {2, 0, 1, 106}, alignLeft, {2, 0, -1, 106, 320, 213, 0, 53, false}},
    {"client width 3 fit source", {3, 106, 0, 640, 480, 640, 480, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, -1, 106}, alignRight, {0, 53, -1, 0, 0, 0, 640, 480, true}},
    // Height 0: the infinite pane ratio in fit mode gives 0 x 0 destinations.
    {"height 0 fit source", {320, 0, 0, 640, 480, 640, 480, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 158, 0}, alignRight, {158, 0, 0, 0, 0, 0, 640, 480, true}},
    {"height 0 fit filtered", {320, 0, 0, 640, 480, 640, 480, 0, 0.0f, 0.0f}, filteredSide,
     {162, 0, 320, 0}, alignLeft, {162, 0, 0, 0, 0, 0, 640, 480, true}},
    {"height 0 fit source only", {320, 0, 1, 640, 480, 640, 480, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 320, 0}, alignCenter, {160, 0, 0, 0, 0, 0, 640, 480, true}},
    {"height 0 x2 source", {320, 0, 0, 640, 480, 640, 480, 2, 320.0f, 240.0f}, sourceSide,
     {0, 0, 158, 0}, alignRight, {0, 0, 158, 0, 281, 240, 79, 0, false}},
    {"height 0 x2 filtered", {320, 0, 0, 640, 480, 640, 480, 2, 320.0f, 240.0f}, filteredSide,
     {162, 0, 320, 0}, alignLeft, {162, 0, 158, 0, 281, 240, 79, 0, false}},
    // 0 / 0 is no ratio: second fit branch, nothing to fill.
    {"empty client fit", {0, 0, 1, 640, 480, 640, 480, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 0, 0}, alignCenter, {0, 0, 0, 0, 0, 0, 640, 480, false}},
    // Both headers zero (buffers reserved, nothing captured yet).
    {"no pictures x2 source", {320, 106, 0, 0, 0, 0, 0, 2, 0.0f, 0.0f}, sourceSide,
     {0, 0, 158, 106}, alignRight, {158, 53, 0, 0, 0, 0, 0, 0, true}},
    {"no pictures x2 filtered", {320, 106, 0, 0, 0, 0, 0, 2, 0.0f, 0.0f}, filteredSide,
     {162, 0, 320, 106}, alignLeft, {162, 53, 0, 0, 0, 0, 0, 0, true}},
    {"no pictures x2 source only", {320, 106, 1, 0, 0, 0, 0, 2, 0.0f, 0.0f}, sourceSide,
     {0, 0, 320, 106}, alignCenter, {160, 53, 0, 0, 0, 0, 0, 0, true}},
    // Fitted heights beyond int32 saturate: 2^30 / 0.5 = 2^31 (the pane's height, INT32_MAX,
    // is 2^31 as a float), and INT32_MIN / 0.5 = -2^32.
    {"fit height above int32", {1073741824, INT32_MAX, 1, 1, 2, 1, 2, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 1073741824, INT32_MAX}, alignCenter, {0, 0, 1073741824, INT32_MAX, 0, 0, 1, 2, false}},
    {"fit height below int32", {INT32_MIN, 100, 1, 1, 2, 1, 2, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, INT32_MIN, 100}, alignCenter, {0, 1073741874, INT32_MIN, INT32_MIN, 0, 0, 1, 2, true}},
    // Found by fuzzing: a fit into a pane of negative width gives a negative height, which
    // centred in a pane as high as the largest int overflowed; (INT32_MAX + 1) / 2 it is.
    {"negative fit height in the tallest pane", {1, INT32_MAX, 0, 33, 17, 33, 17, 0, 0.0f, 0.0f},
     sourceSide, {0, 0, -2, INT32_MAX}, alignRight,
     {0, 1073741824, -2, -1, 0, 0, 33, 17, true}},
};

// A pan centre and the filtered picture's size, and the centre ClampPanCenter keeps.
struct CentreClampCase {
    const char* name;
    float centerX;
    float centerY;
    int32_t filteredWidth;
    int32_t filteredHeight;
    float expectedX;
    float expectedY;
};

inline const CentreClampCase kClampCases[] = {
    {"inside", 10.25f, 470.5f, 640, 480, 10.25f, 470.5f},
    {"below 0", -5.0f, -0.25f, 640, 480, 0.0f, 0.0f},
    {"above the far edge", 640.5f, 1000.0f, 640, 480, 640.0f, 480.0f},
    {"on the far edge", 640.0f, 480.0f, 640, 480, 640.0f, 480.0f},
    {"NaN", kNaN, kNaN, 640, 480, 0.0f, 0.0f},
    // Below 0 only where denormals are not taken as zero, as in the module's state.
    {"negative denormal", -0x1p-140f, -0x1p-149f, 640, 480, 0.0f, 0.0f},
    {"infinities", kInfinity, -kInfinity, 640, 480, 640.0f, 0.0f},
    {"no picture", 12.0f, 34.0f, 0, 0, 0.0f, 0.0f},
    // Neither bound is a float32: 16777219 rounds up to 16777220, 16777217 down to 16777216.
    {"float32 bounds", 3.0e7f, 3.0e7f, 16777219, 16777217, 16777220.0f, 16777216.0f},
};
// clang-format on

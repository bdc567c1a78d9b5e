// What the fuzzer compares the module's arithmetic with.
//
// The pane geometry (layout, clamped centre, preview point) is the module's
// own source compiled a second time, into the namespace `reference`, with the
// harness's arithmetic: SSE2 doubles, also in the 32-bit builds, where the
// module's x87 code under its 53-bit state must give the same bits on every
// input. It sees precision faults only, never a wrong formula: the tables of
// the native suite see those.
//
// The drag factors and the drag step are each one line of arithmetic, written
// out here on their own, so the fuzzer sees a wrong formula in them as well.
#pragma once

#include <stdint.h>

#include "view/pane_layout.h"

namespace reference {

PanCenter ClampPanCenter(float centerX, float centerY, int32_t filteredWidth,
                         int32_t filteredHeight);
PanCenter ClampPreviewPoint(int16_t x, int16_t y, int32_t filteredWidth, int32_t filteredHeight);
PaneLayout ComputePaneLayout(const RECT& pane, PaneAlign align, int32_t pictureWidth,
                             int32_t pictureHeight, int32_t filteredWidth, int32_t filteredHeight,
                             int32_t multi, float centerX, float centerY);

// The factors of a drag in the source pane: source-picture pixels per
// filtered-picture pixel, each the quotient of the sizes rounded once to float.
struct DragFactors {
    float x;
    float y;
};
DragFactors SourcePaneDragFactors(int32_t sourceWidth, int32_t sourceHeight, int32_t filteredWidth,
                                  int32_t filteredHeight);
// The centre after a drag step of (dx, dy) client pixels at magnification
// `multi`: centre - dx / multi / factor in double, rounded once to float.
PanCenter DragStep(PanCenter center, int32_t dx, int32_t dy, int32_t multi, DragFactors factors);

}  // namespace reference

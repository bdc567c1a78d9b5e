// The module's pane geometry and drag steps compiled a second time, into the
// namespace `reference`, with the harness's arithmetic: SSE2 doubles, also in
// the 32-bit builds, where the module's x87 code under its 53-bit state must
// give the same bits on every input.
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

// The factors of a drag in the source pane (source-picture pixels per
// filtered-picture pixel), and the centre after a drag step of (dx, dy)
// client pixels at magnification `multi`.
struct DragFactors {
    float x;
    float y;
};
DragFactors SourcePaneDragFactors(int32_t sourceWidth, int32_t sourceHeight, int32_t filteredWidth,
                                  int32_t filteredHeight);
PanCenter DragStep(PanCenter center, int32_t dx, int32_t dy, int32_t multi, DragFactors factors);

}  // namespace reference

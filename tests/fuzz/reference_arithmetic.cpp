// The module's own sources, included inside the namespace `reference`, so
// that the arithmetic is the same to the letter and only the compilation
// differs. Every header they include is read first, outside the namespace,
// except the floating-point state's: inside it, the reference gets its own
// RoundToFloat and UnderModuleFloatState, and a state switch that does
// nothing, as SSE2 arithmetic in the harness's own state needs none.

#include "tests/fuzz/reference_arithmetic.h"

#include <stdint.h>

#include "capture/frame_store.h"
#include "plugin/view_state.h"
#include "ui/menu_ids.h"
#include "ui/window_messages.h"
#include "view/paint_view.h"
#include "view/pane_layout.h"

namespace reference {

#include "plugin/float_state.h"

CallerFloatState EnterModuleFloatState() { return {}; }
void LeaveModuleFloatState(const CallerFloatState&) {}

#include "ui/window_messages.cpp"
#include "view/pane_layout.cpp"

DragFactors SourcePaneDragFactors(int32_t sourceWidth, int32_t sourceHeight, int32_t filteredWidth,
                                  int32_t filteredHeight) {
    const DragScales scales =
        SourcePaneScales(sourceWidth, sourceHeight, filteredWidth, filteredHeight);
    return {scales.x, scales.y};
}

PanCenter DragStep(PanCenter center, int32_t dx, int32_t dy, int32_t multi, DragFactors factors) {
    return DraggedCenter(center, dx, dy, multi, {factors.x, factors.y});
}

}  // namespace reference

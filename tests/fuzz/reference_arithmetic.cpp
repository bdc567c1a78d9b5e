// The pane geometry: the module's own source, included inside the namespace
// `reference`, so that the arithmetic is the same to the letter and only the
// compilation differs. Every header it includes is read first, outside the
// namespace, except the floating-point state's: inside it, the reference gets
// its own RoundToFloat and UnderModuleFloatState, and a state switch that
// does nothing, as SSE2 arithmetic in the harness's own state needs none.

#include "tests/fuzz/reference_arithmetic.h"

#include <stdint.h>

#include "view/pane_layout.h"

namespace reference {

#include "plugin/float_state.h"

CallerFloatState EnterModuleFloatState() { return {}; }
void LeaveModuleFloatState(const CallerFloatState&) {}

#include "view/pane_layout.cpp"

DragFactors SourcePaneDragFactors(int32_t sourceWidth, int32_t sourceHeight, int32_t filteredWidth,
                                  int32_t filteredHeight) {
    return {static_cast<float>(static_cast<double>(sourceWidth) / filteredWidth),
            static_cast<float>(static_cast<double>(sourceHeight) / filteredHeight)};
}

PanCenter DragStep(PanCenter center, int32_t dx, int32_t dy, int32_t multi, DragFactors factors) {
    return {static_cast<float>(center.centerX - dx / static_cast<double>(multi) / factors.x),
            static_cast<float>(center.centerY - dy / static_cast<double>(multi) / factors.y)};
}

}  // namespace reference

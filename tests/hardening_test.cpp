// Faults that fuzzing found in the module and that no table of the part's own
// tests can hold, each kept as a case here. The others are rows of those
// tables, each marked as found by fuzzing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "plugin/view_state.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_host.h"
#include "view/paint_view.h"

namespace {

using HardeningTest = ModuleTest;

// A client narrower than the divider strip gives the source pane a negative
// width; magnified, its source extent is negative too, and blitting it read
// a column beside the picture (column -1 with the centre at the left edge).
TEST_F(HardeningTest, ClientNarrowerThanTheDividerBlitsOnlyColumnsOfThePicture) {
    const int32_t width = 33;
    const int32_t height = 17;
    HoldPictures(width, height, width, height);
    for (int32_t clientWidth = 0; clientWidth <= 5; ++clientWidth) {
        for (int32_t multi = 0; multi <= maxMulti; ++multi) {
            for (float centerX : {0.0f, static_cast<float>(width)}) {
                SCOPED_TRACE("client width " + std::to_string(clientWidth) + ", multi " +
                             std::to_string(multi) + ", centre x " + std::to_string(centerX));
                fake::platform().clientRect = {0, 0, clientWidth, 106};
                viewState.multi = multi;
                viewState.centerX = centerX;
                fake::Calls().clear();
                PaintView(filter, fake::edit, nullptr);
                for (const call_log::Blit& blit : call_log::Blits()) {
                    const int first = std::min(blit.xSrc, blit.xSrc + blit.srcWidth);
                    const int last = std::max(blit.xSrc, blit.xSrc + blit.srcWidth);
                    EXPECT_GE(first, 0);
                    EXPECT_LE(last, width);
                }
            }
        }
    }
}

}  // namespace

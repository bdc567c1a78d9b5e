// Faults found by fuzzing the module, each kept as a case here.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/frame_store.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "tests/support/fake_host.h"
#include "ui/window_messages.h"
#include "view/paint_view.h"
#include "view/pane_layout.h"

namespace {

struct Blit {
    int xSrc, ySrc, srcWidth, srcHeight;
};

// The source rectangles of the StretchDIBits calls in the log.
std::vector<Blit> Blits() {
    std::vector<Blit> blits;
    for (const std::string& line : fake::Calls()) {
        Blit blit;
        if (sscanf(line.c_str(), "StretchDIBits(%*[^,], %*d, %*d, %*d, %*d, %d, %d, %d, %d,",
                   &blit.xSrc, &blit.ySrc, &blit.srcWidth, &blit.srcHeight) == 4) {
            blits.push_back(blit);
        }
    }
    return blits;
}

class HardeningTest : public ModuleTest {
protected:
    // Both buffers reserved and holding a captured picture, the same size
    // before and after the filter chain.
    void Capture(int32_t width, int32_t height) {
        HandleWindowMessage(fake::window, notifyVideoOpened, 0, 0, fake::edit, filter);
        fake::host().displayedPixels.assign(static_cast<size_t>(width) * height * 3, 0);
        fake::host().sourceBytes = fake::host().displayedPixels.size();
        FrameProcInfo info = fake::Frame(width, height, width, height);
        ProcessFrame(filter, &info);
    }
};

// A client narrower than the divider strip gives the source pane a negative
// width; magnified, its source extent is negative too, and blitting it read
// a column beside the picture (column -1 with the centre at the left edge).
TEST_F(HardeningTest, ClientNarrowerThanTheDividerBlitsOnlyColumnsOfThePicture) {
    const int32_t width = 33;
    const int32_t height = 17;
    Capture(width, height);
    ASSERT_EQ(frameStore.frameCaptured, 1);
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
                for (const Blit& blit : Blits()) {
                    const int first = std::min(blit.xSrc, blit.xSrc + blit.srcWidth);
                    const int last = std::max(blit.xSrc, blit.xSrc + blit.srcWidth);
                    EXPECT_GE(first, 0);
                    EXPECT_LE(last, width);
                }
            }
        }
    }
}

// The right button steps the mode loaded from the settings store before any
// paint has clamped it; the largest int overflowed there (and, wrapped to
// the smallest, ended in compare mode instead of source).
TEST_F(HardeningTest, RightButtonStepsAnyStoredModeWithoutOverflow) {
    const struct {
        int stored;
        int32_t shown;
    } cases[] = {{INT32_MAX, 1}, {INT32_MAX - 1, 1}, {3, 1}, {-5, 0}, {INT32_MIN, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE("stored Screen " + std::to_string(c.stored));
        fake::host().settings["Screen"] = c.stored;
        InitFilter(filter);
        HandleWindowMessage(fake::window, WM_RBUTTONUP, 0, 0, fake::edit, filter);
        EXPECT_EQ(viewState.screen, c.shown);
    }
}

// Fitting into a pane of negative width gives a negative destination height,
// and centring it in a pane as high as the largest int overflowed.
TEST(HardeningLayoutTest, NegativeFitHeightCentresInTheTallestPaneWithoutOverflow) {
    const RECT pane = {0, 0, -2, INT32_MAX};
    const PaneLayout layout = ComputePaneLayout(pane, alignRight, 33, 17, 33, 17, 0, 0.0f, 0.0f);
    EXPECT_EQ(layout.destHeight, -1);
    EXPECT_EQ(layout.yDest, 1073741824);  // (INT32_MAX + 1) / 2
}

}  // namespace

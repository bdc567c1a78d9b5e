#include "view/paint_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "capture/frame_store.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "tests/support/fake_host.h"
#include "tests/support/paint_calls.h"
#include "tests/support/thread_float_state.h"
#include "tests/support/worked_layouts.h"
#include "ui/menu_ids.h"

namespace {

using namespace call_log;
using namespace paint_calls;

class PaintViewTest : public ModuleTest {
protected:
    // Both buffers holding pictures of the view's sizes, and its client area and view.
    void Show(const ViewInputs& view) {
        HoldPictures(view.sourceWidth, view.sourceHeight, view.filteredWidth, view.filteredHeight);
        fake::platform().clientRect = {0, 0, view.clientWidth, view.clientHeight};
        viewState.screen = view.screen;
        viewState.multi = view.multi;
        viewState.centerX = view.centerX;
        viewState.centerY = view.centerY;
    }

    void Paint(const int16_t* point = nullptr) {
        fake::Calls().clear();
        fake::MenuItemRecords().clear();
        PaintView(filter, fake::edit, point);
    }
};

template <typename Row>
class PaintViewRowTest : public PaintViewTest, public ::testing::WithParamInterface<Row> {};

TEST_F(PaintViewTest, FirstDrawingPaintInCompareModeFillsDividerThenEachPaneBeforeItsPicture) {
    HoldPictures(640, 480, 640, 480);
    Paint();
    ExpectSequence(Opening(0, 0, "Pandrel - 比較 - 全体") +
                   Calls{stretchMode, Fill({158, 0, 162, 106})} + Drawing("compare fit") +
                   Calls{releaseDc});
    EXPECT_EQ(viewState.lastPaintedScreen, 0);
}

// A paint of a worked layout after one of the same mode (no divider): the
// panes only.
struct DrawCase {
    const char* name;
    const char* workedLayout;
};

void PrintTo(const DrawCase& row, std::ostream* out) { *out << row.workedLayout; }

using PaintViewDrawTest = PaintViewRowTest<DrawCase>;

TEST_P(PaintViewDrawTest, BlitsEachPaneWithItsLayout) {
    const WorkedLayout& worked = WorkedLayoutNamed(GetParam().workedLayout);
    Show(worked.view);
    viewState.lastPaintedScreen = worked.view.screen;
    Paint();
    ExpectSequence(Calls{"isEditing(edit)", stretchMode} + Drawing(worked) + Calls{releaseDc},
                   logEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PaintViewDrawTest,
    ::testing::Values(DrawCase{"CompareX2", "compare x2 middle"},
                      DrawCase{"CompareX2CentreBeyondReach", "compare x2 corner"},
                      DrawCase{"CompareX2FilterHalvesThePicture", "compare x2 filtered half size"},
                      DrawCase{"CompareFitWidePicture", "compare fit 704x396"},
                      DrawCase{"CompareX1CropsToThePaneWidth", "client 640x480 compare x1"},
                      DrawCase{"CompareFitBeforeFirstCapture", "no pictures fit"},
                      DrawCase{"SourceFit", "source only fit"},
                      DrawCase{"SourceX3", "source only x3 near right edge"},
                      DrawCase{"SourceX2FramedByTheFilteredSize",
                               "source only x2 filtered half size"},
                      DrawCase{"FilteredFit", "filtered only fit"},
                      DrawCase{"FilteredX3", "client 640x480 filtered only x3"}),
    RowName<DrawCase>);

// A paint that draws no pictures: title and check marks set, the whole client
// area filled, the pan centre and lastPaintedScreen left alone.
struct BackgroundCase {
    const char* name;
    bool sourceMissing;
    bool filteredMissing;
    int editing;
};

using PaintViewBackgroundTest = PaintViewRowTest<BackgroundCase>;

TEST_P(PaintViewBackgroundTest, FillsTheWholeClientAreaAndKeepsTheCentre) {
    const BackgroundCase& c = GetParam();
    HoldPictures(320, 240, 320, 240);
    fake::platform().clientRect = {0, 0, 400, 300};
    uint8_t* const source =
        std::exchange(frameStore.sourcePixels, c.sourceMissing ? nullptr : frameStore.sourcePixels);
    uint8_t* const filtered = std::exchange(
        frameStore.filteredPixels, c.filteredMissing ? nullptr : frameStore.filteredPixels);
    fake::host().editing = c.editing;
    viewState.centerX = 500;
    viewState.centerY = -6;
    const int16_t point[2] = {100, 100};
    Paint(point);
    frameStore.sourcePixels = source;
    frameStore.filteredPixels = filtered;

    ExpectSequence(Opening(0, 0, "Pandrel - 比較 - 全体") +
                   Calls{Fill({0, 0, 400, 300}), releaseDc});
    EXPECT_EQ(viewState.centerX, 500);
    EXPECT_EQ(viewState.centerY, -6);
    EXPECT_EQ(viewState.lastPaintedScreen, -1);
}

INSTANTIATE_TEST_SUITE_P(NoPictures, PaintViewBackgroundTest,
                         ::testing::Values(BackgroundCase{"NoVideo", false, false, 0},
                                           BackgroundCase{"SourceBufferMissing", true, false, 1},
                                           BackgroundCase{"FilteredBufferMissing", false, true, 1},
                                           BackgroundCase{"BothBuffersMissing", true, true, 1},
                                           BackgroundCase{"NothingAtAll", true, true, 0}),
                         RowName<BackgroundCase>);

TEST_F(PaintViewTest, StoredOutOfRangeSettingsAreClampedByTheFirstPaintAndSavedClamped) {
    fake::host().settings = {{"Screen", 7}, {"Multi", -3}};
    InitFilter(filter);
    HoldPictures(640, 480, 640, 480);
    Paint();
    ExpectSequence(Opening(2, 0, "Pandrel - フィルタ後 - 全体") + Calls{stretchMode} +
                   Drawing("filtered only fit") + Calls{releaseDc});
    EXPECT_EQ(viewState.screen, 2);
    EXPECT_EQ(viewState.multi, 0);

    fake::Calls().clear();
    ExitFilter(filter);
    ExpectSequence(
        {"saveSettingInt(filter, \"Screen\", 2)", "saveSettingInt(filter, \"Multi\", 0)"},
        logStart);
}

struct ClampCase {
    int32_t screen, multi;
    int32_t clampedScreen, clampedMulti;
};

using PaintViewClampTest = PaintViewRowTest<ClampCase>;

TEST_P(PaintViewClampTest, ModeAndMagnificationAreWrittenBackClampedEvenWithoutPictures) {
    const ClampCase& c = GetParam();
    viewState.screen = c.screen;
    viewState.multi = c.multi;
    Paint();
    EXPECT_EQ(viewState.screen, c.clampedScreen);
    EXPECT_EQ(viewState.multi, c.clampedMulti);
    const Calls opening = Opening(c.clampedScreen, c.clampedMulti, "");
    ExpectSequence(Calls(opening.begin(), opening.begin() + 15), logStart);  // the check marks
}

INSTANTIATE_TEST_SUITE_P(OutOfRange, PaintViewClampTest,
                         ::testing::Values(ClampCase{7, -3, 2, 0}, ClampCase{-1, 11, 0, 10},
                                           ClampCase{3, 100, 2, 10},
                                           ClampCase{INT32_MIN, INT32_MAX, 0, 10},
                                           ClampCase{INT32_MAX, INT32_MIN, 2, 0}));

TEST_F(PaintViewTest, TenfoldCompareChecksTheLastZoomItem) {
    HoldPictures(640, 480, 640, 480);
    viewState.multi = 10;
    Paint();
    ExpectSequence(Opening(0, 10, "Pandrel - 比較 - x10"), logStart);
}

TEST_F(PaintViewTest, MenuRecordCarriesOnlySizeMaskAndState) {
    viewState.screen = 1;
    viewState.multi = 4;
    Paint();
    const std::vector<MENUITEMINFO98A>& records = fake::MenuItemRecords();
    ASSERT_EQ(records.size(), 14u);
    for (size_t i = 0; i < records.size(); ++i) {
        const MENUITEMINFO98A& record = records[i];
        const UINT id = ID_VIEW_COMPARE + i;
        SCOPED_TRACE("item " + std::to_string(id));
        EXPECT_EQ(record.cbSize, sizeof(MENUITEMINFO98A));
        EXPECT_EQ(record.fMask, 1u);
        EXPECT_EQ(record.fState, id == ID_VIEW_SOURCE || id == ID_ZOOM_X4 ? 8u : 0u);
        EXPECT_EQ(record.fType, 0u);
        EXPECT_EQ(record.wID, 0u);
        EXPECT_EQ(record.hSubMenu, nullptr);
        EXPECT_EQ(record.hbmpChecked, nullptr);
        EXPECT_EQ(record.hbmpUnchecked, nullptr);
        EXPECT_EQ(record.dwItemData, 0u);
        EXPECT_EQ(record.dwTypeData, nullptr);
        EXPECT_EQ(record.cch, 0u);
    }
}

struct TitleCase {
    int32_t screen;
    int32_t multi;
    const char* title;  // UTF-8
};

using PaintViewTitleTest = PaintViewRowTest<TitleCase>;

TEST_P(PaintViewTitleTest, TitleIsTheShiftJisOfModeAndMagnification) {
    const TitleCase& c = GetParam();
    viewState.screen = c.screen;
    viewState.multi = c.multi;
    Paint();
    EXPECT_EQ(LastStarting("SetWindowTextA("), TitleLine(c.title));
}

INSTANTIATE_TEST_SUITE_P(
    ModesByMagnifications, PaintViewTitleTest,
    ::testing::Values(
        TitleCase{0, 0, "Pandrel - 比較 - 全体"}, TitleCase{0, 1, "Pandrel - 比較 - x1"},
        TitleCase{0, 2, "Pandrel - 比較 - x2"}, TitleCase{0, 9, "Pandrel - 比較 - x9"},
        TitleCase{0, 10, "Pandrel - 比較 - x10"}, TitleCase{1, 0, "Pandrel - ソース - 全体"},
        TitleCase{1, 1, "Pandrel - ソース - x1"}, TitleCase{1, 3, "Pandrel - ソース - x3"},
        TitleCase{1, 9, "Pandrel - ソース - x9"}, TitleCase{1, 10, "Pandrel - ソース - x10"},
        TitleCase{2, 0, "Pandrel - フィルタ後 - 全体"},
        TitleCase{2, 1, "Pandrel - フィルタ後 - x1"}, TitleCase{2, 5, "Pandrel - フィルタ後 - x5"},
        TitleCase{2, 9, "Pandrel - フィルタ後 - x9"},
        TitleCase{2, 10, "Pandrel - フィルタ後 - x10"}));

TEST_F(PaintViewTest, DividerIsFilledOnlyWhenADrawingPaintEntersCompareMode) {
    HoldPictures(640, 480, 640, 480);
    const std::string divider = Fill({158, 0, 162, 106});

    viewState.screen = 1;
    Paint();
    EXPECT_EQ(Starting("FillRect("), Calls{Fill({0, 0, 320, 106})}) << "source only, fitted";

    viewState.screen = 0;
    viewState.multi = 3;
    Paint();
    EXPECT_EQ(Starting("FillRect("), Calls{divider}) << "compare, entered from source only";

    viewState.multi = 4;
    Paint();
    EXPECT_EQ(Starting("FillRect("), Calls{}) << "compare, zoom changed";

    fake::platform().clientRect = {0, 0, 400, 106};
    Paint();
    EXPECT_EQ(Starting("FillRect("), Calls{}) << "compare, resized";

    fake::host().editing = 0;
    Paint();
    EXPECT_EQ(Starting("FillRect("), Calls{Fill({0, 0, 400, 106})}) << "no video";

    fake::host().editing = 1;
    Paint();
    EXPECT_EQ(Starting("FillRect("), Calls{}) << "compare again after a paint without pictures";

    viewState.screen = 2;
    Paint();
    viewState.screen = 0;
    Paint();
    EXPECT_EQ(Starting("FillRect("), Calls{Fill({198, 0, 202, 106})})
        << "compare, entered from filtered only";
}

TEST_F(PaintViewTest, PaintsWithoutPicturesDoNotCountAsTheFirstDrawingPaint) {
    HoldPictures(640, 480, 640, 480);
    viewState.multi = 3;
    fake::host().editing = 0;
    Paint();
    fake::host().editing = 1;
    Paint();
    EXPECT_EQ(Starting("FillRect("), Calls{Fill({158, 0, 162, 106})});
}

struct CentreCase {
    const char* name;
    float storedX, storedY;
    bool withPoint;
    int16_t pointX, pointY;
    float expectedX, expectedY;
};

using PaintViewCentreTest = PaintViewRowTest<CentreCase>;

TEST_P(PaintViewCentreTest, PointReplacesTheCentreWhichIsClampedIntoTheFilteredPicture) {
    const CentreCase& c = GetParam();
    HoldPictures(640, 480, 320, 240);
    viewState.centerX = c.storedX;
    viewState.centerY = c.storedY;
    const int16_t point[2] = {c.pointX, c.pointY};
    Paint(c.withPoint ? point : nullptr);
    EXPECT_EQ(viewState.centerX, c.expectedX);
    EXPECT_EQ(viewState.centerY, c.expectedY);
}

INSTANTIATE_TEST_SUITE_P(
    Centres, PaintViewCentreTest,
    ::testing::Values(CentreCase{"PointBeyondTwoEdges", 50, 50, true, -7, 300, 0, 240},
                      CentreCase{"PointInside", 50, 50, true, 100, 37, 100, 37},
                      CentreCase{"PointOnTheFarEdges", 50, 50, true, 320, 240, 320, 240},
                      CentreCase{"PointAtExtremes", 50, 50, true, INT16_MIN, INT16_MAX, 0, 240},
                      CentreCase{"StoredCentreBeyondEdges", 1000.5f, -3, false, 0, 0, 320, 0},
                      CentreCase{"StoredCentreInside", 12.25f, 200.75f, false, 0, 0, 12.25f,
                                 200.75f}),
    RowName<CentreCase>);

TEST_F(PaintViewTest, NullMenuAndDeviceContextArePassedOnUntested) {
    HoldPictures(640, 480, 640, 480);
    fake::platform().menu = nullptr;
    fake::platform().dc = nullptr;
    viewState.screen = 2;
    viewState.lastPaintedScreen = 2;
    Paint();
    ExpectSequence(Opening(2, 0, "Pandrel - フィルタ後 - 全体", "null") +
                   Calls{"SetStretchBltMode(null, 3)"} + Drawing("filtered only fit", "null") +
                   Calls{"ReleaseDC(window, null)"});
}

}  // namespace

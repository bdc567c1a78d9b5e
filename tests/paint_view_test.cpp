#include "view/paint_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "capture/frame_store.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "tests/support/fake_host.h"
#include "tests/support/paint_calls.h"
#include "tests/support/recording_win32.h"

namespace {

using namespace paint_calls;

void Describe(BITMAPINFO& info, int32_t width, int32_t height) {
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
}

class PaintViewTest : public ModuleTest {
protected:
    // Both buffers reserved, holding pictures of the given sizes.
    void Store(int32_t sourceWidth, int32_t sourceHeight, int32_t filteredWidth,
               int32_t filteredHeight) {
        AllocateImageBuffers(filter);
        NameBuffers();
        Describe(frameStore.sourceInfo, sourceWidth, sourceHeight);
        Describe(frameStore.filteredInfo, filteredWidth, filteredHeight);
        recording::Calls().clear();
    }

    void Paint(const int16_t* point = nullptr) {
        recording::Calls().clear();
        recording::MenuItemRecords().clear();
        PaintView(filter, testEdit, point);
    }

    // The FillRect lines of the last paint.
    static Calls Fills() {
        Calls fills;
        for (const std::string& line : recording::Calls()) {
            if (line.rfind("FillRect(", 0) == 0) fills.push_back(line);
        }
        return fills;
    }
};

TEST_F(PaintViewTest, FirstDrawingPaintInCompareModeFillsDividerThenEachPaneBeforeItsPicture) {
    Store(640, 480, 640, 480);
    Paint();
    EXPECT_EQ(recording::Calls(),
              (Opening(0, 0, "Pandrel - 比較 - 全体") +
               Calls{stretchMode, Fill({158, 0, 162, 106}), Fill({0, 0, 158, 106}),
                     SourceBlit({17, 0, 141, 106, 0, 0, 640, 480}), Fill({162, 0, 320, 106}),
                     FilteredBlit({162, 0, 141, 106, 0, 0, 640, 480}), releaseDc}));
    EXPECT_EQ(viewState.lastPaintedScreen, 0);
}

TEST_F(PaintViewTest, SourceOnlyBlitsTheSourcePictureAloneFramedByTheFilteredSize) {
    // The filter chain halves the picture: the centre (160, 120) of the
    // filtered picture is (320, 240) of the source.
    Store(640, 480, 320, 240);
    viewState.screen = 1;
    viewState.multi = 2;
    viewState.centerX = 160;
    viewState.centerY = 120;
    Paint();
    EXPECT_EQ(recording::Calls(),
              (Opening(1, 2, "Pandrel - ソース - x2") +
               Calls{stretchMode, SourceBlit({0, 0, 320, 106, 240, 213, 160, 53}), releaseDc}));
    EXPECT_EQ(viewState.lastPaintedScreen, 1);
}

struct DrawCase {
    const char* name;
    RECT client;
    int32_t screen;
    int32_t multi;
    float centerX, centerY;
    int32_t sourceWidth, sourceHeight, filteredWidth, filteredHeight;
    Calls drawing;  // between SetStretchBltMode and ReleaseDC
};

class PaintViewDrawTest : public PaintViewTest, public ::testing::WithParamInterface<DrawCase> {};

TEST_P(PaintViewDrawTest, BlitsEachPaneWithItsLayout) {
    const DrawCase& c = GetParam();
    Store(c.sourceWidth, c.sourceHeight, c.filteredWidth, c.filteredHeight);
    recording::answers().clientRect = c.client;
    viewState.screen = c.screen;
    viewState.multi = c.multi;
    viewState.centerX = c.centerX;
    viewState.centerY = c.centerY;
    viewState.lastPaintedScreen = c.screen;  // no divider: only the panes
    Paint();
    const Calls& calls = recording::Calls();
    ASSERT_GE(calls.size(), 20u);
    EXPECT_EQ(calls[19], stretchMode);
    EXPECT_EQ(Calls(calls.begin() + 20, calls.end()), c.drawing + Calls{releaseDc});
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PaintViewDrawTest,
    ::testing::Values(
        DrawCase{"CompareX2",
                 {0, 0, 320, 106},
                 0,
                 2,
                 320,
                 240,
                 640,
                 480,
                 640,
                 480,
                 {SourceBlit({0, 0, 158, 106, 281, 213, 79, 53}),
                  FilteredBlit({162, 0, 158, 106, 281, 213, 79, 53})}},
        DrawCase{"CompareX2CentreBeyondReach",
                 {0, 0, 320, 106},
                 0,
                 2,
                 10,
                 470,
                 640,
                 480,
                 640,
                 480,
                 {SourceBlit({0, 0, 158, 106, 0, 0, 79, 53}),
                  FilteredBlit({162, 0, 158, 106, 0, 0, 79, 53})}},
        DrawCase{"CompareX2FilterHalvesThePicture",
                 {0, 0, 320, 106},
                 0,
                 2,
                 160,
                 120,
                 640,
                 480,
                 320,
                 240,
                 {SourceBlit({0, 0, 158, 106, 281, 213, 79, 53}),
                  FilteredBlit({162, 0, 158, 106, 121, 93, 79, 53})}},
        DrawCase{"CompareFitWidePicture",
                 {0, 0, 320, 106},
                 0,
                 0,
                 0,
                 0,
                 704,
                 396,
                 704,
                 396,
                 {Fill({0, 0, 158, 106}), SourceBlit({0, 9, 158, 88, 0, 0, 704, 396}),
                  Fill({162, 0, 320, 106}), FilteredBlit({162, 9, 158, 88, 0, 0, 704, 396})}},
        DrawCase{"CompareX1CropsToThePaneWidth",
                 {0, 0, 640, 480},
                 0,
                 1,
                 0,
                 0,
                 320,
                 240,
                 320,
                 240,
                 {Fill({0, 0, 318, 480}), SourceBlit({0, 120, 318, 240, 0, 0, 318, 240}),
                  Fill({322, 0, 640, 480}), FilteredBlit({322, 120, 318, 240, 0, 0, 318, 240})}},
        DrawCase{"CompareFitBeforeFirstCapture",
                 {0, 0, 320, 106},
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 {Fill({0, 0, 158, 106}), SourceBlit({0, 53, 158, 0, 0, 0, 0, 0}),
                  Fill({162, 0, 320, 106}), FilteredBlit({162, 53, 158, 0, 0, 0, 0, 0})}},
        DrawCase{"SourceFit",
                 {0, 0, 320, 106},
                 1,
                 0,
                 0,
                 0,
                 640,
                 480,
                 640,
                 480,
                 {Fill({0, 0, 320, 106}), SourceBlit({89, 0, 141, 106, 0, 0, 640, 480})}},
        DrawCase{"SourceX3",
                 {0, 0, 320, 106},
                 1,
                 3,
                 600,
                 20,
                 640,
                 480,
                 640,
                 480,
                 {SourceBlit({0, 0, 320, 106, 534, 442, 106, 35})}},
        DrawCase{"FilteredFit",
                 {0, 0, 320, 106},
                 2,
                 0,
                 0,
                 0,
                 640,
                 480,
                 640,
                 480,
                 {Fill({0, 0, 320, 106}), FilteredBlit({89, 0, 141, 106, 0, 0, 640, 480})}},
        DrawCase{"FilteredX3",
                 {0, 0, 640, 480},
                 2,
                 3,
                 100,
                 100,
                 320,
                 240,
                 320,
                 240,
                 {FilteredBlit({0, 0, 640, 480, 0, 60, 213, 160})}}),
    [](const ::testing::TestParamInfo<DrawCase>& info) { return std::string(info.param.name); });

// A paint that draws no pictures: title and check marks set, the whole client
// area filled, the pan centre and lastPaintedScreen left alone.
struct BackgroundCase {
    const char* name;
    bool sourceMissing;
    bool filteredMissing;
    int editing;
};

class PaintViewBackgroundTest : public PaintViewTest,
                                public ::testing::WithParamInterface<BackgroundCase> {};

TEST_P(PaintViewBackgroundTest, FillsTheWholeClientAreaAndKeepsTheCentre) {
    const BackgroundCase& c = GetParam();
    Store(320, 240, 320, 240);
    recording::answers().clientRect = {0, 0, 400, 300};
    uint8_t* const source =
        std::exchange(frameStore.sourcePixels, c.sourceMissing ? nullptr : frameStore.sourcePixels);
    uint8_t* const filtered = std::exchange(
        frameStore.filteredPixels, c.filteredMissing ? nullptr : frameStore.filteredPixels);
    fakeHost.editing = c.editing;
    viewState.centerX = 500;
    viewState.centerY = -6;
    const int16_t point[2] = {100, 100};
    Paint(point);
    frameStore.sourcePixels = source;
    frameStore.filteredPixels = filtered;

    EXPECT_EQ(recording::Calls(),
              (Opening(0, 0, "Pandrel - 比較 - 全体") + Calls{Fill({0, 0, 400, 300}), releaseDc}));
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
                         [](const ::testing::TestParamInfo<BackgroundCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(PaintViewTest, StoredOutOfRangeSettingsAreClampedByTheFirstPaintAndSavedClamped) {
    fakeHost.settings = {{"Screen", 7}, {"Multi", -3}};
    InitFilter(filter);
    Store(640, 480, 640, 480);
    Paint();
    EXPECT_EQ(recording::Calls(),
              (Opening(2, 0, "Pandrel - フィルタ後 - 全体") +
               Calls{stretchMode, Fill({0, 0, 320, 106}),
                     FilteredBlit({89, 0, 141, 106, 0, 0, 640, 480}), releaseDc}));
    const std::string checkedMark = ", fMask=1, fState=8})";
    const auto checked = [&](int id) {
        return std::count(recording::Calls().begin(), recording::Calls().end(),
                          "SetMenuItemInfoA(menu, " + std::to_string(id) + ", 0, {cbSize=" +
                              std::to_string(sizeof(MENUITEMINFO98A)) + checkedMark);
    };
    EXPECT_EQ(checked(32773), 1);
    EXPECT_EQ(checked(32774), 1);
    EXPECT_EQ(viewState.screen, 2);
    EXPECT_EQ(viewState.multi, 0);

    recording::Calls().clear();
    ExitFilter(filter);
    EXPECT_EQ(
        Calls(recording::Calls().begin(), recording::Calls().begin() + 2),
        (Calls{"saveSettingInt(filter, \"Screen\", 2)", "saveSettingInt(filter, \"Multi\", 0)"}));
}

struct ClampCase {
    int32_t screen, multi;
    int32_t clampedScreen, clampedMulti;
};

class PaintViewClampTest : public PaintViewTest, public ::testing::WithParamInterface<ClampCase> {};

TEST_P(PaintViewClampTest, ModeAndMagnificationAreWrittenBackClampedEvenWithoutPictures) {
    const ClampCase& c = GetParam();
    viewState.screen = c.screen;
    viewState.multi = c.multi;
    Paint();
    EXPECT_EQ(viewState.screen, c.clampedScreen);
    EXPECT_EQ(viewState.multi, c.clampedMulti);
    const Calls opening = Opening(c.clampedScreen, c.clampedMulti, "");
    EXPECT_EQ(Calls(recording::Calls().begin(), recording::Calls().begin() + 15),
              Calls(opening.begin(), opening.begin() + 15));
}

INSTANTIATE_TEST_SUITE_P(OutOfRange, PaintViewClampTest,
                         ::testing::Values(ClampCase{7, -3, 2, 0}, ClampCase{-1, 11, 0, 10},
                                           ClampCase{3, 100, 2, 10},
                                           ClampCase{INT32_MIN, INT32_MAX, 0, 10},
                                           ClampCase{INT32_MAX, INT32_MIN, 2, 0}));

TEST_F(PaintViewTest, TenfoldCompareChecksTheLastZoomItem) {
    Store(640, 480, 640, 480);
    viewState.multi = 10;
    Paint();
    const Calls& calls = recording::Calls();
    ASSERT_GE(calls.size(), 16u);
    const std::string size = std::to_string(sizeof(MENUITEMINFO98A));
    EXPECT_EQ(calls[1],
              "SetMenuItemInfoA(menu, 32771, 0, {cbSize=" + size + ", fMask=1, fState=8})");
    EXPECT_EQ(calls[14],
              "SetMenuItemInfoA(menu, 32784, 0, {cbSize=" + size + ", fMask=1, fState=8})");
    EXPECT_EQ(calls[15], "SetWindowTextA(window, \"" + Cp932("Pandrel - 比較 - x10") + "\")");
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& line) {
                                return line.find("fState=8}") != std::string::npos;
                            }),
              2);
}

TEST_F(PaintViewTest, MenuRecordCarriesOnlySizeMaskAndState) {
    viewState.screen = 1;
    viewState.multi = 4;
    Paint();
    const std::vector<MENUITEMINFO98A>& records = recording::MenuItemRecords();
    ASSERT_EQ(records.size(), 14u);
    for (size_t i = 0; i < records.size(); ++i) {
        const MENUITEMINFO98A& record = records[i];
        SCOPED_TRACE("item " + std::to_string(32771 + i));
        EXPECT_EQ(record.cbSize, sizeof(MENUITEMINFO98A));
        EXPECT_EQ(record.fMask, 1u);
        EXPECT_EQ(record.fState, i == 1 || i == 7 ? 8u : 0u);
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

class PaintViewTitleTest : public PaintViewTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(PaintViewTitleTest, TitleIsTheShiftJisOfModeAndMagnification) {
    const TitleCase& c = GetParam();
    viewState.screen = c.screen;
    viewState.multi = c.multi;
    Paint();
    const Calls& calls = recording::Calls();
    ASSERT_GE(calls.size(), 16u);
    EXPECT_EQ(calls[15], "SetWindowTextA(window, \"" + Cp932(c.title) + "\")");
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
    Store(640, 480, 640, 480);
    const std::string divider = Fill({158, 0, 162, 106});

    viewState.screen = 1;
    Paint();
    EXPECT_EQ(Fills(), Calls{Fill({0, 0, 320, 106})}) << "source only, fitted";

    viewState.screen = 0;
    viewState.multi = 3;
    Paint();
    EXPECT_EQ(Fills(), Calls{divider}) << "compare, entered from source only";

    viewState.multi = 4;
    Paint();
    EXPECT_EQ(Fills(), Calls{}) << "compare, zoom changed";

    recording::answers().clientRect = {0, 0, 400, 106};
    Paint();
    EXPECT_EQ(Fills(), Calls{}) << "compare, resized";

    fakeHost.editing = 0;
    Paint();
    EXPECT_EQ(Fills(), Calls{Fill({0, 0, 400, 106})}) << "no video";

    fakeHost.editing = 1;
    Paint();
    EXPECT_EQ(Fills(), Calls{}) << "compare again after a paint without pictures";

    viewState.screen = 2;
    Paint();
    viewState.screen = 0;
    Paint();
    EXPECT_EQ(Fills(), Calls{Fill({198, 0, 202, 106})}) << "compare, entered from filtered only";
}

TEST_F(PaintViewTest, PaintsWithoutPicturesDoNotCountAsTheFirstDrawingPaint) {
    Store(640, 480, 640, 480);
    viewState.multi = 3;
    fakeHost.editing = 0;
    Paint();
    fakeHost.editing = 1;
    Paint();
    EXPECT_EQ(Fills(), Calls{Fill({158, 0, 162, 106})});
}

struct CentreCase {
    const char* name;
    float storedX, storedY;
    bool withPoint;
    int16_t pointX, pointY;
    float expectedX, expectedY;
};

class PaintViewCentreTest : public PaintViewTest,
                            public ::testing::WithParamInterface<CentreCase> {};

TEST_P(PaintViewCentreTest, PointReplacesTheCentreWhichIsClampedIntoTheFilteredPicture) {
    const CentreCase& c = GetParam();
    Store(640, 480, 320, 240);
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
    [](const ::testing::TestParamInfo<CentreCase>& info) { return std::string(info.param.name); });

TEST_F(PaintViewTest, NullMenuAndDeviceContextArePassedOnUntested) {
    Store(640, 480, 640, 480);
    recording::answers().menu = nullptr;
    recording::answers().dc = nullptr;
    viewState.screen = 2;
    viewState.lastPaintedScreen = 2;
    Paint();
    EXPECT_EQ(recording::Calls(),
              (Opening(2, 0, "Pandrel - フィルタ後 - 全体", "null") +
               Calls{"SetStretchBltMode(null, 3)", "FillRect(null, {0,0,320,106}, 11)",
                     "StretchDIBits(null, 89, 0, 141, 106, 0, 0, 640, 480, filteredPixels, "
                     "filteredInfo, 0, 0xCC0020)",
                     "ReleaseDC(window, null)"}));
}

}  // namespace

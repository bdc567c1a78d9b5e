// Pane geometry: client split, pan-centre clamping and the layout of each pane, checked to the
// pixel against hand-computed layouts, plus invariants over random inputs.
#include "view/pane_layout.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "plugin/float_state.h"
#include "tests/support/thread_float_state.h"
#include "tests/support/worked_layouts.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

std::string Describe(const RECT& rect) {
    return std::to_string(rect.left) + ", " + std::to_string(rect.top) + ", " +
           std::to_string(rect.right) + ", " + std::to_string(rect.bottom);
}

// Same notation as the layout tables: destination / source / fill.
std::string Describe(const PaneLayout& layout) {
    return std::to_string(layout.xDest) + ", " + std::to_string(layout.yDest) + ", " +
           std::to_string(layout.destWidth) + ", " + std::to_string(layout.destHeight) + " / " +
           std::to_string(layout.xSrc) + ", " + std::to_string(layout.ySrc) + ", " +
           std::to_string(layout.srcWidth) + ", " + std::to_string(layout.srcHeight) + " / " +
           (layout.fillPane ? "true" : "false");
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

::testing::AssertionResult LayoutIs(const std::string& name, const PaneLayout& actual,
                                    const PaneLayout& expected) {
    const bool same = actual.xDest == expected.xDest && actual.yDest == expected.yDest &&
                      actual.destWidth == expected.destWidth &&
                      actual.destHeight == expected.destHeight && actual.xSrc == expected.xSrc &&
                      actual.ySrc == expected.ySrc && actual.srcWidth == expected.srcWidth &&
                      actual.srcHeight == expected.srcHeight &&
                      actual.fillPane == expected.fillPane;
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << "\n  expected: " << Describe(expected)
                                         << "\n    actual: " << Describe(actual);
}

RECT Client(int32_t width, int32_t height) { return RECT{0, 0, width, height}; }

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

void PrintTo(const PaneCase& row, std::ostream* out) { *out << row.name; }

// Checks one row, computed with the thread in `state` (as it is, for null).
void CheckPaneCase(const PaneCase& row, const ThreadFloatState* state = nullptr) {
    const ViewInputs& view = row.view;
    const ClientSplit split =
        SplitClientArea(Client(view.clientWidth, view.clientHeight), view.screen);
    const bool source = row.side == sourceSide;
    ASSERT_TRUE(source ? split.hasSourcePane : split.hasFilteredPane) << row.name;
    const RECT& pane = source ? split.sourcePane : split.filteredPane;
    EXPECT_TRUE(SameRect(pane, row.pane))
        << row.name << ": pane " << Describe(pane) << ", expected " << Describe(row.pane);
    const PaneAlign align = source ? split.sourceAlign : split.filteredAlign;
    EXPECT_EQ(align, row.align) << row.name;
    const PaneLayout layout = CallIn(state, [&] {
        return ComputePaneLayout(pane, align, source ? view.sourceWidth : view.filteredWidth,
                                 source ? view.sourceHeight : view.filteredHeight,
                                 view.filteredWidth, view.filteredHeight, view.multi, view.centerX,
                                 view.centerY);
    });
    EXPECT_TRUE(LayoutIs(row.name, layout, row.expected));
}

// The panes of the worked layouts, one row each: named "<layout> source" and "<layout> filtered"
// in compare mode, by the layout alone in the modes of one pane.
std::vector<PaneCase> WorkedExamples() {
    std::vector<PaneCase> rows;
    for (const WorkedLayout& worked : kWorkedLayouts) {
        for (const Side side : {sourceSide, filteredSide}) {
            const WorkedPane& pane = side == sourceSide ? worked.source : worked.filtered;
            if (!pane.shown) continue;
            const char* suffix = worked.view.screen != 0 ? ""
                                 : side == sourceSide    ? " source"
                                                         : " filtered";
            rows.push_back({worked.name + std::string(suffix), worked.view, side, pane.pane,
                            pane.align, pane.layout});
        }
    }
    return rows;
}

const std::vector<PaneCase> kWorkedExamples = WorkedExamples();

// Rows: name; the view's inputs as in the worked layouts; pane side; expected pane and alignment;
// expected layout as xDest, yDest, destWidth, destHeight / xSrc, ySrc, srcWidth, srcHeight /
// fillPane.
// clang-format off

const PaneCase kFitRatioCases[] = {
    // Equal ratios take the second branch: the width stays, height = trunc(paneW / aspect).
    {"equal ratio fills the pane", {320, 240, 1, 640, 480, 640, 480, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 320, 240}, alignCenter, {0, 0, 320, 240, 0, 0, 640, 480, false}},
    // 77 x (640 / 154) would truncate to 319; the second branch keeps 320.
    {"equal ratio keeps the width", {320, 77, 1, 640, 154, 640, 154, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 320, 77}, alignCenter, {0, 0, 320, 77, 0, 0, 640, 154, false}},
    // 320 / (640 / 106) is 52.999... in double precision and truncates to 52.
    {"equal ratio truncates the height", {320, 53, 1, 640, 106, 640, 106, 0, 0.0f, 0.0f},
     sourceSide, {0, 0, 320, 53}, alignCenter, {0, 0, 320, 52, 0, 0, 640, 106, true}},
    {"720x480 source in compare fit", {320, 106, 0, 720, 480, 704, 396, 0, 0.0f, 0.0f}, sourceSide,
     {0, 0, 158, 106}, alignRight, {0, 0, 158, 105, 0, 0, 720, 480, true}},
    {"704x396 filtered in compare fit", {320, 106, 0, 720, 480, 704, 396, 0, 0.0f, 0.0f},
     filteredSide, {162, 0, 320, 106}, alignLeft, {162, 9, 158, 88, 0, 0, 704, 396, true}},
};

const PaneCase kMagnifiedCases[] = {
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

const PaneCase kPictureScaleCases[] = {
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

const PaneCase kDegenerateAreaCases[] = {
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
};

// clang-format on

class WorkedExampleTest : public ::testing::TestWithParam<PaneCase> {};

TEST_P(WorkedExampleTest, LayoutMatchesToThePixel) { CheckPaneCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(ReferenceTable, WorkedExampleTest, ::testing::ValuesIn(kWorkedExamples),
                         RowName<PaneCase>);

class PaneEdgeCaseTest : public ::testing::TestWithParam<PaneCase> {};

TEST_P(PaneEdgeCaseTest, LayoutMatchesToThePixel) { CheckPaneCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(FitRatios, PaneEdgeCaseTest, ::testing::ValuesIn(kFitRatioCases),
                         RowName<PaneCase>);
INSTANTIATE_TEST_SUITE_P(Magnified, PaneEdgeCaseTest, ::testing::ValuesIn(kMagnifiedCases),
                         RowName<PaneCase>);
INSTANTIATE_TEST_SUITE_P(PictureScales, PaneEdgeCaseTest, ::testing::ValuesIn(kPictureScaleCases),
                         RowName<PaneCase>);
INSTANTIATE_TEST_SUITE_P(DegenerateAreas, PaneEdgeCaseTest,
                         ::testing::ValuesIn(kDegenerateAreaCases), RowName<PaneCase>);

TEST(ComputePaneLayoutTest, PlacementCountsFromThePaneOrigin) {
    const RECT pane = {100, 50, 420, 156};
    EXPECT_TRUE(LayoutIs("fit centred",
                         ComputePaneLayout(pane, alignCenter, 640, 480, 640, 480, 0, 0, 0),
                         {189, 50, 141, 106, 0, 0, 640, 480, true}));
    EXPECT_TRUE(LayoutIs("fit right",
                         ComputePaneLayout(pane, alignRight, 640, 480, 640, 480, 0, 0, 0),
                         {279, 50, 141, 106, 0, 0, 640, 480, true}));
    EXPECT_TRUE(LayoutIs("fit left",
                         ComputePaneLayout(pane, alignLeft, 640, 480, 640, 480, 0, 0, 0),
                         {100, 50, 141, 106, 0, 0, 640, 480, true}));
    EXPECT_TRUE(LayoutIs("x2 centred",
                         ComputePaneLayout(pane, alignCenter, 40, 30, 40, 30, 2, 0, 0),
                         {220, 73, 80, 60, 0, 0, 40, 30, true}));
    EXPECT_TRUE(LayoutIs("x2 right", ComputePaneLayout(pane, alignRight, 40, 30, 40, 30, 2, 0, 0),
                         {340, 73, 80, 60, 0, 0, 40, 30, true}));
    EXPECT_TRUE(
        LayoutIs("fit centred vertically",
                 ComputePaneLayout({10, 20, 168, 126}, alignLeft, 704, 396, 704, 396, 0, 0, 0),
                 {10, 29, 158, 88, 0, 0, 704, 396, true}));
    EXPECT_TRUE(LayoutIs("empty pane off the origin",
                         ComputePaneLayout({5, 7, 5, 7}, alignRight, 640, 480, 640, 480, 0, 0, 0),
                         {5, 7, 0, 0, 0, 0, 640, 480, false}));
}

// The local limits act on copies: the caller's centre (10, 470) lies outside the reachable
// range, gives the same layout as the limited copy (39, 453.5), and keeps its value.
TEST(ComputePaneLayoutTest, CentreLimitsStayLocal) {
    float centerX = 10.0f;
    float centerY = 470.0f;
    const PanCenter clamped = ClampPanCenter(centerX, centerY, 640, 480);
    EXPECT_EQ(clamped.centerX, 10.0f);
    EXPECT_EQ(clamped.centerY, 470.0f);
    const ClientSplit split = SplitClientArea(Client(320, 106), 0);
    for (const RECT& pane : {split.sourcePane, split.filteredPane}) {
        const PaneLayout stored =
            ComputePaneLayout(pane, alignLeft, 640, 480, 640, 480, 2, centerX, centerY);
        const PaneLayout limited =
            ComputePaneLayout(pane, alignLeft, 640, 480, 640, 480, 2, 39.0f, 453.5f);
        EXPECT_TRUE(LayoutIs("pane " + Describe(pane), stored, limited));
    }
    EXPECT_EQ(centerX, 10.0f);
    EXPECT_EQ(centerY, 470.0f);
}

struct SplitCase {
    const char* name;
    int32_t clientWidth;
    int32_t screen;
    bool hasSourcePane;
    RECT sourcePane;
    PaneAlign sourceAlign;
    bool hasFilteredPane;
    RECT filteredPane;
    PaneAlign filteredAlign;
};

TEST(SplitClientAreaTest, PanesByViewMode) {
    // clang-format off
    const SplitCase cases[] = {
        {"compare 320", 320, 0, true, {0, 0, 158, 106}, alignRight,
         true, {162, 0, 320, 106}, alignLeft},
        {"compare 321", 321, 0, true, {0, 0, 158, 106}, alignRight,
         true, {162, 0, 321, 106}, alignLeft},
        {"source 321", 321, 1, true, {0, 0, 321, 106}, alignCenter, false, {}, alignCenter},
        {"filtered 321", 321, 2, false, {}, alignCenter, true, {0, 0, 321, 106}, alignCenter},
        {"compare 1", 1, 0, true, {0, 0, -2, 106}, alignRight, true, {2, 0, 1, 106}, alignLeft},
    };
    // clang-format on
    for (const SplitCase& row : cases) {
        SCOPED_TRACE(row.name);
        const ClientSplit split = SplitClientArea(Client(row.clientWidth, 106), row.screen);
        ASSERT_EQ(split.hasSourcePane, row.hasSourcePane);
        ASSERT_EQ(split.hasFilteredPane, row.hasFilteredPane);
        if (row.hasSourcePane) {
            EXPECT_TRUE(SameRect(split.sourcePane, row.sourcePane)) << Describe(split.sourcePane);
            EXPECT_EQ(split.sourceAlign, row.sourceAlign);
        }
        if (row.hasFilteredPane) {
            EXPECT_TRUE(SameRect(split.filteredPane, row.filteredPane))
                << Describe(split.filteredPane);
            EXPECT_EQ(split.filteredAlign, row.filteredAlign);
        }
    }
}

TEST(SplitClientAreaTest, CompareDividerIsFourPixelsInTheMiddle) {
    const RECT odd = SplitClientArea(Client(321, 106), 0).divider;
    EXPECT_TRUE(SameRect(odd, RECT{158, 0, 162, 106})) << Describe(odd);
    const RECT even = SplitClientArea(Client(640, 480), 0).divider;
    EXPECT_TRUE(SameRect(even, RECT{318, 0, 322, 480})) << Describe(even);
}

struct ClampCase {
    const char* name;
    float centerX;
    float centerY;
    int32_t filteredWidth;
    int32_t filteredHeight;
    float expectedX;
    float expectedY;
};

const ClampCase kClampCases[] = {
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

void CheckClampCase(const ClampCase& row, const ThreadFloatState* state = nullptr) {
    const PanCenter clamped = CallIn(state, [&] {
        return ClampPanCenter(row.centerX, row.centerY, row.filteredWidth, row.filteredHeight);
    });
    EXPECT_EQ(clamped.centerX, row.expectedX) << row.name;
    EXPECT_EQ(clamped.centerY, row.expectedY) << row.name;
}

TEST(ClampPanCenterTest, KeepsTheCentreWithinTheFilteredPicture) {
    for (const ClampCase& row : kClampCases) CheckClampCase(row);
}

// One paint's inputs: every mode, pictures up to 4096 x 4096 with the filtered picture smaller or
// larger than the source, sometimes empty, centres inside, outside and not a number.
struct RandomView {
    RECT client;
    int32_t screen;
    int32_t multi;
    int32_t sourceWidth;
    int32_t sourceHeight;
    int32_t filteredWidth;
    int32_t filteredHeight;
    float centerX;
    float centerY;
};

class RandomViews {
public:
    RandomView Next() {
        RandomView view;
        const int32_t clientWidth = clientSize(random);  // drawn in this order on every compiler
        view.client = Client(clientWidth, clientSize(random));
        view.screen = screenOf(random);
        view.multi = multiOf(random);
        view.sourceWidth = pictureSize(random);
        view.sourceHeight = pictureSize(random);
        view.filteredWidth = Scaled(view.sourceWidth);
        view.filteredHeight = Scaled(view.sourceHeight);
        view.centerX = unit(random) * view.filteredWidth;
        view.centerY = unit(random) * view.filteredHeight;
        switch (kind(random)) {
            case 0:  // nothing captured yet
                view.sourceWidth = view.sourceHeight = view.filteredWidth = view.filteredHeight = 0;
                break;
            case 1:
                view.centerX = view.centerY = kNaN;
                break;
            case 2:
                view.centerX = kInfinity;
                view.centerY = -kInfinity;
                break;
            default: {
                if (kind(random) < 10) break;  // half the time, clamped as a paint does
                const PanCenter clamped = ClampPanCenter(view.centerX, view.centerY,
                                                         view.filteredWidth, view.filteredHeight);
                view.centerX = clamped.centerX;
                view.centerY = clamped.centerY;
            }
        }
        return view;
    }

private:
    int32_t Scaled(int32_t size) {
        const double value = std::floor(size * ratio(random));
        return static_cast<int32_t>(std::fmax(1.0, std::fmin(4096.0, value)));
    }

    std::mt19937 random{20240611};
    std::uniform_int_distribution<int32_t> clientSize{0, 4096};
    std::uniform_int_distribution<int32_t> pictureSize{1, 4096};
    std::uniform_int_distribution<int32_t> screenOf{0, 2};
    std::uniform_int_distribution<int32_t> multiOf{0, 10};
    std::uniform_real_distribution<double> ratio{0.25, 4.0};
    std::uniform_real_distribution<float> unit{-0.5f, 1.5f};
    std::uniform_int_distribution<int> kind{0, 19};
};

struct PaneOfView {
    RECT pane;
    PaneAlign align;
    int32_t pictureWidth;
    int32_t pictureHeight;
};

// The panes that a paint of `view` lays out, source first.
std::vector<PaneOfView> PanesOf(const RandomView& view) {
    const ClientSplit split = SplitClientArea(view.client, view.screen);
    std::vector<PaneOfView> panes;
    if (split.hasSourcePane) {
        panes.push_back({split.sourcePane, split.sourceAlign, view.sourceWidth, view.sourceHeight});
    }
    if (split.hasFilteredPane) {
        panes.push_back(
            {split.filteredPane, split.filteredAlign, view.filteredWidth, view.filteredHeight});
    }
    return panes;
}

PaneLayout LayoutOf(const RandomView& view, const PaneOfView& pane) {
    return ComputePaneLayout(pane.pane, pane.align, pane.pictureWidth, pane.pictureHeight,
                             view.filteredWidth, view.filteredHeight, view.multi, view.centerX,
                             view.centerY);
}

// FNV-1a over every field of the layouts in order.
void AddToDigest(uint64_t& digest, const PaneLayout& layout) {
    const int32_t fields[] = {layout.xDest,      layout.yDest,     layout.destWidth,
                              layout.destHeight, layout.xSrc,      layout.ySrc,
                              layout.srcWidth,   layout.srcHeight, layout.fillPane ? 1 : 0};
    for (const int32_t field : fields) {
        for (int byte = 0; byte < 4; ++byte) {
            digest ^= static_cast<uint32_t>(field) >> (8 * byte) & 0xFF;
            digest *= 0x100000001B3u;
        }
    }
}

// The digest of the property test's layouts, the same for the 32-bit x87 build and the 64-bit
// build: their arithmetic must agree on every one of the 200,000 views.
constexpr uint64_t kRandomLayoutsDigest = 0x8A921556A9322487;

TEST(ComputePaneLayoutTest, RandomLayoutsStayInsidePictureAndPane) {
    RandomViews views;
    uint64_t digest = 0xCBF29CE484222325u;
    int checkedPanes = 0;
    for (int i = 0; i < 200000; ++i) {
        const RandomView view = views.Next();
        for (const PaneOfView& paneOfView : PanesOf(view)) {
            const RECT& pane = paneOfView.pane;
            const int32_t pictureWidth = paneOfView.pictureWidth;
            const int32_t pictureHeight = paneOfView.pictureHeight;
            const int32_t multi = view.multi;
            const PaneLayout layout = LayoutOf(view, paneOfView);
            AddToDigest(digest, layout);

            const int32_t paneW = pane.right - pane.left;
            const int32_t paneH = pane.bottom - pane.top;
            const bool coversPane = layout.destWidth == paneW && layout.destHeight == paneH;
            ASSERT_EQ(layout.fillPane, !coversPane) << Describe(layout);
            if (paneW <= 0 || paneH <= 0 || pictureWidth <= 0 || pictureHeight <= 0) continue;
            ++checkedPanes;
            const auto context = [&] {
                return "case " + std::to_string(i) + ", pane " + Describe(pane) + ", picture " +
                       std::to_string(pictureWidth) + "x" + std::to_string(pictureHeight) +
                       ", multi " + std::to_string(multi) + ": " + Describe(layout);
            };
            ASSERT_GE(layout.xSrc, 0) << context();
            ASSERT_GE(layout.srcWidth, 0) << context();
            ASSERT_LE(layout.xSrc + layout.srcWidth, pictureWidth) << context();
            ASSERT_GE(layout.ySrc, 0) << context();
            ASSERT_GE(layout.srcHeight, 0) << context();
            ASSERT_LE(layout.ySrc + layout.srcHeight, pictureHeight) << context();
            ASSERT_GE(layout.xDest, pane.left) << context();
            ASSERT_GE(layout.destWidth, 0) << context();
            ASSERT_LE(layout.xDest + layout.destWidth, pane.right) << context();
            ASSERT_GE(layout.yDest, pane.top) << context();
            ASSERT_GE(layout.destHeight, 0) << context();
            ASSERT_LE(layout.yDest + layout.destHeight, pane.bottom) << context();
            if (multi == 0) {
                // Fitted whole, touching the pane on at least one side.
                ASSERT_TRUE(layout.srcWidth == pictureWidth && layout.srcHeight == pictureHeight)
                    << context();
                ASSERT_TRUE(layout.destWidth == paneW || layout.destHeight == paneH) << context();
            } else {
                // Either the whole picture at exactly multi times, or the pane filled.
                ASSERT_TRUE(layout.destWidth == paneW ||
                            layout.destWidth == multi * layout.srcWidth)
                    << context();
                ASSERT_TRUE(layout.destHeight == paneH ||
                            layout.destHeight == multi * layout.srcHeight)
                    << context();
            }
        }
    }
    EXPECT_GT(checkedPanes, 200000);
    EXPECT_EQ(digest, kRandomLayoutsDigest) << std::hex << "digest 0x" << digest;
}

// Whatever floating-point state the calling thread holds, every reference layout, every clamp and
// a sample of random layouts come out exactly as under Windows' default state, and the thread's
// state is given back unchanged after every call.
class ThreadFloatStateTest : public ::testing::TestWithParam<ThreadFloatState> {};

TEST_P(ThreadFloatStateTest, GeometryIsExactAndTheStateIsGivenBack) {
    const ThreadFloatState& state = GetParam();
    for (const PaneCase& row : kWorkedExamples) CheckPaneCase(row, &state);
    for (const PaneCase& row : kFitRatioCases) CheckPaneCase(row, &state);
    for (const PaneCase& row : kMagnifiedCases) CheckPaneCase(row, &state);
    for (const PaneCase& row : kPictureScaleCases) CheckPaneCase(row, &state);
    for (const PaneCase& row : kDegenerateAreaCases) CheckPaneCase(row, &state);
    for (const ClampCase& row : kClampCases) CheckClampCase(row, &state);

    RandomViews views;
    const ThreadFloatState& windowsDefault = threadFloatStates.front();
    for (int i = 0; i < 20000; ++i) {
        const RandomView view = views.Next();
        for (const PaneOfView& pane : PanesOf(view)) {
            const PaneLayout expected =
                CallIn(&windowsDefault, [&] { return LayoutOf(view, pane); });
            const PaneLayout actual = CallIn(&state, [&] { return LayoutOf(view, pane); });
            ASSERT_TRUE(LayoutIs("random view " + std::to_string(i), actual, expected));
        }
    }
}

// Writes `word` from `from` up to `to`: the stale words of a frame.
__attribute__((noinline, no_sanitize("address"))) void PaintWords(volatile uint32_t* from,
                                                                  volatile uint32_t* to,
                                                                  uint32_t word) {
    while (from < to) *from++ = word;
}

// Fills its whole frame, up to the saved frame pointer, with `word`: the
// frame that the caller's next call of a function no larger takes over.
// Under AddressSanitizer the frame also holds the sanitizer's own records:
// there only the array is filled.
__attribute__((noinline)) void FillStackWith(uint32_t word) {
    volatile uint32_t words[256];
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
    PaintWords(words, words + 256, word);
    return;
#endif
#endif
    PaintWords(words, static_cast<volatile uint32_t*>(__builtin_frame_address(0)), word);
}

// The switch gives back what the thread holds, never what its stack happens
// to hold: the stale words there are the caller's own MXCSR, which Leave
// would take for the thread's if it did not read the thread's.
TEST_P(ThreadFloatStateTest, SwitchGivesTheStateBackWhateverItsStackHolds) {
    CallIn(&GetParam(), [] {
        const uint32_t callerMxcsr = ReadFloatRegisters().mxcsr;
        const CallerFloatState caller = EnterModuleFloatState();
        FillStackWith(callerMxcsr);
        LeaveModuleFloatState(caller);
        return 0;
    });
}

INSTANTIATE_TEST_SUITE_P(CallerStates, ThreadFloatStateTest, ::testing::ValuesIn(threadFloatStates),
                         RowName<ThreadFloatState>);

}  // namespace

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

// Each worked view shows exactly the panes it lists (their rectangles are checked above).
TEST(SplitClientAreaTest, WorkedViewsShowTheirPanesOnly) {
    for (const WorkedLayout& worked : kWorkedLayouts) {
        const ClientSplit split = SplitClientArea(
            Client(worked.view.clientWidth, worked.view.clientHeight), worked.view.screen);
        EXPECT_EQ(split.hasSourcePane, worked.source.shown) << worked.name;
        EXPECT_EQ(split.hasFilteredPane, worked.filtered.shown) << worked.name;
    }
}

TEST(SplitClientAreaTest, CompareDividerIsFourPixelsInTheMiddle) {
    const RECT odd = SplitClientArea(Client(321, 106), 0).divider;
    EXPECT_TRUE(SameRect(odd, RECT{158, 0, 162, 106})) << Describe(odd);
    const RECT even = SplitClientArea(Client(640, 480), 0).divider;
    EXPECT_TRUE(SameRect(even, RECT{318, 0, 322, 480})) << Describe(even);
}

void CheckClampCase(const CentreClampCase& row, const ThreadFloatState* state = nullptr) {
    const PanCenter clamped = CallIn(state, [&] {
        return ClampPanCenter(row.centerX, row.centerY, row.filteredWidth, row.filteredHeight);
    });
    EXPECT_EQ(clamped.centerX, row.expectedX) << row.name;
    EXPECT_EQ(clamped.centerY, row.expectedY) << row.name;
}

TEST(ClampPanCenterTest, KeepsTheCentreWithinTheFilteredPicture) {
    for (const CentreClampCase& row : kClampCases) CheckClampCase(row);
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
    for (const CentreClampCase& row : kClampCases) CheckClampCase(row, &state);

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

#include "ui/window_messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "capture/frame_store.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "tests/support/fake_host.h"
#include "tests/support/paint_calls.h"
#include "tests/support/thread_float_state.h"
#include "ui/menu_ids.h"

namespace {

using namespace call_log;
using paint_calls::TitleLine;

constexpr UINT rightButtonDown = 0x0204;
constexpr WPARAM leftButton = MK_LBUTTON;

// A client position or picture point as the platform packs it: two signed
// 16-bit halves, x low.
LPARAM Point(int x, int y) {
    return static_cast<LPARAM>(static_cast<uint32_t>(static_cast<uint16_t>(x)) |
                               static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16);
}

WPARAM Wheel(int delta, uint16_t keys = 0) {
    return static_cast<WPARAM>(static_cast<uint32_t>(static_cast<uint16_t>(delta)) << 16 | keys);
}

auto ViewFields(const ViewState& view) {
    return std::make_tuple(view.screen, view.multi, view.centerX, view.centerY, view.dragging,
                           view.lastMouseX, view.lastMouseY, view.dragScaleX, view.dragScaleY,
                           view.mainMouseDown, view.lastPaintedScreen);
}

auto StoreFields(const FrameStore& store) {
    return std::make_tuple(store.sourcePixels, store.filteredPixels, store.sourceFrameNumber,
                           store.frameCaptured, store.sourceInfo.bmiHeader.biWidth,
                           store.filteredInfo.bmiHeader.biWidth);
}

class WindowMessagesTest : public ModuleTest {
protected:
    int Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return HandleWindowMessage(fake::window, message, wParam, lParam, fake::edit, filter);
    }

    // Shows `screen` magnified `multi` times, centred at (x, y) as the host's
    // preview press and release centre it; the log starts empty afterwards.
    void ViewAt(int32_t screen, int32_t multi, int x, int y) {
        viewState.screen = screen;
        viewState.multi = multi;
        ASSERT_GT(viewState.multi, 0);
        Send(notifyPreviewPress, 0, Point(x, y));
        Send(notifyPreviewRelease);
        ASSERT_EQ(viewState.centerX, static_cast<float>(x));
        ASSERT_EQ(viewState.centerY, static_cast<float>(y));
        fake::Calls().clear();
    }
};

// ---- Dispatch --------------------------------------------------------------

struct DispatchRow {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int result;
    int repaints;
};

class DispatchTest : public WindowMessagesTest,
                     public ::testing::WithParamInterface<DispatchRow> {};

TEST_P(DispatchTest, AnswersAndRepaintsAsListed) {
    const DispatchRow& row = GetParam();
    HoldPictures(720, 576, 360, 288);
    EXPECT_EQ(Send(row.message, row.wParam, row.lParam), row.result);
    EXPECT_EQ(Paints(), row.repaints);
}

INSTANTIATE_TEST_SUITE_P(
    EveryHandledMessage, DispatchTest,
    ::testing::Values(DispatchRow{"Paint", WM_PAINT, 0, 0, 0, 1},
                      DispatchRow{"Command", WM_COMMAND, ID_ZOOM_X2, 0, 0, 1},
                      DispatchRow{"MouseMove", WM_MOUSEMOVE, leftButton, Point(5, 5), 0, 0},
                      DispatchRow{"LeftDown", WM_LBUTTONDOWN, leftButton, Point(5, 5), 0, 0},
                      DispatchRow{"LeftUp", WM_LBUTTONUP, 0, Point(5, 5), 0, 0},
                      DispatchRow{"RightUp", WM_RBUTTONUP, 0, Point(5, 5), 0, 1},
                      DispatchRow{"Wheel", WM_MOUSEWHEEL, Wheel(-120), Point(5, 5), 0, 1},
                      DispatchRow{"VideoOpened", notifyVideoOpened, 0, 0, 1, 0},
                      DispatchRow{"VideoClosed", notifyVideoClosed, 0, 0, 0, 1},
                      DispatchRow{"AttachMenu", notifyWindowCreated, 0, 0, 0, 0},
                      DispatchRow{"ShownOrHidden", notifyShownOrHidden, 0, 0, 1, 0},
                      DispatchRow{"Repaint", notifyRepaint, 0, 0, 0, 1},
                      DispatchRow{"PreviewPressFit", notifyPreviewPress, 0, Point(5, 5), 0, 0},
                      DispatchRow{"PreviewRelease", notifyPreviewRelease, 0, 0, 0, 0},
                      DispatchRow{"PreviewMove", notifyPreviewMove, 0, Point(5, 5), 0, 0}),
    RowName<DispatchRow>);

TEST_F(WindowMessagesTest, PaintAndRepaintNotificationRunOnePaintView) {
    HoldPictures(720, 576, 360, 288);
    for (UINT message : {UINT{WM_PAINT}, UINT{notifyRepaint}}) {
        SCOPED_TRACE(message);
        fake::Calls().clear();
        EXPECT_EQ(Send(message), 0);
        EXPECT_TRUE(OnlyPaints(1));
        EXPECT_FALSE(Blits().empty());
    }
}

TEST_F(WindowMessagesTest, UnlistedMessagesAnswerZeroAndDoNothing) {
    HoldPictures(720, 576, 360, 288);
    viewState.multi = 3;
    Send(WM_LBUTTONDOWN, leftButton, Point(10, 10));
    Send(notifyPreviewPress, 0, Point(20, 20));
    fake::Calls().clear();
    const ViewState viewBefore = viewState;
    const FrameStore storeBefore = frameStore;

    std::vector<UINT> unlisted = {0, 1, 5, WM_USER, notifyVideoOpened - 1, notifyPreviewMove + 1,
                                  rightButtonDown, 0x0203, 0x0206, 0x020E, WM_USER + 200,
                                  0xFFFFFFFF};
    for (UINT message = notifyWindowCreated + 1; message < notifyPreviewPress; ++message) {
        if (message != notifyShownOrHidden && message != notifyRepaint) unlisted.push_back(message);
    }
    for (UINT message : unlisted) {
        SCOPED_TRACE(message);
        EXPECT_EQ(Send(message, leftButton | Wheel(-120), Point(40, 30)), 0);
        ExpectSequence({});
        EXPECT_EQ(ViewFields(viewState), ViewFields(viewBefore));
        EXPECT_EQ(StoreFields(frameStore), StoreFields(storeBefore));
    }
}

// ---- Menu commands ---------------------------------------------------------

struct CommandRow {
    UINT id;
    int32_t screen;
    int32_t multi;
    const char* title;  // UTF-8
};

TEST_F(WindowMessagesTest, EachMenuCommandSetsModeOrMagnificationAndRepaints) {
    HoldPictures(720, 576, 360, 288);
    ViewAt(1, 5, 100, 50);
    const std::vector<CommandRow> rows = {
        {ID_VIEW_COMPARE, 0, 5, "Pandrel - 比較 - x5"},
        {ID_VIEW_SOURCE, 1, 5, "Pandrel - ソース - x5"},
        {ID_VIEW_FILTERED, 2, 5, "Pandrel - フィルタ後 - x5"},
        {ID_ZOOM_FIT, 1, 0, "Pandrel - ソース - 全体"},
        {ID_ZOOM_X1, 1, 1, "Pandrel - ソース - x1"},
        {ID_ZOOM_X2, 1, 2, "Pandrel - ソース - x2"},
        {ID_ZOOM_X3, 1, 3, "Pandrel - ソース - x3"},
        {ID_ZOOM_X4, 1, 4, "Pandrel - ソース - x4"},
        {ID_ZOOM_X5, 1, 5, "Pandrel - ソース - x5"},
        {ID_ZOOM_X6, 1, 6, "Pandrel - ソース - x6"},
        {ID_ZOOM_X7, 1, 7, "Pandrel - ソース - x7"},
        {ID_ZOOM_X8, 1, 8, "Pandrel - ソース - x8"},
        {ID_ZOOM_X9, 1, 9, "Pandrel - ソース - x9"},
        {ID_ZOOM_X10, 1, 10, "Pandrel - ソース - x10"},
    };
    for (const CommandRow& row : rows) {
        SCOPED_TRACE(row.id);
        viewState.screen = 1;
        viewState.multi = 5;
        fake::Calls().clear();
        EXPECT_EQ(Send(WM_COMMAND, row.id), 0);
        ExpectSequence({"isEditing(edit)", "GetMenu(window)"}, logStart);
        ExpectSequence({"ReleaseDC(window, dc)"}, logEnd);
        EXPECT_EQ(Paints(), 1);
        EXPECT_EQ(viewState.screen, row.screen);
        EXPECT_EQ(viewState.multi, row.multi);
        EXPECT_EQ(LastStarting("SetWindowTextA("), TitleLine(row.title));
        EXPECT_EQ(viewState.centerX, 100.0f);
        EXPECT_EQ(viewState.centerY, 50.0f);
    }
}

TEST_F(WindowMessagesTest, CommandIdIsTheLowHalfOfWParam) {
    HoldPictures(720, 576, 360, 288);
    // The high half (notification code or anything) is ignored.
    for (WPARAM wParam : {WPARAM{0x00010000u | ID_ZOOM_X4}, WPARAM{0xABCD0000u | ID_ZOOM_X4},
                          WPARAM{0xFFFF0000u | ID_ZOOM_X4}}) {
        SCOPED_TRACE(wParam);
        viewState.multi = 0;
        EXPECT_EQ(Send(WM_COMMAND, wParam), 0);
        EXPECT_EQ(viewState.multi, 4);
    }
}

TEST_F(WindowMessagesTest, CommandIsDroppedUnlessIsEditingAnswersExactlyOne) {
    HoldPictures(720, 576, 360, 288);
    for (int editing : {0, 2, -1, INT32_MIN}) {
        SCOPED_TRACE(editing);
        fake::host().editing = editing;
        fake::Calls().clear();
        const ViewState before = viewState;
        EXPECT_EQ(Send(WM_COMMAND, ID_VIEW_FILTERED), 0);
        EXPECT_EQ(Send(WM_COMMAND, ID_ZOOM_X10), 0);
        ExpectSequence(Calls{"isEditing(edit)", "isEditing(edit)"});
        EXPECT_EQ(ViewFields(viewState), ViewFields(before));
    }
}

TEST_F(WindowMessagesTest, UnknownCommandChangesNothingButRepaints) {
    HoldPictures(720, 576, 360, 288);
    ViewAt(2, 3, 30, 40);
    for (UINT id :
         {0u, UINT{MENU_RESOURCE_ID}, ID_VIEW_COMPARE - 1u, ID_ZOOM_X10 + 1u, 40000u, 0xFFFFu}) {
        SCOPED_TRACE(id);
        fake::Calls().clear();
        const ViewState before = viewState;
        EXPECT_EQ(Send(WM_COMMAND, id), 0);
        EXPECT_EQ(Paints(), 1);
        EXPECT_EQ(LastStarting("SetWindowTextA("), TitleLine("Pandrel - フィルタ後 - x3"));
        EXPECT_EQ(ViewFields(viewState), ViewFields(before));
    }
}

// ---- Drag start ------------------------------------------------------------

TEST_F(WindowMessagesTest, DragStartsOnlyWhenMagnifiedWithBothBuffersAndACapturedFrame) {
    HoldPictures(720, 576, 360, 288);
    viewState.multi = 2;
    uint8_t* const source = frameStore.sourcePixels;
    uint8_t* const filtered = frameStore.filteredPixels;
    struct Row {
        const char* failing;
        int32_t multi;
        uint8_t* source;
        uint8_t* filtered;
        int32_t captured;
    };
    const Row rows[] = {{"multi 0", 0, source, filtered, 1},
                        {"multi negative", -1, source, filtered, 1},
                        {"no source buffer", 2, nullptr, filtered, 1},
                        {"no filtered buffer", 2, source, nullptr, 1},
                        {"no frame captured", 2, source, filtered, 0},
                        {"everything missing", 0, nullptr, nullptr, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.failing);
        viewState.multi = row.multi;
        frameStore.sourcePixels = row.source;
        frameStore.filteredPixels = row.filtered;
        frameStore.frameCaptured = row.captured;
        const ViewState before = viewState;
        EXPECT_EQ(Send(WM_LBUTTONDOWN, leftButton, Point(100, 50)), 0);
        ExpectSequence({});
        EXPECT_EQ(ViewFields(viewState), ViewFields(before));
        // A later move with the button held changes nothing either.
        EXPECT_EQ(Send(WM_MOUSEMOVE, leftButton, Point(120, 60)), 0);
        ExpectSequence({});
        EXPECT_EQ(ViewFields(viewState), ViewFields(before));
    }
    frameStore.sourcePixels = source;
    frameStore.filteredPixels = filtered;
    frameStore.frameCaptured = 1;
    viewState.multi = 2;
    EXPECT_EQ(Send(WM_LBUTTONDOWN, leftButton, Point(100, 50)), 0);
    EXPECT_EQ(viewState.dragging, 1);
}

TEST_F(WindowMessagesTest, DragStartTakesThePositionWithoutCaptureOrRepaint) {
    HoldPictures(720, 576, 360, 288);
    viewState.multi = 2;
    viewState.screen = 1;
    EXPECT_EQ(Send(WM_LBUTTONDOWN, leftButton, Point(-300, 0x7FFF)), 0);
    ExpectSequence({});  // no SetCapture, no paint, nothing
    EXPECT_EQ(viewState.dragging, 1);
    EXPECT_EQ(viewState.lastMouseX, -300);
    EXPECT_EQ(viewState.lastMouseY, 0x7FFF);

    viewState.screen = 0;
    EXPECT_EQ(Send(WM_LBUTTONDOWN, leftButton, Point(7, -2)), 0);
    ExpectSequence(Calls{"GetClientRect(window)"});
    EXPECT_EQ(viewState.lastMouseX, 7);
    EXPECT_EQ(viewState.lastMouseY, -2);
}

struct PaneRow {
    int32_t screen;
    LONG clientRight;
    int x;
    bool sourcePane;
};

TEST_F(WindowMessagesTest, PressChoosesThePaneAndItsFactors) {
    HoldPictures(720, 576, 360, 288);
    viewState.multi = 2;
    const PaneRow rows[] = {
        {0, 641, 319, true},     // half of 641 is 320
        {0, 641, 320, false},    //
        {0, 641, 0, true},       //
        {0, 641, 640, false},    //
        {0, 641, -5, true},      // a negative x lies left of any pane border
        {0, 641, -32768, true},  // 0x8000
        {0, 640, 319, true},     //
        {0, 640, 320, false},    //
        {0, -3, -2, true},       // half of -3 is -1 (toward zero)
        {0, -3, -1, false},      //
        {1, 641, 600, true},     // source alone: every press is on the source
        {2, 641, 10, false},     // filtered alone
        {7, 641, 10, false},     // an unclamped mode counts as filtered
        {-1, 641, 10, false},    //
    };
    for (const PaneRow& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "screen " << row.screen << " right " << row.clientRight << " x " << row.x);
        viewState.screen = row.screen;
        fake::platform().clientRect = {0, 0, row.clientRight, 300};
        fake::Calls().clear();
        viewState.dragScaleX = viewState.dragScaleY = -1.0f;
        EXPECT_EQ(Send(WM_LBUTTONDOWN, leftButton, Point(row.x, 10)), 0);
        ExpectSequence(row.screen == 0 ? Calls{"GetClientRect(window)"} : Calls{});
        EXPECT_EQ(viewState.dragScaleX, row.sourcePane ? 2.0f : 1.0f);
        EXPECT_EQ(viewState.dragScaleY, row.sourcePane ? 2.0f : 1.0f);
    }
}

TEST_F(WindowMessagesTest, SourcePaneFactorsAreSinglePrecisionQuotientsOfTheHeaderSizes) {
    HoldPictures(640, 480, 360, 270);
    viewState.multi = 1;
    viewState.screen = 1;
    // Sizes beyond float precision: the exact quotient is rounded once, not
    // each size first (which would give 0x1.99999ap+21 for the width).
    frameStore.sourceInfo.bmiHeader.biWidth = 16777217;
    frameStore.filteredInfo.bmiHeader.biWidth = 5;
    frameStore.sourceInfo.bmiHeader.biHeight = 3;
    frameStore.filteredInfo.bmiHeader.biHeight = 16777217;
    Send(WM_LBUTTONDOWN, leftButton, Point(10, 10));
    EXPECT_EQ(viewState.dragScaleX, 3355443.5f);
    EXPECT_EQ(viewState.dragScaleY, static_cast<float>(3.0 / 16777217.0));
}

TEST_F(WindowMessagesTest, SecondPressRestartsTheDragWithNewPaneAndPosition) {
    HoldPictures(720, 576, 360, 288);
    viewState.multi = 2;
    fake::platform().clientRect = {0, 0, 641, 300};
    Send(WM_LBUTTONDOWN, leftButton, Point(10, 20));
    ASSERT_EQ(viewState.dragScaleX, 2.0f);
    Send(WM_LBUTTONDOWN, leftButton, Point(500, 30));
    EXPECT_EQ(viewState.dragging, 1);
    EXPECT_EQ(viewState.lastMouseX, 500);
    EXPECT_EQ(viewState.lastMouseY, 30);
    EXPECT_EQ(viewState.dragScaleX, 1.0f);
    EXPECT_EQ(viewState.dragScaleY, 1.0f);
}

// ---- Drag moves ------------------------------------------------------------

// One press and one move with the left button: the factors taken at the
// press and the centre after the move.
struct DragRow {
    const char* name;
    int32_t filteredWidth, filteredHeight, sourceWidth, sourceHeight;
    int32_t screen, multi;
    int centreX, centreY;
    int pressX, pressY, moveX, moveY;
    float scaleX, scaleY;
    float centerX, centerY;
};

// Client area 641 x 300: a press left of x 320 is in the source pane.
const DragRow kDragRows[] = {
    // 720 x 576 source beside its 360 x 288 filtered picture, magnified twice,
    // moved 8 right and 4 down.
    {"left pane", 360, 288, 720, 576, 0, 2, 180, 144, 100, 50, 108, 54, 2.0f, 2.0f, 178.0f, 143.0f},
    {"right pane", 360, 288, 720, 576, 0, 2, 180, 144, 400, 50, 408, 54, 1.0f, 1.0f, 176.0f,
     142.0f},
    // Factor 352/240, stored as 0x1.777778p+0: 3 - 22/5/factor in double is
    // 0x1.1745dp-24. Float arithmetic or a float quotient gives 0, dividing by
    // the factor before the magnification 0x1.1745d2p-24.
    {"evaluated in order, rounded once", 240, 288, 352, 288, 0, 5, 3, 100, 10, 10, 32, 10,
     0x1.777778p+0f, 1.0f, 0x1.1745dp-24f, 100.0f},
    // 1 - (-20)/3/2 in double is 0x1.155556p+2, in float arithmetic 0x1.155554p+2.
    {"double, not float", 360, 288, 720, 576, 0, 3, 1, 1, 40, 40, 20, 20, 2.0f, 2.0f,
     0x1.155556p+2f, 0x1.155556p+2f},
    // 640/360 and 480/270, each rounded once to float.
    {"inexact factors", 360, 270, 640, 480, 1, 1, 180, 135, 10, 10, 13, 7, 0x1.c71c72p+0f,
     0x1.c71c72p+0f, 178.3125f, 136.6875f},
    // 720 x 480 beside 360 x 360: factors 2 across and 4/3 down, each drag
    // diagonal. 6 / f32(4/3) is 4.4999999 in double, 180 - it rounds to 175.5.
    {"unequal factors, left pane", 360, 360, 720, 480, 0, 2, 180, 180, 100, 50, 112, 62, 2.0f,
     0x1.555556p+0f, 177.0f, 175.5f},
    {"unequal factors, source alone", 360, 360, 720, 480, 1, 3, 180, 180, 10, 10, -20, 40, 2.0f,
     0x1.555556p+0f, 185.0f, 172.5f},
    {"unequal pictures, right pane", 360, 360, 720, 480, 0, 2, 180, 180, 400, 50, 412, 62, 1.0f,
     1.0f, 174.0f, 174.0f},
};

// Whatever floating-point state the host's thread holds, each drag gives the
// same factors and centre, and the thread gets its state back after the press
// and after the move (whose repaint lays out the panes too).
class DragUnderThreadStateTest
    : public WindowMessagesTest,
      public ::testing::WithParamInterface<std::tuple<ThreadFloatState, DragRow>> {};

TEST_P(DragUnderThreadStateTest, FactorsAndCentreAreExactAndTheStateIsGivenBack) {
    const ThreadFloatState* state = &std::get<0>(GetParam());
    const DragRow& row = std::get<1>(GetParam());
    HoldPictures(row.sourceWidth, row.sourceHeight, row.filteredWidth, row.filteredHeight);
    fake::platform().clientRect = {0, 0, 641, 300};
    ViewAt(row.screen, row.multi, row.centreX, row.centreY);
    CallIn(state, [&] { return Send(WM_LBUTTONDOWN, leftButton, Point(row.pressX, row.pressY)); });
    EXPECT_EQ(viewState.dragScaleX, row.scaleX);
    EXPECT_EQ(viewState.dragScaleY, row.scaleY);
    fake::Calls().clear();
    EXPECT_EQ(
        CallIn(state, [&] { return Send(WM_MOUSEMOVE, leftButton, Point(row.moveX, row.moveY)); }),
        0);
    EXPECT_EQ(viewState.centerX, row.centerX);
    EXPECT_EQ(viewState.centerY, row.centerY);
    EXPECT_EQ(viewState.lastMouseX, row.moveX);
    EXPECT_EQ(viewState.lastMouseY, row.moveY);
    EXPECT_TRUE(OnlyPaints(1));
    EXPECT_FALSE(Blits().empty());
}

// The preview's point becomes the centre exactly, in any calling state. The
// filtered width, beyond float's integers, makes the clamp's conversion of it
// inexact, which traps in a state that unmasks that exception. In source-only
// mode that width only frames the centre: the filtered picture, which its
// buffer could not hold, is not blitted.
class PreviewUnderThreadStateTest : public WindowMessagesTest,
                                    public ::testing::WithParamInterface<ThreadFloatState> {};

TEST_P(PreviewUnderThreadStateTest, PointBecomesTheCentreAndTheStateIsGivenBack) {
    HoldPictures(64, 48, 64, 48);
    frameStore.filteredInfo.bmiHeader.biWidth = 16777219;
    viewState.screen = 1;
    viewState.multi = 2;
    CallIn(&GetParam(), [&] { return Send(notifyPreviewPress, 0, Point(32000, 20)); });
    EXPECT_EQ(viewState.centerX, 32000.0f);
    EXPECT_EQ(viewState.centerY, 20.0f);
    EXPECT_TRUE(OnlyPaints(1));
}

INSTANTIATE_TEST_SUITE_P(CallerStates, PreviewUnderThreadStateTest,
                         ::testing::ValuesIn(threadFloatStates), RowName<ThreadFloatState>);

void PrintTo(const DragRow& row, std::ostream* out) { *out << row.name; }

std::string StateAndRowName(
    const ::testing::TestParamInfo<std::tuple<ThreadFloatState, DragRow>>& info) {
    return Identifier(std::get<0>(info.param).name) + "_" +
           Identifier(std::get<1>(info.param).name);
}

INSTANTIATE_TEST_SUITE_P(CallerStates, DragUnderThreadStateTest,
                         ::testing::Combine(::testing::ValuesIn(threadFloatStates),
                                            ::testing::ValuesIn(kDragRows)),
                         StateAndRowName);

// Not a message: stores its wParam as the magnification, as a value loaded
// from the settings store and not yet clamped by a paint would be.
constexpr UINT storeMulti = 0xFFFF0000u;

// A 720 x 576 source beside its 360 x 288 filtered picture in a 641 x 300
// client, shown in `screen` at `multi` around the centre the preview set; the
// host's isEditing answering `editing`; the left button pressed at `press`,
// then these messages: whether it still drags, the centre and the last
// position it took, and the paints that the messages made.
struct DragSequenceRow {
    const char* name;
    int32_t screen, multi;
    int centreX, centreY;
    int editing;
    int pressX, pressY;
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> messages;
    int dragging;
    float centerX, centerY;
    int lastMouseX, lastMouseY;
    int paints;
};

class DragSequenceTest : public WindowMessagesTest,
                         public ::testing::WithParamInterface<DragSequenceRow> {};

TEST_P(DragSequenceTest, EndsAndScalesTheDragAsTheViewChanges) {
    const DragSequenceRow& row = GetParam();
    HoldPictures(720, 576, 360, 288);
    fake::platform().clientRect = {0, 0, 641, 300};
    ViewAt(row.screen, row.multi, row.centreX, row.centreY);
    fake::host().editing = row.editing;
    Send(WM_LBUTTONDOWN, leftButton, Point(row.pressX, row.pressY));
    fake::Calls().clear();
    for (const auto& [message, wParam, lParam] : row.messages) {
        if (message == storeMulti) {
            viewState.multi = static_cast<int32_t>(wParam);
        } else {
            EXPECT_EQ(Send(message, wParam, lParam), 0);
        }
    }
    EXPECT_EQ(viewState.dragging, row.dragging);
    EXPECT_EQ(viewState.centerX, row.centerX);
    EXPECT_EQ(viewState.centerY, row.centerY);
    EXPECT_EQ(viewState.lastMouseX, row.lastMouseX);
    EXPECT_EQ(viewState.lastMouseY, row.lastMouseY);
    EXPECT_EQ(Paints(), row.paints);
}

void PrintTo(const DragSequenceRow& row, std::ostream* out) { *out << row.name; }

const auto moveHeld = [](int x, int y) {
    return std::make_tuple(UINT{WM_MOUSEMOVE}, leftButton, Point(x, y));
};
const auto command = [](UINT id) {
    return std::make_tuple(UINT{WM_COMMAND}, WPARAM{id}, LPARAM{0});
};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, DragSequenceTest,
    ::testing::Values(
        // 1 right, then 2 and 3 up, none, 13 left and down; other key bits beside MK_LBUTTON do
        // not matter, and each move repaints, even one that moves nothing.
        DragSequenceRow{"every applied move repaints", 2, 1, 100, 100, 1, 50, 50,
                        {{WM_MOUSEMOVE, leftButton | 0x000C, Point(51, 50)},
                         {WM_MOUSEMOVE, leftButton | 0x000C, Point(53, 47)},
                         {WM_MOUSEMOVE, leftButton | 0x000C, Point(53, 47)},
                         {WM_MOUSEMOVE, leftButton | 0x000C, Point(40, 60)}},
                        1, 110.0f, 90.0f, 40, 60, 4},
        // A move without the left button ends the drag, whatever other keys it holds; a later
        // move with the button pans nothing.
        DragSequenceRow{"move with no button", 2, 1, 100, 100, 1, 50, 50,
                        {{WM_MOUSEMOVE, 0, Point(70, 70)}, moveHeld(90, 90)},
                        0, 100.0f, 100.0f, 50, 50, 0},
        DragSequenceRow{"move with the right button", 2, 1, 100, 100, 1, 50, 50,
                        {{WM_MOUSEMOVE, 0x0002, Point(70, 70)}, moveHeld(90, 90)},
                        0, 100.0f, 100.0f, 50, 50, 0},
        DragSequenceRow{"move with every key but the left button", 2, 1, 100, 100, 1, 50, 50,
                        {{WM_MOUSEMOVE, 0xFFFE, Point(70, 70)}, moveHeld(90, 90)},
                        0, 100.0f, 100.0f, 50, 50, 0},
        DragSequenceRow{"button release ends the drag without a paint", 2, 1, 100, 100, 1, 50, 50,
                        {{WM_LBUTTONUP, 0, Point(50, 50)}, moveHeld(60, 60)},
                        0, 100.0f, 100.0f, 50, 50, 0},
        // Fitted, a move without the button still ends the drag: magnified again, a move with
        // the button held pans nothing.
        DragSequenceRow{"move without the button while fitted", 2, 2, 180, 144, 1, 50, 50,
                        {command(ID_ZOOM_FIT), {WM_MOUSEMOVE, 0, Point(70, 70)},
                         command(ID_ZOOM_X2), moveHeld(90, 90)},
                        0, 180.0f, 144.0f, 50, 50, 2},
        // In the filtered pane of compare mode, 8 right at x2; fitted (an unclamped stored
        // magnification counts as fit too) moves wait and take no position; at x2 again the whole
        // distance from (408, 50) applies: 176 - 52 / 2, 144 - 30 / 2.
        DragSequenceRow{"moves while fitted wait, then the whole distance applies", 0, 2, 180, 144,
                        1, 400, 50,
                        {moveHeld(408, 50), command(ID_ZOOM_FIT), moveHeld(430, 50),
                         moveHeld(450, 70), {storeMulti, static_cast<WPARAM>(-4), 0},
                         moveHeld(455, 75), command(ID_ZOOM_X2), moveHeld(460, 80)},
                        1, 150.0f, 129.0f, 460, 80, 4},
        // 10 at x2, then 12 and 6 at x3.
        DragSequenceRow{"wheel step in the middle", 2, 2, 180, 144, 1, 50, 50,
                        {moveHeld(60, 60), {WM_MOUSEWHEEL, Wheel(-120), Point(60, 60)},
                         moveHeld(72, 66)},
                        1, 171.0f, 137.0f, 72, 66, 3},
        // 10 at x2, then 8 and 4 at x4.
        DragSequenceRow{"menu command in the middle", 2, 2, 180, 144, 1, 50, 50,
                        {moveHeld(60, 60), command(ID_ZOOM_X4), moveHeld(68, 64)},
                        1, 173.0f, 138.0f, 68, 64, 3},
        DragSequenceRow{"negative positions count in the distance", 2, 1, 100, 100, 1, 5, 3,
                        {moveHeld(-3, -1)}, 1, 108.0f, 104.0f, -3, -1, 1},
        // From one end of the 16-bit range to the other: 65535 pixels, not 1. No video open, so
        // the paint leaves the centre unclamped.
        DragSequenceRow{"across the 16-bit range", 2, 1, 100, 100, 0, 32767, -32768,
                        {moveHeld(-32768, 32767)}, 1, 100.0f + 65535.0f, 100.0f - 65535.0f,
                        -32768, 32767, 1},
        // Dragged to (-40, 330), the centre is kept inside the 360 x 288 filtered picture.
        DragSequenceRow{"paint keeps the centre inside the filtered picture", 2, 1, 10, 280, 1,
                        100, 100, {moveHeld(150, 50)}, 1, 0.0f, 288.0f, 150, 50, 1}),
    RowName<DragSequenceRow>);
// clang-format on

// ---- Wheel -----------------------------------------------------------------

struct WheelRow {
    int32_t multi;
    WPARAM wParam;
    int32_t expected;
};

TEST_F(WindowMessagesTest, WheelStepsTheMagnificationOncePerMessage) {
    const WheelRow rows[] = {
        {3, Wheel(120), 2},
        {3, Wheel(0), 2},
        {3, Wheel(-120), 4},
        {3, Wheel(1200), 2},
        {3, Wheel(-1200), 4},
        {3, Wheel(32767), 2},
        {3, Wheel(-32768), 4},
        {3, Wheel(-1), 4},
        {0, Wheel(120), 0},
        {0, Wheel(0), 0},
        {0, Wheel(-120), 1},
        {1, Wheel(120), 0},
        {9, Wheel(-120), 10},
        {10, Wheel(-120), 10},
        {10, Wheel(120), 9},
        // Key bits in the low half do not count toward the delta.
        {3, Wheel(0, 0xFFFF), 2},
        {3, Wheel(-120, 0x0001), 4},
        // Unclamped stored values: the step, then the paint's clamp.
        {15, Wheel(-120), 10},
        {-3, Wheel(120), 0},
        {-3, Wheel(-120), 0},
    };
    for (const WheelRow& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "multi " << row.multi << " wParam " << std::hex << row.wParam);
        viewState.multi = row.multi;
        fake::Calls().clear();
        EXPECT_EQ(Send(WM_MOUSEWHEEL, row.wParam, Point(5, 5)), 0);
        EXPECT_EQ(viewState.multi, row.expected);
        EXPECT_TRUE(OnlyPaints(1));
    }
}

TEST_F(WindowMessagesTest, WheelKeepsTheCentreAndShowsTheNewMagnification) {
    HoldPictures(720, 576, 360, 288);
    ViewAt(0, 2, 50, 60);
    Send(WM_MOUSEWHEEL, Wheel(-120));
    EXPECT_EQ(LastStarting("SetWindowTextA("), TitleLine("Pandrel - 比較 - x3"));
    EXPECT_FALSE(Blits().empty());
    EXPECT_EQ(viewState.centerX, 50.0f);
    EXPECT_EQ(viewState.centerY, 60.0f);
}

// ---- Right button ----------------------------------------------------------

// Each release steps the mode, then paints once: compare goes to source, source to filtered,
// filtered back to source. Unclamped stored modes step before the paint clamps them; the largest
// int overflowed here once (found by fuzzing: a mode loaded from the settings store before any
// paint) and, wrapped to the smallest, ended in compare mode.
TEST_F(WindowMessagesTest, RightButtonReleaseStepsTheModeThenPaints) {
    // clang-format off
    const std::pair<int32_t, int32_t> rows[] = {{0, 1}, {1, 2}, {2, 1}, {7, 1}, {-5, 0}, {-1, 0},
                                                {3, 1}, {INT32_MAX, 1}, {INT32_MAX - 1, 1},
                                                {INT32_MIN, 0}};
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        viewState.screen = row.first;
        fake::Calls().clear();
        EXPECT_EQ(Send(WM_RBUTTONUP, 0, Point(5, 5)), 0);
        EXPECT_EQ(viewState.screen, row.second);
        EXPECT_TRUE(OnlyPaints(1));
    }
}

TEST_F(WindowMessagesTest, RightButtonPressDoesNothing) {
    HoldPictures(720, 576, 360, 288);
    const ViewState before = viewState;
    EXPECT_EQ(Send(rightButtonDown, 0x0002, Point(5, 5)), 0);
    ExpectSequence({});
    EXPECT_EQ(ViewFields(viewState), ViewFields(before));
}

// ---- Buffer notifications --------------------------------------------------

struct SyncRow {
    const char* name;
    UINT message;
    int shown;
    bool buffersBefore;
    int result;
    bool buffersAfter;
    Calls calls;
};

const Calls allocateBuffers = {"isWindowShown(filter)", "getSystemInfo(null)",
                               "VirtualAlloc(null, 921600, 0x1000, 4)",
                               "VirtualAlloc(null, 921600, 0x1000, 4)"};
const Calls keepBuffers = {"isWindowShown(filter)", "getSystemInfo(null)"};
const Calls releaseBuffers = {"isWindowShown(filter)", "VirtualFree(sourcePixels, 0, 0x8000)",
                              "VirtualFree(filteredPixels, 0, 0x8000)"};
const Calls askOnly = {"isWindowShown(filter)"};
const SyncRow kSyncRows[] = {
    {"opened, shown, none yet", notifyVideoOpened, 1, false, 1, true, allocateBuffers},
    {"opened, shown, buffers kept", notifyVideoOpened, 1, true, 1, true, keepBuffers},
    {"opened, shown as 2", notifyVideoOpened, 2, false, 1, true, allocateBuffers},
    {"opened, shown as -1", notifyVideoOpened, -1, true, 1, true, keepBuffers},
    {"shown as INT32_MIN", notifyShownOrHidden, INT32_MIN, false, 1, true, allocateBuffers},
    {"opened, hidden, buffers kept", notifyVideoOpened, 0, true, 0, true, askOnly},
    {"opened, hidden, none", notifyVideoOpened, 0, false, 0, false, askOnly},
    {"shown, none yet", notifyShownOrHidden, 1, false, 1, true, allocateBuffers},
    {"shown, buffers kept", notifyShownOrHidden, 1, true, 1, true, keepBuffers},
    {"hidden, buffers released", notifyShownOrHidden, 0, true, 0, false, releaseBuffers},
    {"hidden, none", notifyShownOrHidden, 0, false, 0, false, askOnly},
};

void PrintTo(const SyncRow& row, std::ostream* out) { *out << row.name; }

class BufferSyncTest : public WindowMessagesTest, public ::testing::WithParamInterface<SyncRow> {};

TEST_P(BufferSyncTest, FollowsTheWindowsVisibility) {
    const SyncRow& row = GetParam();
    if (row.buffersBefore) ReserveBuffers();
    uint8_t* const source = frameStore.sourcePixels;
    frameStore.sourceFrameNumber = 7;
    fake::host().windowShown = row.shown;
    fake::Calls().clear();
    EXPECT_EQ(Send(row.message), row.result);
    ExpectSequence(row.calls);
    EXPECT_EQ(frameStore.sourceFrameNumber, -1);
    EXPECT_EQ(frameStore.sourcePixels != nullptr, row.buffersAfter);
    EXPECT_EQ(frameStore.filteredPixels != nullptr, row.buffersAfter);
    if (row.buffersBefore && row.buffersAfter) EXPECT_EQ(frameStore.sourcePixels, source);
}

INSTANTIATE_TEST_SUITE_P(Rows, BufferSyncTest, ::testing::ValuesIn(kSyncRows), RowName<SyncRow>);

TEST_F(WindowMessagesTest, BufferSyncAnswersOneEvenWhenAllocationFails) {
    fake::platform().failAllAllocations = true;
    EXPECT_EQ(Send(notifyVideoOpened), 1);
    EXPECT_EQ(Send(notifyShownOrHidden), 1);
    EXPECT_EQ(frameStore.sourcePixels, nullptr);
    EXPECT_EQ(frameStore.filteredPixels, nullptr);
}

TEST_F(WindowMessagesTest, SyncMakesTheNextFrameFetchTheSourceAgain) {
    HoldPictures(720, 576, 360, 288);
    FrameProcInfo info = fake::Frame(360, 288, 720, 576);
    for (UINT message : {UINT{notifyVideoOpened}, UINT{notifyShownOrHidden}}) {
        SCOPED_TRACE(message);
        Send(message);
        fake::Calls().clear();
        ProcessFrame(filter, &info);
        EXPECT_EQ(Starting("getSourcePixels(edit, 0, sourcePixels, 0)").size(), 1u);
    }
}

TEST_F(WindowMessagesTest, VideoClosedReleasesThenFillsTheBackground) {
    fake::host().currentFrame = 12;
    HoldPictures(720, 576, 360, 288);
    ASSERT_EQ(frameStore.sourceFrameNumber, 12);
    EXPECT_EQ(Send(notifyVideoClosed), 0);
    ExpectSequence({"VirtualFree(sourcePixels, 0, 0x8000)",
                    "VirtualFree(filteredPixels, 0, 0x8000)", "GetMenu(window)"},
                   logStart);
    ExpectSequence({"FillRect(dc, {0,0,320,106}, 11)", "ReleaseDC(window, dc)"}, logEnd);
    EXPECT_EQ(Paints(), 1);
    EXPECT_EQ(frameStore.sourcePixels, nullptr);
    EXPECT_EQ(frameStore.filteredPixels, nullptr);
    EXPECT_EQ(frameStore.sourceFrameNumber, 12);
    EXPECT_EQ(fake::LiveBlocks(), 0u);
}

TEST_F(WindowMessagesTest, AttachMenuLoadsSetsAndDrawsTheMenu) {
    const std::string loadMenu = "LoadMenuA(instance, " + std::to_string(MENU_RESOURCE_ID) + ")";
    EXPECT_EQ(Send(notifyWindowCreated), 0);
    ExpectSequence(Calls{loadMenu, "SetMenu(window, menu)", "DrawMenuBar(window)"});
    // A failed load is passed on untested.
    fake::platform().menu = nullptr;
    fake::Calls().clear();
    EXPECT_EQ(Send(notifyWindowCreated), 0);
    ExpectSequence(Calls{loadMenu, "SetMenu(window, null)", "DrawMenuBar(window)"});
    EXPECT_EQ(viewState.mainMouseDown, 0);
}

// ---- Host preview ----------------------------------------------------------

TEST_F(WindowMessagesTest, PreviewMovesRepaintOnlyWhileMagnifiedAndPressed) {
    HoldPictures(720, 576, 360, 288);
    EXPECT_EQ(Send(notifyPreviewPress, 0, Point(100, 100)), 0);
    EXPECT_EQ(viewState.mainMouseDown, 1);
    EXPECT_EQ(Send(notifyPreviewMove, 0, Point(110, 100)), 0);
    ExpectSequence({});

    Send(WM_COMMAND, ID_ZOOM_X2);
    fake::Calls().clear();
    EXPECT_EQ(Send(notifyPreviewMove, 0, Point(120, 90)), 0);
    EXPECT_TRUE(OnlyPaints(1));
    EXPECT_EQ(viewState.centerX, 120.0f);
    EXPECT_EQ(viewState.centerY, 90.0f);

    fake::Calls().clear();
    EXPECT_EQ(Send(notifyPreviewRelease, 0, Point(130, 80)), 0);
    EXPECT_EQ(viewState.mainMouseDown, 0);
    EXPECT_EQ(Send(notifyPreviewMove, 0, Point(130, 80)), 0);
    ExpectSequence({});
    EXPECT_EQ(viewState.centerX, 120.0f);
}

struct PreviewRow {
    int x;
    int y;
    float centerX;
    float centerY;
};

TEST_F(WindowMessagesTest, PreviewPointBecomesTheClampedCentre) {
    HoldPictures(640, 480, 320, 240);
    const PreviewRow rows[] = {{100, 50, 100.0f, 50.0f},      {-7, 300, 0.0f, 240.0f},
                               {320, 240, 320.0f, 240.0f},    {400, -10, 320.0f, 0.0f},
                               {-32768, 32767, 0.0f, 240.0f}, {319, 1, 319.0f, 1.0f}};
    for (int32_t multi : {1, 3}) {
        viewState.multi = multi;
        for (UINT message : {UINT{notifyPreviewPress}, UINT{notifyPreviewMove}}) {
            for (const PreviewRow& row : rows) {
                SCOPED_TRACE(testing::Message() << "x" << multi << ", " << message << " at "
                                                << row.x << ", " << row.y);
                fake::Calls().clear();
                EXPECT_EQ(Send(message, 0, Point(row.x, row.y)), 0);
                EXPECT_TRUE(OnlyPaints(1));
                EXPECT_FALSE(Blits().empty());
                EXPECT_EQ(viewState.centerX, row.centerX);
                EXPECT_EQ(viewState.centerY, row.centerY);
                EXPECT_EQ(viewState.mainMouseDown, 1);
            }
        }
    }
}

TEST_F(WindowMessagesTest, PreviewPointLeavesTheCentreWithoutAnOpenVideo) {
    HoldPictures(640, 480, 320, 240);
    ViewAt(0, 3, 40, 30);
    fake::host().editing = 0;
    EXPECT_EQ(Send(notifyPreviewPress, 0, Point(200, 100)), 0);
    EXPECT_TRUE(OnlyPaints(1));
    EXPECT_TRUE(Blits().empty());
    EXPECT_EQ(viewState.mainMouseDown, 1);
    EXPECT_EQ(viewState.centerX, 40.0f);
    EXPECT_EQ(viewState.centerY, 30.0f);
}

// ---- Through the host's callbacks -------------------------------------------

TEST_F(WindowMessagesTest, SessionFromStartToEndStoresTheChosenView) {
    fake::host().settings = {{"Screen", 1}, {"Multi", 4}};
    fake::host().maxWidth = 720;
    fake::host().maxHeight = 576;
    fake::host().displayedPixels.assign(360 * 288 * 3, 0x44);
    fake::host().sourceBytes = 720 * 576 * 3;
    fake::platform().clientRect = {0, 0, 641, 300};
    const auto message = [&](UINT number, WPARAM wParam = 0, LPARAM lParam = 0) {
        return filter->windowProc(fake::window, number, wParam, lParam, fake::edit, filter);
    };

    EXPECT_EQ(filter->initProc(filter), 1);
    EXPECT_EQ(message(notifyWindowCreated), 0);
    EXPECT_EQ(message(notifyVideoOpened), 1);
    FrameProcInfo info = fake::Frame(360, 288, 720, 576);
    fake::Calls().clear();
    EXPECT_EQ(filter->frameProc(filter, &info), 1);
    EXPECT_EQ(LastStarting("SetWindowTextA("), TitleLine("Pandrel - ソース - x4"));
    EXPECT_FALSE(Blits().empty());

    message(WM_COMMAND, ID_VIEW_COMPARE);
    message(WM_COMMAND, ID_ZOOM_X2);
    EXPECT_EQ(LastStarting("SetWindowTextA("), TitleLine("Pandrel - 比較 - x2"));
    message(notifyPreviewPress, 0, Point(180, 144));
    message(notifyPreviewRelease);
    message(WM_LBUTTONDOWN, leftButton, Point(100, 50));
    message(WM_MOUSEMOVE, leftButton, Point(108, 54));
    message(WM_LBUTTONUP, 0, Point(108, 54));
    EXPECT_EQ(viewState.centerX, 178.0f);
    EXPECT_EQ(viewState.centerY, 143.0f);
    fake::Calls().clear();
    message(WM_MOUSEWHEEL, Wheel(-120));
    EXPECT_EQ(LastStarting("SetWindowTextA("), TitleLine("Pandrel - 比較 - x3"));
    EXPECT_FALSE(Blits().empty());

    EXPECT_EQ(filter->exitProc(filter), 1);
    EXPECT_EQ(fake::host().settings, (std::map<std::string, int>{{"Multi", 3}, {"Screen", 0}}));
    EXPECT_EQ(fake::LiveBlocks(), 0u);
}

}  // namespace

// Feeds the module random sequences of host callbacks and window messages,
// against a host whose every answer the input chooses, each made with the
// calling thread in a floating-point state the input chooses, and checks
// after each step what must hold whatever the host and the user do. Each
// input runs twice, the second time with every call made in Windows' default
// state: the platform and host calls, with all that is handed to them, and
// the view state after each step must be the same in both runs. Every pane
// layout and clamped centre the module computes is compared with the same
// source compiled a second time with SSE2 doubles, which sees precision
// faults only; every drag step and drag factor with its one-line formula
// written out (reference_arithmetic.h). The host's yes (any nonzero), the
// sizes of the two pictures and the largest size at each reservation, which
// may fail for one buffer only, are the input's choice.
//
// Input: a sequence of steps, each an opcode byte followed by its operands
// (see the Step* functions), the calling state last in each step that calls
// the module; a read past the end gives zeros.

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "capture/frame_store.h"
#include "checking/float_registers.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "tests/fuzz/reference_arithmetic.h"
#include "tests/support/fake_system.h"
#include "tests/support/module_state.h"
#include "ui/menu_ids.h"
#include "ui/window_messages.h"

using fake::Line;
using fake::Require;

namespace {

// The calling states of a run: those the input chooses, or Windows' default
// for every call (the input's bytes for them read all the same).
enum class CallerStates { chosen, windowsDefault };

class Input {
public:
    Input(const uint8_t* data, size_t size, CallerStates states)
        : data_(data), size_(size), states_(states) {}

    bool empty() const { return position_ >= size_; }
    uint8_t Byte() { return empty() ? 0 : data_[position_++]; }

    uint32_t Word32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= uint32_t{Byte()} << (8 * i);
        return value;
    }

    int16_t Half() {
        static const int16_t table[] = {0x7FFF, -0x8000, -1, 0x4000, 160, 319, 320, 640, 1000};
        const uint8_t k = Byte();
        if (k < 128) return static_cast<int16_t>(k - 64);
        if (k == 255) return static_cast<int16_t>(Byte() | Byte() << 8);
        return table[k % (sizeof table / sizeof *table)];
    }

    // Picture and largest-image sides: mostly small (zero and odd included),
    // sometimes negative, overflowing or larger than any buffer.
    int32_t Side() {
        static const int32_t table[] = {-1,    -640,  INT32_MIN, INT32_MAX, 640,      480,
                                        1920,  1080,  46341,     65535,     65536,    100000,
                                        30000, 20000, 4096,      1 << 20,   715827883};
        const uint8_t k = Byte();
        if (k < 200) return k % 97;
        if (k == 255) return static_cast<int32_t>(Word32());
        return table[k % (sizeof table / sizeof *table)];
    }

    // Client sides as GetClientRect gives them: never negative.
    int32_t ClientSide() {
        static const int32_t table[] = {0,   1,   2,    3,     4,       5,        106,
                                        320, 720, 1280, 32767, 1 << 27, INT32_MAX};
        const uint8_t k = Byte();
        if (k < 128) return k;
        if (k < 200) return (k - 128) * 20;
        return table[k % (sizeof table / sizeof *table)];
    }

    int Answer() {
        static const int table[] = {1, 1, 0, 2, -1, INT32_MIN};
        return table[Byte() % (sizeof table / sizeof *table)];
    }

    UINT Message() {
        static const UINT listed[] = {
            WM_PAINT,           WM_COMMAND,           WM_MOUSEMOVE,        WM_LBUTTONDOWN,
            WM_LBUTTONUP,       WM_RBUTTONUP,         WM_MOUSEWHEEL,       notifyVideoOpened,
            notifyVideoClosed,  notifyWindowCreated,  notifyShownOrHidden, notifyRepaint,
            notifyPreviewPress, notifyPreviewRelease, notifyPreviewMove};
        constexpr unsigned listedCount = sizeof listed / sizeof *listed;
        const uint8_t k = Byte();
        if (k < 15 * listedCount) return listed[k % listedCount];
        if (k < 240) return notifyWindowCreated + 1 + (k - 15 * listedCount) % 16;  // 1128..1143
        if (k == 255) return Word32();
        return k;
    }

    // A message parameter: two 16-bit halves (top bits set or not), a menu
    // command, or any pointer-sized value.
    uint64_t Param() {
        switch (Byte() % 4) {
            case 0: {
                const uint16_t x = static_cast<uint16_t>(Half());
                const uint16_t y = static_cast<uint16_t>(Half());
                return uint32_t{y} << 16 | x;
            }
            case 1: {
                const uint16_t x = static_cast<uint16_t>(Half());
                const uint16_t y = static_cast<uint16_t>(Half());
                return static_cast<uint64_t>(
                    static_cast<int64_t>(static_cast<int32_t>(y << 16 | x)));
            }
            case 2:
                return (ID_VIEW_COMPARE + Byte() % 16) | uint32_t{static_cast<uint16_t>(Half())}
                                                             << 16;
            default:
                return uint64_t{Word32()} << 32 | Word32();
        }
    }

    // The calling thread's floating-point state: x87 precision and rounding,
    // MXCSR rounding, flush-to-zero and denormals-are-zero, then for each
    // unit the exceptions unmasked and the flags already raised. An x87 flag
    // is raised only where its exception is masked: an unmasked one raised
    // is pending, a trap due at the next x87 arithmetic whoever runs it.
    // Zeros give Windows' default state.
    FloatRegisters CallerState() {
        static const uint16_t precision[] = {0x0200, 0x0000, 0x0300, 0x0200};  // 53, 24, 64 bits
        const uint8_t modes = Byte();
        const uint8_t x87Unmasked = Byte() & 0x3F;
        const uint8_t x87Flags = Byte() & 0x3F & ~x87Unmasked;
        const uint8_t mxcsrUnmasked = Byte() & 0x3F;
        const uint8_t mxcsrFlags = Byte() & 0x3F;
        const uint16_t x87Control = static_cast<uint16_t>(
            0x0040 | precision[modes & 3] | (modes >> 2 & 3) << 10 | (0x3F & ~x87Unmasked));
        const uint32_t mxcsr = uint32_t{(modes >> 4) & 3u} << 13 | (modes & 0x40 ? 0x8000 : 0) |
                               (modes & 0x80 ? 0x40 : 0) | uint32_t{0x3Fu & ~mxcsrUnmasked} << 7 |
                               mxcsrFlags;
        if (states_ == CallerStates::windowsDefault) return windowsDefaultState;
        return {x87Control, x87Flags, mxcsr};
    }

private:
    static constexpr FloatRegisters windowsDefaultState = {0x027F, 0, 0x1F80};
    const uint8_t* data_;
    size_t size_;
    CallerStates states_;
    size_t position_ = 0;
};

// Largest block the fake system grants; bigger requests fail as they may on
// a real 32-bit system, and stay within the fuzzer's memory limit.
constexpr size_t largestBlock = 64u << 20;

// Bytes of a picture the host can hold, or -1 when it cannot exist.
int64_t HostPictureBytes(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return -1;
    const int64_t pixels = int64_t{width} * height;
    return pixels <= int64_t{largestBlock / 3} ? pixels * 3 : -1;
}

// The module as freshly loaded, bound to a host with default answers, every
// call watched strictly.
FilterTable* LoadModule() {
    fake::Reset();
    fake::watch().strict = true;
    fake::platform().largestBlock = largestBlock;
    fake::Host& host = fake::host();
    host.maxWidth = 64;
    host.maxHeight = 48;
    return fake::LoadModule(fake::window, fake::instance);
}

// Harness code within a module call: runs in the harness's own state,
// unwatched, and gives the module back the state it found.
class InOwnFloatState {
public:
    InOwnFloatState() : armed_(fake::watch().floatStateArmed) {
        fake::watch().floatStateArmed = false;
        found_ = ReadFloatRegisters();
        LoadFloatRegisters(fake::ownFloatState);
    }
    ~InOwnFloatState() {
        LoadFloatRegisters(found_);
        fake::watch().floatStateArmed = armed_;
    }

private:
    bool armed_;
    FloatRegisters found_;
};

// Results compare bit for bit: -0 is not 0.
bool SameBits(float a, float b) {
    return __builtin_bit_cast(uint32_t, a) == __builtin_bit_cast(uint32_t, b);
}

bool SameCenter(PanCenter a, PanCenter b) {
    return SameBits(a.centerX, b.centerX) && SameBits(a.centerY, b.centerY);
}

bool SameLayout(const PaneLayout& a, const PaneLayout& b) {
    return a.xDest == b.xDest && a.yDest == b.yDest && a.destWidth == b.destWidth &&
           a.destHeight == b.destHeight && a.xSrc == b.xSrc && a.ySrc == b.ySrc &&
           a.srcWidth == b.srcWidth && a.srcHeight == b.srcHeight && a.fillPane == b.fillPane;
}

std::string Describe(PanCenter center) { return Line("(%a, %a)", center.centerX, center.centerY); }

std::string Describe(const PaneLayout& layout) {
    return Line("dest %d,%d %dx%d, source %d,%d %dx%d, fill %d", layout.xDest, layout.yDest,
                layout.destWidth, layout.destHeight, layout.xSrc, layout.ySrc, layout.srcWidth,
                layout.srcHeight, layout.fillPane);
}

// Reports a result of the module that the reference arithmetic does not give.
void RequireReference(bool same, const std::string& call, const std::string& module,
                      const std::string& reference, const char* what) {
    if (same) return;
    fprintf(stderr, "%s: the module gives %s, the reference %s\n", call.c_str(), module.c_str(),
            reference.c_str());
    Require(false, what);
}

// Makes `call` to the module with the thread in the state the input chooses,
// requiring that state at every call out and on return, and returns to the
// harness's own state before anything else runs: the caller's unmasked
// exceptions would trap in the harness's arithmetic.
template <typename Call>
int CallModule(Input& input, Call&& call) {
    const FloatRegisters state = input.CallerState();
    FloatStateCheck& check = fake::watch().floatState;
    LoadFloatRegisters(state);
    fake::ExpectCallerFloatState();
    const int result = call();
    const bool givenBack = CheckFloatState(check, "on return");
    LoadFloatRegisters(fake::ownFloatState);
    fake::watch().floatStateArmed = false;
    Require(givenBack, check.lastChange);
    return result;
}

// Gives back what one input allocated, so that no input sees another's memory.
void ReleaseMemory() {
    FreeImageBuffers();
    fake::host().displayedPixels = {};
}

void StepInit(Input& input, FilterTable* filter) {
    fake::host().settings["Screen"] = static_cast<int32_t>(input.Word32());
    fake::host().settings["Multi"] = static_cast<int32_t>(input.Word32());
    Require(CallModule(input, [&] { return InitFilter(filter); }) == 1, "InitFilter result");
}

void StepExit(Input& input, FilterTable* filter) {
    Require(CallModule(input, [&] { return ExitFilter(filter); }) == 1, "ExitFilter result");
    Require(frameStore.sourcePixels == nullptr && frameStore.filteredPixels == nullptr,
            "buffers left after ExitFilter");
}

void StepFrame(Input& input, FilterTable* filter) {
    const int32_t width = input.Side();
    const int32_t height = input.Side();
    const bool sameSize = input.Byte() & 1;
    const int32_t sourceWidth = sameSize ? width : input.Side();
    const int32_t sourceHeight = sameSize ? height : input.Side();
    FrameProcInfo info = fake::Frame(width, height, sourceWidth, sourceHeight);
    fake::Host& host = fake::host();
    host.currentFrame = static_cast<int8_t>(input.Byte());
    // The displayed frame: exactly width x height x 3 bytes, so that a copy
    // of more is an overread. A size that cannot exist gets a one-byte block.
    const bool displayedMissing = input.Byte() % 8 == 0;
    const int64_t displayedBytes = HostPictureBytes(info.width, info.height);
    host.displayedPixels = {};
    if (!displayedMissing)
        host.displayedPixels.assign(displayedBytes > 0 ? static_cast<size_t>(displayedBytes) : 1,
                                    0x3C);
    host.sourceFill = 0xA5;
    host.sourceBytes = HostPictureBytes(info.sourceWidth, info.sourceHeight);
    host.frameInProgress = true;
    Require(CallModule(input, [&] { return ProcessFrame(filter, &info); }) == 1,
            "ProcessFrame result");
    host.frameInProgress = false;
}

// The centre changes in a move only by a drag step: the reference's step
// from the centre before it, clamped as the paint that drew clamps it.
void CheckDragStep(const ViewState& before, LPARAM lParam, bool drew) {
    const PanCenter centerBefore = {before.centerX, before.centerY};
    const PanCenter center = {viewState.centerX, viewState.centerY};
    if (SameCenter(center, centerBefore)) return;
    const int32_t dx = static_cast<int16_t>(lParam & 0xFFFF) - before.lastMouseX;
    const int32_t dy = static_cast<int16_t>(lParam >> 16 & 0xFFFF) - before.lastMouseY;
    PanCenter expected = reference::DragStep(centerBefore, dx, dy, before.multi,
                                             {before.dragScaleX, before.dragScaleY});
    if (drew) {
        const BITMAPINFOHEADER& filtered = frameStore.filteredInfo.bmiHeader;
        expected = reference::ClampPanCenter(expected.centerX, expected.centerY, filtered.biWidth,
                                             filtered.biHeight);
    }
    RequireReference(SameCenter(center, expected),
                     Line("drag step (%d, %d) from %s at x%d, factors %a %a%s", dx, dy,
                          Describe(centerBefore).c_str(), before.multi, before.dragScaleX,
                          before.dragScaleY, drew ? ", clamped" : ""),
                     Describe(center), Describe(expected),
                     "a drag step's centre differs from the reference arithmetic's");
}

// The drag factors change only when a drag starts: to 1 in the filtered
// pane, to the reference's factors in the source pane.
void CheckDragFactors(const ViewState& before) {
    const PanCenter factors = {viewState.dragScaleX, viewState.dragScaleY};
    if (SameCenter(factors, {before.dragScaleX, before.dragScaleY}) ||
        SameCenter(factors, {1.0f, 1.0f}))
        return;
    const BITMAPINFOHEADER& source = frameStore.sourceInfo.bmiHeader;
    const BITMAPINFOHEADER& filtered = frameStore.filteredInfo.bmiHeader;
    const reference::DragFactors expected = reference::SourcePaneDragFactors(
        source.biWidth, source.biHeight, filtered.biWidth, filtered.biHeight);
    RequireReference(SameCenter(factors, {expected.x, expected.y}),
                     Line("drag factors of a %dx%d source and a %dx%d filtered picture",
                          source.biWidth, source.biHeight, filtered.biWidth, filtered.biHeight),
                     Describe(factors), Describe(PanCenter{expected.x, expected.y}),
                     "drag factors differ from the reference arithmetic's");
}

void StepMessage(Input& input, FilterTable* filter) {
    const UINT message = input.Message();
    const WPARAM wParam = static_cast<WPARAM>(input.Param());
    const LPARAM lParam = static_cast<LPARAM>(input.Param());
    const ViewState before = viewState;
    const int drawingPaintsBefore = fake::platform().stretchModes;
    const int result = CallModule(input, [&] {
        return HandleWindowMessage(fake::window, message, wParam, lParam, fake::edit, filter);
    });
    Require(result == 0 || result == 1, "HandleWindowMessage result");
    if (message == WM_MOUSEMOVE) {
        CheckDragStep(before, lParam, fake::platform().stretchModes > drawingPaintsBefore);
    }
    CheckDragFactors(before);
}

void StepAnswers(Input& input) {
    fake::Host& host = fake::host();
    host.editing = input.Answer();
    host.active = input.Answer();
    host.windowShown = input.Answer();
}

void StepSystem(Input& input) {
    fake::host().maxWidth = input.Side();
    fake::host().maxHeight = input.Side();
    fake::platform().failingAllocations = input.Byte();
    fake::platform().clientRect = {0, 0, input.ClientSide(), input.ClientSide()};
}

// What must hold after every step, whatever happened in it.
void CheckInvariants(int paintsBefore, int drawingPaintsBefore) {
    const fake::Platform& platform = fake::platform();
    Require(fake::LiveBlocks() <= 2, "more than the two buffers allocated");
    Require(fake::LiveBlocks() ==
                (frameStore.sourcePixels != nullptr) + (frameStore.filteredPixels != nullptr),
            "a buffer leaked");
    Require(platform.openDcs == 0, "a DC was not released");
    const BITMAPINFOHEADER& source = frameStore.sourceInfo.bmiHeader;
    const BITMAPINFOHEADER& filtered = frameStore.filteredInfo.bmiHeader;
    if (frameStore.sourcePixels != nullptr) {
        Require(BlitBytes(source.biWidth, source.biHeight) <=
                    static_cast<int64_t>(fake::BlockSize(frameStore.sourcePixels)),
                "source header outgrew its buffer");
    }
    if (frameStore.filteredPixels != nullptr) {
        Require(BlitBytes(filtered.biWidth, filtered.biHeight) <=
                    static_cast<int64_t>(fake::BlockSize(frameStore.filteredPixels)),
                "filtered header outgrew its buffer");
    }
    if (platform.titles > paintsBefore) {
        Require(viewState.screen >= 0 && viewState.screen <= 2, "screen out of 0..2 after a paint");
        Require(viewState.multi >= 0 && viewState.multi <= maxMulti,
                "multi out of 0..10 after a paint");
    }
    if (platform.stretchModes > drawingPaintsBefore) {
        Require(
            viewState.centerX >= 0.0f && viewState.centerX <= static_cast<float>(filtered.biWidth),
            "centerX outside the filtered picture after a drawing paint");
        Require(
            viewState.centerY >= 0.0f && viewState.centerY <= static_cast<float>(filtered.biHeight),
            "centerY outside the filtered picture after a drawing paint");
    }
}

void LogViewState() {
    fake::Log(
        Line("view: screen %d, x%d, center %a %a, dragging %d from %d,%d, factors %a %a, "
             "preview pressed %d, last painted %d",
             viewState.screen, viewState.multi, viewState.centerX, viewState.centerY,
             viewState.dragging, viewState.lastMouseX, viewState.lastMouseY, viewState.dragScaleX,
             viewState.dragScaleY, viewState.mainMouseDown, viewState.lastPaintedScreen));
}

// Runs the input's steps on the module as freshly loaded, and returns the
// calls it made with the view state after each step.
std::vector<std::string> RunSession(const uint8_t* data, size_t size, CallerStates states) {
    FilterTable* filter = LoadModule();
    fake::watch().log = true;
    Input input(data, size, states);
    while (!input.empty()) {
        const int paintsBefore = fake::platform().titles;
        const int drawingPaintsBefore = fake::platform().stretchModes;
        switch (input.Byte() % 6) {
            case 0:
                StepInit(input, filter);
                break;
            case 1:
                StepExit(input, filter);
                break;
            case 2:
                StepFrame(input, filter);
                break;
            case 3:
                StepMessage(input, filter);
                break;
            case 4:
                StepAnswers(input);
                break;
            default:
                StepSystem(input);
                break;
        }
        CheckInvariants(paintsBefore, drawingPaintsBefore);
        // Both runs print the buffers alike.
        fake::NameBuffers();
        LogViewState();
    }
    ReleaseMemory();
    return std::move(fake::Calls());
}

// The caller's state may change only the state itself: both runs must make
// the same calls with the same arguments and leave the same view state.
void RequireSameCalls(const std::vector<std::string>& chosen,
                      const std::vector<std::string>& windowsDefault) {
    size_t first = 0;
    while (first < chosen.size() && first < windowsDefault.size() &&
           chosen[first] == windowsDefault[first])
        ++first;
    if (first == chosen.size() && first == windowsDefault.size()) return;
    const auto at = [first](const std::vector<std::string>& calls) {
        return first < calls.size() ? calls[first].c_str() : "(no more calls)";
    };
    fprintf(stderr, "line %zu of the log, in the chosen calling states: %s\n", first + 1,
            at(chosen));
    fprintf(stderr, "line %zu of the log, in Windows' default state: %s\n", first + 1,
            at(windowsDefault));
    Require(false, "the calls differ between the chosen calling states and Windows' default");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> chosen = RunSession(data, size, CallerStates::chosen);
    const std::vector<std::string> windowsDefault =
        RunSession(data, size, CallerStates::windowsDefault);
    RequireSameCalls(chosen, windowsDefault);
    return 0;
}

// The module's geometry: every call that the module's painting makes is
// redirected here by the linker (-Wl,--wrap, tests/fuzz/CMakeLists.txt) and
// compared with the reference arithmetic on the same arguments.
extern "C" {

PaneLayout __real__Z17ComputePaneLayoutRK4RECT9PaneAligniiiiiff(
    const RECT& pane, PaneAlign align, int32_t pictureWidth, int32_t pictureHeight,
    int32_t filteredWidth, int32_t filteredHeight, int32_t multi, float centerX, float centerY);
PanCenter __real__Z14ClampPanCenterffii(float centerX, float centerY, int32_t filteredWidth,
                                        int32_t filteredHeight);
PanCenter __real__Z17ClampPreviewPointssii(int16_t x, int16_t y, int32_t filteredWidth,
                                           int32_t filteredHeight);

PaneLayout __wrap__Z17ComputePaneLayoutRK4RECT9PaneAligniiiiiff(
    const RECT& pane, PaneAlign align, int32_t pictureWidth, int32_t pictureHeight,
    int32_t filteredWidth, int32_t filteredHeight, int32_t multi, float centerX, float centerY) {
    const PaneLayout layout = __real__Z17ComputePaneLayoutRK4RECT9PaneAligniiiiiff(
        pane, align, pictureWidth, pictureHeight, filteredWidth, filteredHeight, multi, centerX,
        centerY);
    const InOwnFloatState own;
    const PaneLayout expected =
        reference::ComputePaneLayout(pane, align, pictureWidth, pictureHeight, filteredWidth,
                                     filteredHeight, multi, centerX, centerY);
    RequireReference(SameLayout(layout, expected),
                     Line("ComputePaneLayout({%d,%d,%d,%d}, %d, %d, %d, %d, %d, %d, %a, %a)",
                          pane.left, pane.top, pane.right, pane.bottom, align, pictureWidth,
                          pictureHeight, filteredWidth, filteredHeight, multi, centerX, centerY),
                     Describe(layout), Describe(expected),
                     "a pane layout differs from the reference arithmetic's");
    return layout;
}

PanCenter __wrap__Z14ClampPanCenterffii(float centerX, float centerY, int32_t filteredWidth,
                                        int32_t filteredHeight) {
    const PanCenter center =
        __real__Z14ClampPanCenterffii(centerX, centerY, filteredWidth, filteredHeight);
    const InOwnFloatState own;
    const PanCenter expected =
        reference::ClampPanCenter(centerX, centerY, filteredWidth, filteredHeight);
    RequireReference(
        SameCenter(center, expected),
        Line("ClampPanCenter(%a, %a, %d, %d)", centerX, centerY, filteredWidth, filteredHeight),
        Describe(center), Describe(expected),
        "a clamped centre differs from the reference arithmetic's");
    return center;
}

PanCenter __wrap__Z17ClampPreviewPointssii(int16_t x, int16_t y, int32_t filteredWidth,
                                           int32_t filteredHeight) {
    const PanCenter center = __real__Z17ClampPreviewPointssii(x, y, filteredWidth, filteredHeight);
    const InOwnFloatState own;
    const PanCenter expected = reference::ClampPreviewPoint(x, y, filteredWidth, filteredHeight);
    RequireReference(SameCenter(center, expected),
                     Line("ClampPreviewPoint(%d, %d, %d, %d)", x, y, filteredWidth, filteredHeight),
                     Describe(center), Describe(expected),
                     "a preview point's centre differs from the reference arithmetic's");
    return center;
}

}  // extern "C"

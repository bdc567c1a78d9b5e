// Feeds the module random sequences of host callbacks and window messages,
// against a host whose every answer the input chooses, each made with the
// calling thread in a floating-point state the input chooses, and checks
// after each step what must hold whatever the host and the user do.
//
// Input: a sequence of steps, each an opcode byte followed by its operands
// (see the Step* functions), the calling state last in each step that calls
// the module; a read past the end gives zeros.

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "capture/frame_store.h"
#include "checking/float_registers.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "tests/support/fake_system.h"
#include "tests/support/module_state.h"
#include "ui/menu_ids.h"
#include "ui/window_messages.h"

using fake::Require;

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

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
        return {x87Control, x87Flags, mxcsr};
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

const HWND window = reinterpret_cast<HWND>(0x1000);
const HINSTANCE instance = reinterpret_cast<HINSTANCE>(0x4000);
const EditHandle edit = reinterpret_cast<EditHandle>(0x5000);
const HDC windowDc = reinterpret_cast<HDC>(0x2000);
const HMENU windowMenu = reinterpret_cast<HMENU>(0x3000);

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
    fake::Platform& platform = fake::platform();
    platform.dc = windowDc;
    platform.menu = windowMenu;
    platform.largestBlock = largestBlock;
    fake::Host& host = fake::host();
    host.maxWidth = 64;
    host.maxHeight = 48;
    return fake::LoadModule(window, instance);
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
    check.keptBits = calleeKeptFloatBits;
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
    FrameProcInfo info = {};
    info.width = input.Side();
    info.height = input.Side();
    const bool sameSize = input.Byte() & 1;
    info.sourceWidth = sameSize ? info.width : input.Side();
    info.sourceHeight = sameSize ? info.height : input.Side();
    info.editHandle = edit;
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

void StepMessage(Input& input, FilterTable* filter) {
    const UINT message = input.Message();
    const WPARAM wParam = static_cast<WPARAM>(input.Param());
    const LPARAM lParam = static_cast<LPARAM>(input.Param());
    const int result = CallModule(
        input, [&] { return HandleWindowMessage(window, message, wParam, lParam, edit, filter); });
    Require(result == 0 || result == 1, "HandleWindowMessage result");
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FilterTable* filter = LoadModule();
    Input input(data, size);
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
    }
    ReleaseMemory();
    return 0;
}

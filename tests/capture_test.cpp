#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "capture/frame_store.h"
#include "plugin/view_state.h"
#include "tests/support/fake_host.h"
#include "tests/support/paint_calls.h"
#include "tests/support/thread_float_state.h"
#include "view/paint_view.h"

namespace {

using namespace call_log;
using namespace paint_calls;

using Header = std::array<uint8_t, 44>;

static_assert(sizeof(BITMAPINFO) == sizeof(Header), "BITMAPINFO is 44 bytes");

void PutLittleEndian(Header& header, size_t offset, uint32_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) header[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The 44 bytes of the header of a 24-bit bottom-up picture of width x height.
Header PictureHeader(int32_t width, int32_t height) {
    Header header = {};
    PutLittleEndian(header, 0, 40, 4);  // biSize
    PutLittleEndian(header, 4, static_cast<uint32_t>(width), 4);
    PutLittleEndian(header, 8, static_cast<uint32_t>(height), 4);
    PutLittleEndian(header, 12, 1, 2);   // biPlanes
    PutLittleEndian(header, 14, 24, 2);  // biBitCount; biCompression BI_RGB = 0
    return header;
}

Header BytesOf(const BITMAPINFO& info) {
    Header header;
    memcpy(header.data(), &info, sizeof header);
    return header;
}

// A picture whose every byte depends on its position and on `seed`.
std::vector<uint8_t> Picture(size_t bytes, uint8_t seed) {
    std::vector<uint8_t> picture(bytes);
    for (size_t i = 0; i < bytes; ++i) picture[i] = static_cast<uint8_t>(i * 7 + seed);
    return picture;
}

std::vector<uint8_t> Contents(const uint8_t* pixels, size_t bytes) {
    return std::vector<uint8_t>(pixels, pixels + bytes);
}

// Bytes of a 24-bit picture as the platform's blit reads it.
size_t PaddedBytes(int32_t width, int32_t height) {
    return static_cast<size_t>(fake::PaddedRowBytes(width) * height);
}

const char allocation921600[] = "VirtualAlloc(null, 921600, 0x1000, 4)";
const Calls frameQueries = {"isEditing(edit)", "isActive(edit)", "getCurrentFrame(edit)"};

class CaptureTest : public ModuleTest {
protected:
    // The host shows frame `frame`: a filtered picture of width x height made
    // from `seed`, and a source picture of sourceWidth x sourceHeight that
    // getSourcePixels writes as `sourceFill` bytes.
    int Capture(int frame, int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                uint8_t seed) {
        fake::host().currentFrame = frame;
        fake::host().displayedPixels = Picture(static_cast<size_t>(width) * height * 3, seed);
        fake::host().sourceBytes = static_cast<size_t>(sourceWidth) * sourceHeight * 3;
        fake::host().sourceFill = seed;
        fake::Calls().clear();
        FrameProcInfo info = fake::Frame(width, height, sourceWidth, sourceHeight);
        return ProcessFrame(filter, &info);
    }

    static bool SourceHolds(size_t bytes, uint8_t fill) {
        return std::all_of(frameStore.sourcePixels, frameStore.sourcePixels + bytes,
                           [&](uint8_t value) { return value == fill; });
    }
};

TEST_F(CaptureTest, AllocationAsksTheHostAndReservesTwoCommittedReadWriteBuffers) {
    AllocateImageBuffers(filter);
    ExpectSequence(Calls{"getSystemInfo(null)", allocation921600, allocation921600});
    EXPECT_NE(frameStore.sourcePixels, nullptr);
    EXPECT_NE(frameStore.filteredPixels, nullptr);
    EXPECT_NE(frameStore.sourcePixels, frameStore.filteredPixels);
    EXPECT_EQ(fake::LiveBlocks(), 2u);
}

TEST_F(CaptureTest, AllocationKeepsExistingBuffersWhateverTheHostNowReports) {
    ReserveBuffers();
    uint8_t* const source = frameStore.sourcePixels;
    uint8_t* const filtered = frameStore.filteredPixels;
    fake::host().maxWidth = 1920;
    fake::host().maxHeight = 1080;
    AllocateImageBuffers(filter);
    ExpectSequence(Calls{"getSystemInfo(null)"});
    EXPECT_EQ(frameStore.sourcePixels, source);
    EXPECT_EQ(frameStore.filteredPixels, filtered);

    // Only a missing buffer is reserved, at the size reported now.
    frameStore.filteredPixels = nullptr;
    fake::Calls().clear();
    AllocateImageBuffers(filter);
    ExpectSequence(Calls{"getSystemInfo(null)", "VirtualAlloc(null, 6220800, 0x1000, 4)"});
    EXPECT_EQ(frameStore.sourcePixels, source);
    EXPECT_NE(frameStore.filteredPixels, nullptr);
    VirtualFree(filtered, 0, MEM_RELEASE);
}

TEST_F(CaptureTest, FailedAllocationsLeaveTheBuffersAbsent) {
    fake::platform().failAllAllocations = true;
    AllocateImageBuffers(filter);
    ExpectSequence(Calls{"getSystemInfo(null)", allocation921600, allocation921600});
    EXPECT_EQ(frameStore.sourcePixels, nullptr);
    EXPECT_EQ(frameStore.filteredPixels, nullptr);
    EXPECT_EQ(frameStore.sourceCapacity, 0);
    EXPECT_EQ(frameStore.filteredCapacity, 0);
}

TEST_F(CaptureTest, HostThatFillsInNothingGetsNoBuffers) {
    HostServices silentHost = *filter->services;
    silentHost.getSystemInfo = [](void*, HostSystemInfo*) { return 1; };
    filter->services = &silentHost;
    AllocateImageBuffers(filter);
    ExpectSequence({});
    EXPECT_EQ(frameStore.sourcePixels, nullptr);
    EXPECT_EQ(frameStore.filteredPixels, nullptr);
}

TEST_F(CaptureTest, FreeReleasesEachBufferOnceAndForgetsIt) {
    ReserveBuffers();
    FreeImageBuffers();
    ExpectSequence(
        Calls{"VirtualFree(sourcePixels, 0, 0x8000)", "VirtualFree(filteredPixels, 0, 0x8000)"});
    EXPECT_EQ(frameStore.sourceCapacity, 0);
    EXPECT_EQ(frameStore.filteredCapacity, 0);
    EXPECT_EQ(frameStore.sourcePixels, nullptr);
    EXPECT_EQ(frameStore.filteredPixels, nullptr);
    EXPECT_EQ(fake::LiveBlocks(), 0u);

    fake::Calls().clear();
    FreeImageBuffers();
    ExpectSequence({});
}

// The largest image the host reports, and the VirtualAlloc calls it must lead
// to: none when width x height x 3 is not positive or overflows int32.
struct LargestSizeCase {
    const char* name;
    int32_t maxWidth, maxHeight;
    Calls allocations;
};

void PrintTo(const LargestSizeCase& row, std::ostream* out) { *out << row.name; }

class AllocationSizeTest : public CaptureTest,
                           public ::testing::WithParamInterface<LargestSizeCase> {};

TEST_P(AllocationSizeTest, ReservesOnlyARepresentablePositiveSize) {
    const LargestSizeCase& c = GetParam();
    fake::host().maxWidth = c.maxWidth;
    fake::host().maxHeight = c.maxHeight;
    fake::platform().failAllAllocations = true;  // the calls are what counts here
    AllocateImageBuffers(filter);
    ExpectSequence(Calls{"getSystemInfo(null)"} + c.allocations);
    EXPECT_EQ(frameStore.sourcePixels, nullptr);
    EXPECT_EQ(frameStore.filteredPixels, nullptr);
}

const char allocationLargest[] = "VirtualAlloc(null, 2147483644, 0x1000, 4)";

INSTANTIATE_TEST_SUITE_P(
    LargestSizes, AllocationSizeTest,
    ::testing::Values(
        LargestSizeCase{
            "Ordinary",
            1280,
            720,
            {"VirtualAlloc(null, 2764800, 0x1000, 4)", "VirtualAlloc(null, 2764800, 0x1000, 4)"}},
        // Rows as the blit reads them: 641 x 3 = 1923 bytes padded to 1924.
        LargestSizeCase{
            "OddWidthRowsPadded",
            641,
            480,
            {"VirtualAlloc(null, 923520, 0x1000, 4)", "VirtualAlloc(null, 923520, 0x1000, 4)"}},
        // 854 x 3 = 2562 bytes padded to 2564; 643 x 3 = 1929 padded to 1932.
        LargestSizeCase{
            "WidthTwoModuloFourRowsPadded",
            854,
            480,
            {"VirtualAlloc(null, 1230720, 0x1000, 4)", "VirtualAlloc(null, 1230720, 0x1000, 4)"}},
        LargestSizeCase{
            "WidthThreeModuloFourRowsPadded",
            643,
            480,
            {"VirtualAlloc(null, 927360, 0x1000, 4)", "VirtualAlloc(null, 927360, 0x1000, 4)"}},
        // A single pixel's 3 bytes are read as 4.
        LargestSizeCase{"OnePixel",
                        1,
                        1,
                        {"VirtualAlloc(null, 4, 0x1000, 4)", "VirtualAlloc(null, 4, 0x1000, 4)"}},
        LargestSizeCase{"WidthThreeOneRow",
                        3,
                        1,
                        {"VirtualAlloc(null, 12, 0x1000, 4)", "VirtualAlloc(null, 12, 0x1000, 4)"}},
        LargestSizeCase{
            "LargestRepresentable", 715827881, 1, {allocationLargest, allocationLargest}},
        LargestSizeCase{"PaddedRowOverflow", 715827882, 1, {}},
        LargestSizeCase{"BytesOverflow", 715827883, 1, {}},
        LargestSizeCase{"BytesOverflowSquare", 40000, 40000, {}},
        LargestSizeCase{"PixelsOverflow", 65536, 65536, {}},
        LargestSizeCase{"ZeroWidth", 0, 480, {}}, LargestSizeCase{"ZeroHeight", 640, 0, {}},
        LargestSizeCase{"Zero", 0, 0, {}}, LargestSizeCase{"NegativeWidth", -640, 480, {}},
        LargestSizeCase{"BothNegative", -640, -480, {}},
        LargestSizeCase{"Minimum", INT32_MIN, INT32_MIN, {}}),
    [](const ::testing::TestParamInfo<LargestSizeCase>& info) {
        return std::string(info.param.name);
    });

// The host's yes is any nonzero answer, from isEditing and isActive alike.
class FirstCaptureTest : public CaptureTest, public ::testing::WithParamInterface<int> {};

TEST_P(FirstCaptureTest, FetchesCopiesDescribesAndPaintsOnce) {
    fake::host().editing = GetParam();
    fake::host().active = GetParam();
    ReserveBuffers();
    EXPECT_EQ(Capture(7, 640, 480, 640, 480, 0x11), 1);
    ExpectSequence(
        frameQueries +
        Calls{"getSourcePixels(edit, 7, sourcePixels, 0)", "getDisplayedPixels(edit, 0)"} +
        Opening(0, 0, "Pandrel - 比較 - 全体") + Calls{stretchMode, Fill({158, 0, 162, 106})} +
        Drawing("compare fit") + Calls{releaseDc});
    EXPECT_EQ(Contents(frameStore.filteredPixels, 921600), fake::host().displayedPixels);
    EXPECT_TRUE(SourceHolds(921600, 0x11));
    EXPECT_EQ(BytesOf(frameStore.sourceInfo), PictureHeader(640, 480));
    EXPECT_EQ(BytesOf(frameStore.filteredInfo), PictureHeader(640, 480));
    EXPECT_EQ(frameStore.sourceFrameNumber, 7);
    EXPECT_EQ(frameStore.frameCaptured, 1);
}

INSTANTIATE_TEST_SUITE_P(YesAnswers, FirstCaptureTest, ::testing::Values(1, 2, -1, INT32_MIN),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Yes" + std::string(info.param < 0 ? "Minus" : "") +
                                    std::to_string(info.param < 0 ? -int64_t{info.param}
                                                                  : int64_t{info.param});
                         });

TEST_F(CaptureTest, HeadersAreRewrittenWholeWithOnlyTheBitmapFieldsSet) {
    ReserveBuffers();
    memset(&frameStore.sourceInfo, 0xA5, sizeof frameStore.sourceInfo);
    memset(&frameStore.filteredInfo, 0xA5, sizeof frameStore.filteredInfo);
    Capture(1, 33, 17, 65, 35, 3);
    EXPECT_EQ(BytesOf(frameStore.sourceInfo), PictureHeader(65, 35));
    EXPECT_EQ(BytesOf(frameStore.filteredInfo), PictureHeader(33, 17));
    EXPECT_EQ(Contents(frameStore.filteredPixels, 33 * 17 * 3), fake::host().displayedPixels);
}

TEST_F(CaptureTest, SameFrameAgainRefreshesOnlyTheFilteredPicture) {
    ReserveBuffers();
    Capture(7, 640, 480, 640, 480, 0x11);
    // Filter settings changed: the same frame, now filtered to 320 x 240; the
    // host reports another source size, which must not matter.
    EXPECT_EQ(Capture(7, 320, 240, 320, 240, 0x22), 1);
    ExpectSequence(frameQueries + Calls{"getDisplayedPixels(edit, 0)", "GetMenu(window)"},
                   logStart);
    EXPECT_EQ(Paints(), 1);
    ExpectSequence({releaseDc}, logEnd);
    EXPECT_TRUE(SourceHolds(921600, 0x11));
    EXPECT_EQ(BytesOf(frameStore.sourceInfo), PictureHeader(640, 480));
    EXPECT_EQ(Contents(frameStore.filteredPixels, 320 * 240 * 3), fake::host().displayedPixels);
    EXPECT_EQ(BytesOf(frameStore.filteredInfo), PictureHeader(320, 240));
}

TEST_F(CaptureTest, SameFrameIgnoresASourceSizeThatWouldNotFit) {
    ReserveBuffers();
    Capture(7, 640, 480, 640, 480, 0x11);
    EXPECT_EQ(Capture(7, 640, 480, 4000, 4000, 0x22), 1);
    EXPECT_EQ(Paints(), 1);
    EXPECT_EQ(BytesOf(frameStore.sourceInfo), PictureHeader(640, 480));
    EXPECT_EQ(Contents(frameStore.filteredPixels, 921600), fake::host().displayedPixels);
}

TEST_F(CaptureTest, ForgottenSourceFrameIsFetchedAgainForTheSameNumber) {
    ReserveBuffers();
    Capture(7, 640, 480, 640, 480, 0x11);
    frameStore.sourceFrameNumber = -1;
    Capture(7, 640, 480, 320, 240, 0x22);
    ExpectSequence(frameQueries + Calls{"getSourcePixels(edit, 7, sourcePixels, 0)"}, logStart);
    EXPECT_EQ(frameStore.sourceFrameNumber, 7);
    EXPECT_EQ(BytesOf(frameStore.sourceInfo), PictureHeader(320, 240));
    EXPECT_TRUE(SourceHolds(320 * 240 * 3, 0x22));
}

TEST_F(CaptureTest, NewFrameNumberFetchesTheSourceOfThatFrame) {
    ReserveBuffers();
    Capture(7, 640, 480, 640, 480, 0x11);
    Capture(8, 640, 480, 640, 480, 0x22);
    ExpectSequence(frameQueries + Calls{"getSourcePixels(edit, 8, sourcePixels, 0)"}, logStart);
    EXPECT_EQ(frameStore.sourceFrameNumber, 8);
    EXPECT_TRUE(SourceHolds(921600, 0x22));
}

TEST_F(CaptureTest, HostFrameIsNeverWritten) {
    ReserveBuffers();
    fake::host().currentFrame = 3;
    fake::host().displayedPixels = Picture(921600, 0x33);
    fake::host().sourceBytes = 921600;
    const std::vector<uint8_t> shown = fake::host().displayedPixels;
    FrameProcInfo info = fake::Frame(640, 480, 640, 480);
    ProcessFrame(filter, &info);
    ProcessFrame(filter, &info);
    PaintView(filter, fake::edit, nullptr);
    EXPECT_EQ(fake::host().displayedPixels, shown);
}

// Frames that stop before anything is captured: the host's answers and the
// calls up to the stop as listed, the frame store as it was.
struct EarlyExitCase {
    const char* name;
    int32_t maxWidth, maxHeight;  // the host's largest size
    uint32_t failingAllocations;  // as fake::Platform's
    bool reserved;                // the buffers reserved
    bool capturedFirst;           // frame 1 captured first (frameCaptured then cleared)
    uint8_t* FrameStore::*freed;  // a buffer released after that, or none
    int editing, active;          // the host's answers
    int32_t width;                // of frame 1's filtered picture: 640 x 480 fits, its source too
    Calls calls;
};

void PrintTo(const EarlyExitCase& row, std::ostream* out) { *out << row.name; }

class EarlyExitTest : public CaptureTest, public ::testing::WithParamInterface<EarlyExitCase> {};

TEST_P(EarlyExitTest, FrameStopsBeforeItIsCaptured) {
    const EarlyExitCase& c = GetParam();
    fake::host().maxWidth = c.maxWidth;
    fake::host().maxHeight = c.maxHeight;
    fake::platform().failingAllocations = c.failingAllocations;
    if (c.reserved) ReserveBuffers();
    if (c.capturedFirst) {
        Capture(1, 640, 480, 640, 480, 0x11);
        frameStore.frameCaptured = 0;
    }
    if (c.freed != nullptr) {
        VirtualFree(frameStore.*c.freed, 0, MEM_RELEASE);
        frameStore.*c.freed = nullptr;
    }
    fake::host().editing = c.editing;
    fake::host().active = c.active;
    const FrameStore before = frameStore;
    EXPECT_EQ(Capture(1, c.width, 480, 640, 480, 0x22), 1);
    ExpectSequence(c.calls);
    EXPECT_EQ(frameStore.frameCaptured, 0);
    EXPECT_EQ(frameStore.sourceFrameNumber, before.sourceFrameNumber);
    EXPECT_EQ(BytesOf(frameStore.sourceInfo), BytesOf(before.sourceInfo));
    EXPECT_EQ(BytesOf(frameStore.filteredInfo), BytesOf(before.filteredInfo));
}

const Calls editingOnly = {"isEditing(edit)"};
uint8_t* FrameStore::*const noBuffer = nullptr;
uint8_t* FrameStore::*const sourceBuffer = &FrameStore::sourcePixels;
uint8_t* FrameStore::*const filteredBuffer = &FrameStore::filteredPixels;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Frames, EarlyExitTest,
    ::testing::Values(
        EarlyExitCase{"NoVideo", 640, 480, 0, true, false, noBuffer, 0, 1, 640, editingOnly},
        EarlyExitCase{"NoBuffers", 640, 480, 0, false, false, noBuffer, 1, 1, 640, editingOnly},
        EarlyExitCase{"LargestSizeZero", 0, 0, 0, true, false, noBuffer, 1, 1, 640, editingOnly},
        EarlyExitCase{"SourceAllocationFailed", 640, 480, 1, true, false, noBuffer, 1, 1, 640,
                      editingOnly},
        EarlyExitCase{"FilteredAllocationFailed", 640, 480, 2, true, false, noBuffer, 1, 1, 640,
                      editingOnly},
        // The frame's source picture is held already.
        EarlyExitCase{"SourceBufferReleasedAfterACapture", 640, 480, 0, true, true, sourceBuffer, 1,
                      1, 640, editingOnly},
        EarlyExitCase{"FilteredBufferReleasedAfterACapture", 640, 480, 0, true, true,
                      filteredBuffer, 1, 1, 640, editingOnly},
        EarlyExitCase{"InactiveHost", 640, 480, 0, true, false, noBuffer, 1, 0, 640,
                      {"isEditing(edit)", "isActive(edit)"}},
        EarlyExitCase{"FirstFrameTooWide", 640, 480, 0, true, false, noBuffer, 1, 1, 641,
                      frameQueries}),
    RowName<EarlyExitCase>);
// clang-format on

TEST_F(CaptureTest, FrameCapturedIsSetByTheFirstCompleteCaptureAndStays) {
    ReserveBuffers();
    fake::host().active = 0;
    Capture(1, 640, 480, 640, 480, 0x11);
    EXPECT_EQ(frameStore.frameCaptured, 0);
    fake::host().active = 1;
    Capture(1, 640, 480, 640, 480, 0x11);
    EXPECT_EQ(frameStore.frameCaptured, 1);
    fake::host().editing = 0;
    Capture(2, 640, 480, 640, 480, 0x11);
    FreeImageBuffers();
    EXPECT_EQ(frameStore.frameCaptured, 1);
}

// A frame that does not fit the buffers (reserved for 640 x 480) is not
// captured: nothing fetched or copied, no paint, the previous pictures and
// headers kept.
struct OversizeCase {
    const char* name;
    int32_t width, height, sourceWidth, sourceHeight;
};

void PrintTo(const OversizeCase& row, std::ostream* out) { *out << row.name; }

class OversizeTest : public CaptureTest, public ::testing::WithParamInterface<OversizeCase> {};

TEST_P(OversizeTest, FrameIsNotCaptured) {
    const OversizeCase& c = GetParam();
    ReserveBuffers();
    Capture(1, 320, 240, 640, 480, 0x11);
    const std::vector<uint8_t> filtered = Contents(frameStore.filteredPixels, 921600);
    const Header sourceHeader = BytesOf(frameStore.sourceInfo);
    const Header filteredHeader = BytesOf(frameStore.filteredInfo);

    fake::host().currentFrame = 2;
    fake::host().displayedPixels = Picture(921600, 0x22);
    fake::host().sourceFill = 0x22;
    fake::host().sourceBytes = 921600;
    fake::Calls().clear();
    FrameProcInfo info = fake::Frame(c.width, c.height, c.sourceWidth, c.sourceHeight);
    EXPECT_EQ(ProcessFrame(filter, &info), 1);

    ExpectSequence(frameQueries);
    EXPECT_TRUE(SourceHolds(921600, 0x11));
    EXPECT_EQ(Contents(frameStore.filteredPixels, 921600), filtered);
    EXPECT_EQ(BytesOf(frameStore.sourceInfo), sourceHeader);
    EXPECT_EQ(BytesOf(frameStore.filteredInfo), filteredHeader);
    EXPECT_EQ(frameStore.sourceFrameNumber, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, OversizeTest,
    ::testing::Values(OversizeCase{"FilteredWider", 641, 480, 640, 480},
                      OversizeCase{"FilteredTaller", 640, 481, 640, 480},
                      OversizeCase{"FilteredLongRow", 921601, 1, 640, 480},
                      OversizeCase{"FilteredOnePixelOver", 307201, 1, 640, 480},
                      // 921600 bytes as delivered, but 4-byte rows for the blit.
                      OversizeCase{"FilteredPaddedRowsOver", 1, 307200, 640, 480},
                      OversizeCase{"FilteredBytesOverflow", 40000, 40000, 640, 480},
                      // Rows whose byte count overflows int32, as delivered (3 x 715827883) or
                      // padded (3 x 715827882 + 3).
                      OversizeCase{"FilteredRowOverflow", 715827883, 1, 640, 480},
                      OversizeCase{"FilteredPaddedRowOverflow", 715827882, 1, 640, 480},
                      OversizeCase{"FilteredZeroWidth", 0, 240, 640, 480},
                      OversizeCase{"FilteredZeroHeight", 320, 0, 640, 480},
                      OversizeCase{"FilteredNegative", -320, 240, 640, 480},
                      OversizeCase{"FilteredBothNegative", -320, -240, 640, 480},
                      OversizeCase{"SourceWider", 320, 240, 641, 480},
                      OversizeCase{"SourceOnePixelOver", 320, 240, 1, 307201},
                      OversizeCase{"SourcePaddedRowsOver", 320, 240, 1, 307200},
                      OversizeCase{"SourcePixelsOverflow", 320, 240, 65536, 65536},
                      OversizeCase{"SourceZero", 320, 240, 0, 0},
                      OversizeCase{"SourceBothNegative", 320, 240, -640, -480}),
    [](const ::testing::TestParamInfo<OversizeCase>& info) {
        return std::string(info.param.name);
    });

// The two buffers reserved for different largest sizes: one allocation
// failed (bit 0 the source buffer's, bit 1 the filtered one's) and was made
// again after the host's largest size changed. Each picture of a frame must
// fit its own buffer; a frame that would fit the other one is not captured.
struct UnequalBuffersCase {
    const char* name;
    uint32_t failingFirst;
    int32_t laterWidth, laterHeight;  // the largest size when the failed one is made again
    int32_t width, height, sourceWidth, sourceHeight;
    bool captured;
};

void PrintTo(const UnequalBuffersCase& row, std::ostream* out) { *out << row.name; }

class UnequalBuffersTest : public CaptureTest,
                           public ::testing::WithParamInterface<UnequalBuffersCase> {};

TEST_P(UnequalBuffersTest, EachPictureMustFitItsOwnBuffer) {
    const UnequalBuffersCase& c = GetParam();
    fake::platform().failingAllocations = c.failingFirst;
    AllocateImageBuffers(filter);
    fake::host().maxWidth = c.laterWidth;
    fake::host().maxHeight = c.laterHeight;
    ReserveBuffers();
    ASSERT_EQ(fake::LiveBlocks(), 2u);
    const int32_t later = BlitBytes(c.laterWidth, c.laterHeight);
    ASSERT_EQ(frameStore.sourceCapacity, c.failingFirst == 1 ? later : 921600);
    ASSERT_EQ(frameStore.filteredCapacity, c.failingFirst == 2 ? later : 921600);

    EXPECT_EQ(Capture(4, c.width, c.height, c.sourceWidth, c.sourceHeight, 0x44), 1);
    EXPECT_EQ(frameStore.frameCaptured, c.captured ? 1 : 0);
    if (c.captured) {
        EXPECT_EQ(frameStore.sourceFrameNumber, 4);
        EXPECT_EQ(BytesOf(frameStore.sourceInfo), PictureHeader(c.sourceWidth, c.sourceHeight));
        EXPECT_EQ(BytesOf(frameStore.filteredInfo), PictureHeader(c.width, c.height));
        EXPECT_EQ(Contents(frameStore.filteredPixels, fake::host().displayedPixels.size()),
                  fake::host().displayedPixels);
    } else {
        ExpectSequence(frameQueries);
        EXPECT_EQ(frameStore.sourceFrameNumber, -1);
    }
}

// Reserved first for 640 x 480.
INSTANTIATE_TEST_SUITE_P(
    Frames, UnequalBuffersTest,
    ::testing::Values(
        UnequalBuffersCase{"FilteredShrunkFrameFitsBoth", 2, 320, 240, 320, 240, 640, 480, true},
        UnequalBuffersCase{"FilteredShrunkFilteredFitsOnlySources", 2, 320, 240, 640, 480, 320,
                           240, false},
        UnequalBuffersCase{"SourceShrunkFrameFitsBoth", 1, 320, 240, 640, 480, 320, 240, true},
        UnequalBuffersCase{"SourceShrunkSourceFitsOnlyFiltereds", 1, 320, 240, 320, 240, 640, 480,
                           false},
        UnequalBuffersCase{"FilteredGrownFilteredFitsOnlyItsOwn", 2, 800, 600, 800, 600, 640,
                           480, true},
        UnequalBuffersCase{"SourceGrownSourceFitsOnlyItsOwn", 1, 800, 600, 640, 480, 800, 600,
                           true},
        UnequalBuffersCase{"SourceGrownFilteredFitsOnlySources", 1, 800, 600, 800, 600, 640, 480,
                           false}),
    [](const ::testing::TestParamInfo<UnequalBuffersCase>& info) {
        return std::string(info.param.name);
    });

// Largest sizes and picture widths of each residue modulo 4. The buffers hold
// the largest picture as the blit reads it; the capture copies exactly the
// picture's width x height x 3 bytes, although the host's memory goes on past
// them; and the paint reads only inside the buffers (the fake platform checks
// every blit).
struct PictureWidthCase {
    const char* name;
    int32_t maxWidth, maxHeight;
    int32_t width, height, sourceWidth, sourceHeight;
};

void PrintTo(const PictureWidthCase& row, std::ostream* out) { *out << row.name; }

class PictureWidthTest : public CaptureTest,
                         public ::testing::WithParamInterface<PictureWidthCase> {};

TEST_P(PictureWidthTest, CopiesExactlyThePictureAndBlitsInsideTheBuffers) {
    const PictureWidthCase& c = GetParam();
    fake::host().maxWidth = c.maxWidth;
    fake::host().maxHeight = c.maxHeight;
    // Wide enough that even a picture of 2 rows or columns fits to at least 1.
    fake::platform().clientRect = {0, 0, 1928, 1000};
    ReserveBuffers();
    const size_t capacity = fake::BlockSize(frameStore.filteredPixels);
    // Checked before any capture, which would write past a smaller buffer.
    ASSERT_GE(capacity, PaddedBytes(c.maxWidth, c.maxHeight))
        << "buffers smaller than the largest picture as the blit reads it";
    ASSERT_EQ(fake::BlockSize(frameStore.sourcePixels), capacity);

    const size_t pictureBytes = static_cast<size_t>(c.width) * c.height * 3;
    memset(frameStore.filteredPixels, 0xEE, capacity);
    fake::host().currentFrame = 1;
    fake::host().displayedPixels = Picture(pictureBytes, 0x11);
    fake::host().displayedPixels.resize(PaddedBytes(c.width, c.height), 0x11);
    fake::host().sourceBytes = static_cast<size_t>(c.sourceWidth) * c.sourceHeight * 3;
    FrameProcInfo info = fake::Frame(c.width, c.height, c.sourceWidth, c.sourceHeight);
    EXPECT_EQ(ProcessFrame(filter, &info), 1);
    EXPECT_EQ(frameStore.frameCaptured, 1);
    EXPECT_EQ(BlitsThatRead(), 2);
    EXPECT_EQ(Contents(frameStore.filteredPixels, pictureBytes),
              Contents(fake::host().displayedPixels.data(), pictureBytes));
    EXPECT_EQ(Contents(frameStore.filteredPixels + pictureBytes, capacity - pictureBytes),
              std::vector<uint8_t>(capacity - pictureBytes, 0xEE))
        << "the capture wrote past the picture's " << pictureBytes << " bytes";

    // Magnified around each corner of the filtered picture, in each view.
    const int16_t corners[][2] = {{0, 0},
                                  {static_cast<int16_t>(c.width), 0},
                                  {0, static_cast<int16_t>(c.height)},
                                  {static_cast<int16_t>(c.width), static_cast<int16_t>(c.height)}};
    viewState.multi = maxMulti;
    fake::Calls().clear();
    for (int32_t screen = screenCompare; screen <= screenFiltered; ++screen) {
        viewState.screen = screen;
        for (const auto& corner : corners) PaintView(filter, fake::edit, corner);
    }
    EXPECT_EQ(BlitsThatRead(), 16);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, PictureWidthTest,
    ::testing::Values(PictureWidthCase{"ZeroModuloFourExactFit", 640, 480, 640, 480, 640, 480},
                      PictureWidthCase{"OneModuloFourExactFit", 641, 480, 641, 480, 641, 480},
                      PictureWidthCase{"TwoModuloFourExactFit", 854, 480, 854, 480, 854, 480},
                      PictureWidthCase{"ThreeModuloFourExactFit", 643, 480, 643, 480, 643, 480},
                      PictureWidthCase{"ThreeModuloFourOneRowExactFit", 3, 1, 3, 1, 3, 1},
                      PictureWidthCase{"TwoWideInLargerBuffers", 640, 480, 2, 240, 641, 3},
                      // 1932 x 478 bytes fill 1924 x 480 but for 24.
                      PictureWidthCase{"ThreeModuloFourInOneModuloFour", 641, 480, 643, 478, 854,
                                       359},
                      PictureWidthCase{"SmallPicturesInLargeBuffers", 1280, 720, 3, 5, 643, 2}),
    RowName<PictureWidthCase>);

TEST_F(CaptureTest, NullDisplayedPictureIsNotCopiedNorPainted) {
    ReserveBuffers();
    Capture(1, 320, 240, 640, 480, 0x11);
    frameStore.frameCaptured = 0;
    const std::vector<uint8_t> filtered = Contents(frameStore.filteredPixels, 921600);

    fake::host().currentFrame = 2;
    fake::host().displayedPixels.clear();
    fake::host().displayedPixels.shrink_to_fit();
    ASSERT_EQ(fake::host().displayedPixels.data(), nullptr);
    fake::Calls().clear();
    FrameProcInfo info = fake::Frame(640, 480, 640, 480);
    EXPECT_EQ(ProcessFrame(filter, &info), 1);

    ExpectSequence(frameQueries + Calls{"getSourcePixels(edit, 2, sourcePixels, 0)",
                                        "getDisplayedPixels(edit, 0)"});
    EXPECT_EQ(Contents(frameStore.filteredPixels, 921600), filtered);
    EXPECT_EQ(BytesOf(frameStore.filteredInfo), PictureHeader(320, 240));
    EXPECT_EQ(frameStore.frameCaptured, 0);
}

TEST_F(CaptureTest, BufferReservedSmallerThanItsStaleHeaderForgetsThatHeader) {
    ReserveBuffers();
    Capture(1, 320, 240, 640, 480, 0x11);
    FreeImageBuffers();

    // 320 x 240 buffers: the 640 x 480 source header would outgrow its buffer,
    // the 320 x 240 filtered header still fits.
    fake::host().maxWidth = 320;
    fake::host().maxHeight = 240;
    ReserveBuffers();
    EXPECT_EQ(BytesOf(frameStore.sourceInfo), Header{});
    EXPECT_EQ(BytesOf(frameStore.filteredInfo), PictureHeader(320, 240));

    // A paint before the next capture reads only what the buffers hold.
    PaintView(filter, fake::edit, nullptr);
    ExpectSequence({releaseDc}, logEnd);

    FreeImageBuffers();
    fake::platform().failAllAllocations = true;
    AllocateImageBuffers(filter);
    EXPECT_EQ(BytesOf(frameStore.filteredInfo), Header{});
}

// Buffers released and reserved again for another largest size: a picture
// header kept from before must still fit its buffer with its rows padded as
// the blit reads them, or it is forgotten; the next paint then reads only
// inside the buffers.
struct ReserveAgainCase {
    const char* name;
    int32_t firstWidth, firstHeight;  // largest size, and the picture captured
    int32_t maxWidth, maxHeight;      // largest size afterwards
    bool kept;
};

void PrintTo(const ReserveAgainCase& row, std::ostream* out) { *out << row.name; }

class ReserveAgainTest : public CaptureTest,
                         public ::testing::WithParamInterface<ReserveAgainCase> {};

TEST_P(ReserveAgainTest, KeepsOnlyAHeaderThatFitsItsNewBuffer) {
    const ReserveAgainCase& c = GetParam();
    fake::host().maxWidth = c.firstWidth;
    fake::host().maxHeight = c.firstHeight;
    ReserveBuffers();
    Capture(1, c.firstWidth, c.firstHeight, c.firstWidth, c.firstHeight, 0x11);
    ASSERT_EQ(frameStore.frameCaptured, 1);
    FreeImageBuffers();

    fake::host().maxWidth = c.maxWidth;
    fake::host().maxHeight = c.maxHeight;
    ReserveBuffers();
    const Header expected = c.kept ? PictureHeader(c.firstWidth, c.firstHeight) : Header{};
    EXPECT_EQ(BytesOf(frameStore.sourceInfo), expected);
    EXPECT_EQ(BytesOf(frameStore.filteredInfo), expected);
    // Fitted, a picture of few rows may be blitted to no row at all.
    for (viewState.multi = 0; viewState.multi <= 1; ++viewState.multi) {
        fake::Calls().clear();
        PaintView(filter, fake::edit, nullptr);
        EXPECT_EQ(BlitsThatRead(), c.kept ? 2 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    LargestSizes, ReserveAgainTest,
    // 1 x 96 takes 288 bytes as delivered, 384 as blitted; 4 x 24 takes 288.
    ::testing::Values(ReserveAgainCase{"PaddedRowsOutgrowTheNewBuffer", 1, 96, 4, 24, false},
                      ReserveAgainCase{"PaddedRowsFitTheNewBufferExactly", 1, 96, 4, 32, true},
                      // 643 x 2: 3858 bytes delivered, 3864 blitted; 1286 x 1: 3860.
                      ReserveAgainCase{"ThreeModuloFourOutgrowsTheNewBuffer", 643, 2, 1286, 1,
                                       false},
                      // 4 x 76920 holds the 641 x 480 picture's 923,040 bytes but not the 923,520
                      // that the blit reads with its rows padded.
                      ReserveAgainCase{"PictureFitsButNotItsPaddedRows", 641, 480, 4, 76920,
                                       false},
                      ReserveAgainCase{"Larger", 641, 480, 1920, 1080, true}),
    RowName<ReserveAgainCase>);

}  // namespace

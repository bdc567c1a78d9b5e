// The module's cost per frame, per paint, per layout and per window message,
// against a null-sink Win32 layer, with the heap allocations made during the
// timed loop counted (expected: none). The frame capture is timed against a
// plain memcpy of the same bytes, and the ratio printed at the end.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "capture/frame_store.h"
#include "checking/float_registers.h"
#include "plugin/float_state.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "tests/support/fake_system.h"
#include "ui/menu_ids.h"
#include "ui/window_messages.h"
#include "view/paint_view.h"
#include "view/pane_layout.h"

// Every heap allocation of the process goes through these (libstdc++'s
// operator new calls malloc), so the count covers new and malloc alike.
namespace {
std::atomic<int64_t> heapAllocations{0};
}  // namespace

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);

void* malloc(size_t size) noexcept {
    heapAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept {
    heapAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) noexcept {
    heapAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(block, size);
}
}

namespace {

// The module freshly loaded, its buffers reserved for width x height and one
// frame of that size captured, in compare mode at magnification `multi`.
FilterTable* LoadWithFrame(int32_t width, int32_t height, int32_t multi) {
    // A host that always has a video open and serves one still frame;
    // fetching the source picture is the host's work, not the module's.
    fake::Reset();
    fake::host().currentFrame = 1;
    fake::host().maxWidth = width;
    fake::host().maxHeight = height;
    fake::host().displayedPixels.assign(static_cast<size_t>(width) * height * 3, 0x5A);
    fake::platform().clientRect = {0, 0, 1280, 720};
    FilterTable* filter = fake::LoadModule(fake::window, fake::instance);
    InitFilter(filter);
    HandleWindowMessage(fake::window, notifyVideoOpened, 0, 0, fake::edit, filter);
    FrameProcInfo info = fake::Frame(width, height, width, height);
    ProcessFrame(filter, &info);
    viewState.multi = multi;
    viewState.centerX = width / 2.0f;
    viewState.centerY = height / 2.0f;
    return filter;
}

// Heap allocations per iteration of the timed loop, as a counter.
class AllocationCount {
public:
    AllocationCount() : before_(heapAllocations.load()) {}
    void Report(benchmark::State& state, const char* name) const {
        state.counters[name] = benchmark::Counter(
            static_cast<double>(heapAllocations.load() - before_) / state.iterations());
    }

private:
    int64_t before_;
};

// The same frame shown again (a filter setting changed): one copy of the
// filtered picture, the headers and a paint.
void ProcessFrameBench(benchmark::State& state, int32_t width, int32_t height) {
    FilterTable* filter = LoadWithFrame(width, height, 0);
    FrameProcInfo info = fake::Frame(width, height, width, height);
    const AllocationCount allocations;
    for (auto _ : state) {
        ProcessFrame(filter, &info);
        benchmark::ClobberMemory();
    }
    allocations.Report(state, "allocs/frame");
    state.SetBytesProcessed(state.iterations() * int64_t{width} * height * 3);
    FreeImageBuffers();
}

// What a frame costs beside its copy: host calls, headers and the paint.
BENCHMARK_CAPTURE(ProcessFrameBench, fixed_cost_1x1, 1, 1)->Unit(benchmark::kNanosecond);

// The bare copy of the same bytes between the same two blocks.
void FrameCopyBench(benchmark::State& state, int32_t width, int32_t height) {
    LoadWithFrame(width, height, 0);
    const size_t bytes = fake::host().displayedPixels.size();
    for (auto _ : state) {
        memcpy(frameStore.filteredPixels, fake::host().displayedPixels.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    FreeImageBuffers();
}

// One paint of a 1920 x 1080 frame in a 1280 x 720 client, compare mode.
void BM_PaintView(benchmark::State& state) {
    FilterTable* filter = LoadWithFrame(1920, 1080, static_cast<int32_t>(state.range(0)));
    const AllocationCount allocations;
    for (auto _ : state) PaintView(filter, fake::edit, nullptr);
    allocations.Report(state, "allocs/paint");
    FreeImageBuffers();
}
BENCHMARK(BM_PaintView)->ArgName("multi")->Arg(0)->Arg(2);

void BM_ComputePaneLayout(benchmark::State& state) {
    RECT pane = {0, 0, 638, 720};
    int32_t multi = static_cast<int32_t>(state.range(0));
    float centerX = 960.0f;
    float centerY = 540.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pane);
        benchmark::DoNotOptimize(multi);
        benchmark::DoNotOptimize(centerX);
        benchmark::DoNotOptimize(centerY);
        const PaneLayout layout =
            ComputePaneLayout(pane, alignRight, 1920, 1080, 1920, 1080, multi, centerX, centerY);
        benchmark::DoNotOptimize(layout);
    }
}
BENCHMARK(BM_ComputePaneLayout)->ArgName("multi")->Arg(0)->Arg(2);

// States of the calling thread: the first is the one every benchmark runs in.
const struct {
    const char* name;
    FloatRegisters registers;
} callerStates[] = {
    {"Windows default, precision flag raised", {0x027F, x87PrecisionFlag, 0x1FA0}},
    {"Windows default, no flags", {0x027F, 0, 0x1F80}},
    {"64-bit precision, no flags", {0x037F, 0, 0x1F80}},
};

// The switch into the module's floating-point state and back, around one
// inexact division as the module's arithmetic does, in each calling state.
// The switch gives that state back, so each iteration starts in it again.
void BM_FloatStateSwitch(benchmark::State& state) {
    const auto& caller = callerStates[state.range(0)];
    state.SetLabel(caller.name);
    volatile double one = 1.0, three = 3.0;
    LoadFloatRegisters(caller.registers);
    for (auto _ : state) {
        const CallerFloatState saved = EnterModuleFloatState();
        benchmark::DoNotOptimize(one / three);
        LeaveModuleFloatState(saved);
    }
    // The loop's own timing may raise flags; the controls must be the caller's.
    const FloatRegisters after = ReadFloatRegisters();
    if (after.x87Control != caller.registers.x87Control ||
        (after.mxcsr ^ caller.registers.mxcsr) & ~0x3Fu)
        state.SkipWithError("the switch changed the caller's controls");
    LoadFloatRegisters(callerStates[0].registers);
}
BENCHMARK(BM_FloatStateSwitch)->DenseRange(0, 2);

// A drag in the window: each move shifts the centre and repaints.
void BM_DragMove(benchmark::State& state) {
    FilterTable* filter = LoadWithFrame(1920, 1080, 2);
    HandleWindowMessage(fake::window, WM_LBUTTONDOWN, 0, 100 << 16 | 900, fake::edit, filter);
    LPARAM x = 900;
    const AllocationCount allocations;
    for (auto _ : state) {
        x = x == 900 ? 908 : 900;
        HandleWindowMessage(fake::window, WM_MOUSEMOVE, MK_LBUTTON, 100 << 16 | x, fake::edit,
                            filter);
    }
    allocations.Report(state, "allocs/message");
    FreeImageBuffers();
}
BENCHMARK(BM_DragMove);

// Every other message that repaints, in turn: wheel both ways, a menu
// command, the right button, WM_PAINT and the host's preview press, move
// and release.
void BM_MessageMix(benchmark::State& state) {
    struct Message {
        UINT number;
        WPARAM wParam;
        LPARAM lParam;
    };
    static const Message mix[] = {
        {WM_MOUSEWHEEL, 0xFF880000u, 0},
        {WM_MOUSEWHEEL, 0x00780000u, 0},
        {WM_COMMAND, ID_ZOOM_X2, 0},
        {WM_RBUTTONUP, 0, 0},
        {WM_PAINT, 0, 0},
        {notifyPreviewPress, 0, 540 << 16 | 960},
        {notifyPreviewMove, 0, 500 << 16 | 900},
        {notifyPreviewRelease, 0, 0},
    };
    FilterTable* filter = LoadWithFrame(1920, 1080, 2);
    size_t next = 0;
    const AllocationCount allocations;
    for (auto _ : state) {
        const Message& message = mix[next];
        next = (next + 1) % (sizeof mix / sizeof *mix);
        HandleWindowMessage(fake::window, message.number, message.wParam, message.lParam,
                            fake::edit, filter);
    }
    allocations.Report(state, "allocs/message");
    FreeImageBuffers();
}
BENCHMARK(BM_MessageMix);

// The console report, followed by ProcessFrame's time over memcpy's for
// each frame size (medians when repetitions are asked for).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!run.error_occurred && (median || single)) {
                times_[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& [name, time] : times_) {
            if (name.rfind(frameName, 0) != 0) continue;
            const auto copy = times_.find(copyName + name.substr(frameName.size()));
            if (copy == times_.end()) continue;
            GetOutputStream() << "ratio " << name << " / " << copy->first << ": "
                              << time / copy->second << "\n";
        }
    }

    static inline const std::string frameName = "ProcessFrame/";
    static inline const std::string copyName = "memcpy/";

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    static const struct {
        int32_t width, height;
    } sizes[] = {{1280, 720}, {1920, 1080}, {3840, 2160}};
    // Each frame size next to its copy, so that both see the same machine.
    for (const auto& size : sizes) {
        const std::string suffix = std::to_string(size.width) + "x" + std::to_string(size.height);
        benchmark::RegisterBenchmark((RatioReporter::frameName + suffix).c_str(), ProcessFrameBench,
                                     size.width, size.height)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((RatioReporter::copyName + suffix).c_str(), FrameCopyBench,
                                     size.width, size.height)
            ->Unit(benchmark::kMicrosecond);
    }
    // Every benchmark runs as a Windows host's thread would call the module.
    LoadFloatRegisters(callerStates[0].registers);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

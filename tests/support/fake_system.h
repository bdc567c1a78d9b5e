// The platform and the host as every native harness gives them to the
// module: one implementation of each Win32 function and host service it
// calls. They answer from the records below and keep the module's memory
// blocks; each harness chooses how closely to watch:
// - the caller's floating-point state, required at every call out;
// - a log line per call (the tests);
// - checks of the arguments, records and texts the module hands over and of
//   every byte the platform would read for them (every test and the fuzzer);
// - strictly, the host's frame protocol as well (the fuzzer's host).
// With none of them (the benchmarks) a call only answers.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "checking/float_registers.h"
#include "plugin/host_interface.h"
#include "win32/platform.h"

namespace fake {

// The handles of the module's window and of the video being edited.
extern const HWND window;
extern const HINSTANCE instance;
extern const EditHandle edit;
extern const HDC windowDc;
extern const HMENU windowMenu;

struct Platform {
    RECT clientRect = {0, 0, 320, 106};
    HMENU menu = windowMenu;  // what GetMenu and LoadMenuA return
    HDC dc = windowDc;        // what GetDC returns
    // Bit 0 fails the next VirtualAlloc, bit 1 the one after, and so on.
    uint32_t failingAllocations = 0;
    bool failAllAllocations = false;
    size_t largestBlock = SIZE_MAX;  // larger requests fail
    int openDcs = 0;                 // GetDC without its ReleaseDC yet
    int titles = 0;                  // SetWindowTextA calls: one per paint
    int stretchModes = 0;            // SetStretchBltMode calls: one per drawing paint
};

struct Host {
    int editing = 1;
    int active = 1;
    int windowShown = 1;
    int currentFrame = 0;
    int32_t maxWidth = 640;
    int32_t maxHeight = 480;
    std::map<std::string, int> settings;
    std::vector<uint8_t> displayedPixels;  // what getDisplayedPixels serves (null when empty)
    uint8_t sourceFill = 0x5A;             // getSourcePixels writes this byte...
    int64_t sourceBytes = 0;               // ...this many times
    bool frameInProgress = false;          // within ProcessFrame, as the pixel services require
};

// How closely the calls are watched.
struct Watch {
    bool log = false;      // a line per call into Calls()
    bool checked = false;  // arguments, records, texts and what the platform reads
    // Checked, and the pixel services called only within a frame of a picture
    // that can exist (the harness sets Host::frameInProgress).
    bool strict = false;
    FloatStateCheck floatState;
    bool floatStateArmed = false;
    void (*fault)(const char* what) = nullptr;  // told of every failed check
};

Platform& platform();
Host& host();
Watch& watch();
HostServices& services();

// Forgets the answers, the log, the names and the watch; live blocks stay
// (the module frees them).
void Reset();

// Requires the calling thread's present floating-point state at every call
// out from now on; a harness that changes the state calls this after. The
// fakes themselves then run in ownFloatState, the thread's state as the
// program started, and give the module back the state they found.
void ExpectCallerFloatState();
extern const FloatRegisters ownFloatState;

// Every call out of the module (a platform or host function, or one of the C
// library's) is one: the caller's floating-point state must be back. The
// callee then runs in the harness's own state, unwatched, as a caller's state
// with an unmasked exception pending would trap at its next x87 arithmetic,
// and gives the module the state it found when it returns.
class CallOut {
public:
    explicit CallOut(const char* function);
    ~CallOut();

private:
    bool armed_;
    FloatRegisters found_ = {};
};

// Binds a freshly loaded module to the fake host and the given handles.
FilterTable* LoadModule(HWND window, HINSTANCE instance);

// A frame record as the host passes it to ProcessFrame, for `edit`.
FrameProcInfo Frame(int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight);

// Reports `what` to the watch's fault handler unless `condition` holds, and
// gives `condition`; without a handler a failed check aborts.
bool Require(bool condition, const char* what);

// The log, and the names under which handles and buffers print in it.
std::vector<std::string>& Calls();
void Name(const void* pointer, const std::string& name);
std::string Format(const void* pointer);
void Log(const std::string& line);
std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Prints the module's two image buffers as "sourcePixels" and "filteredPixels".
void NameBuffers();

// The record of every SetMenuItemInfoA call, as far as its Windows 98 form
// reaches, in call order (kept while logging).
std::vector<MENUITEMINFO98A>& MenuItemRecords();

// Bytes of one row of a 24-bit picture `width` pixels wide as the platform
// reads it: padded to a multiple of 4.
int64_t PaddedRowBytes(int32_t width);

// Live VirtualAlloc blocks, and the size of the one starting at `pointer`
// (0 when there is none).
size_t LiveBlocks();
size_t BlockSize(const void* pointer);

}  // namespace fake

// A Win32 layer for fuzzing: it records nothing, but checks every call that
// touches memory and aborts on the first fault, so that the fuzzer reports
// the input that caused it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "win32/platform.h"

namespace checked {

struct Platform {
    RECT clientRect = {0, 0, 320, 106};
    // Bit 0 fails the next VirtualAlloc, bit 1 the one after, and so on.
    uint32_t failingAllocations = 0;
    int paints = 0;         // PaintView calls so far (one title each)
    int drawingPaints = 0;  // those that set the stretch mode and drew pictures
    int openDcs = 0;        // GetDC without its ReleaseDC yet
};

Platform& platform();

// Forgets the counters and answers; live blocks stay (the module frees them).
void Reset();

// Live VirtualAlloc blocks.
size_t LiveBlocks();

// Size of the live block that starts at `pointer`, or 0 when there is none.
size_t BlockSize(const void* pointer);

// Prints `what` and aborts when `condition` is false.
void Require(bool condition, const char* what);

}  // namespace checked

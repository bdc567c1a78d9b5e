// The one reader of the fake's call log (fake::Calls()): a sequence of calls
// compared line by line, whose failure shows the first call that differs
// amid its neighbours, and the lines of one kind picked out of the log.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/fake_system.h"

namespace call_log {

using Calls = std::vector<std::string>;

// The part of the log that a sequence must be.
enum Part { wholeLog, logStart, logEnd };

// Calls shown on each side of the first one that differs.
constexpr size_t kNeighbours = 2;

// Prints the calls at positions at - kNeighbours to at + kNeighbours of the log, `calls` being
// those from position `offset` on.
inline void PrintAround(std::ostream& out, const char* title, const Calls& calls, size_t offset,
                        size_t at) {
    out << "\n  " << title << ":";
    const size_t first = std::max(offset, at > kNeighbours ? at - kNeighbours : 0);
    for (size_t i = first; i <= at + kNeighbours && i <= offset + calls.size(); ++i) {
        out << "\n  " << (i == at ? "> " : "  ") << i << ": "
            << (i < offset + calls.size() ? calls[i - offset] : "(end of the calls)");
    }
}

// Expects the log, or its start or end, to be `expected`. A failure, reported at the caller's
// line, shows the first call that differs and its neighbours, as expected and as logged.
inline void ExpectSequence(const Calls& expected, Part part = wholeLog,
                           const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    const Calls& logged = fake::Calls();
    const size_t start =
        part == logEnd && logged.size() > expected.size() ? logged.size() - expected.size() : 0;
    const size_t compared =
        part == wholeLog ? std::max(expected.size(), logged.size() - start) : expected.size();
    for (size_t i = 0; i < compared; ++i) {
        const bool bothHold = i < expected.size() && start + i < logged.size();
        if (bothHold && expected[i] == logged[start + i]) continue;
        std::ostringstream message;
        message << "call " << start + i << " of the log differs";
        PrintAround(message, "expected", expected, start, start + i);
        PrintAround(message, "logged", logged, 0, start + i);
        ADD_FAILURE_AT(file, line) << message.str();
        return;
    }
}

// The lines of the log that start with `prefix`, in order.
inline Calls Starting(const std::string& prefix) {
    Calls lines;
    for (const std::string& call : fake::Calls()) {
        if (call.compare(0, prefix.size(), prefix) == 0) lines.push_back(call);
    }
    return lines;
}

// The last line that starts with `prefix`, or "(none)".
inline std::string LastStarting(const std::string& prefix) {
    const Calls lines = Starting(prefix);
    return lines.empty() ? "(none)" : lines.back();
}

// Each PaintView starts with GetMenu and ends with ReleaseDC.
inline int Paints() { return static_cast<int>(Starting("GetMenu(").size()); }

// True when the log holds exactly `paints` PaintView sequences and nothing else.
inline bool OnlyPaints(int paints) {
    const Calls& calls = fake::Calls();
    if (paints == 0) return calls.empty();
    return Paints() == paints && calls.front().rfind("GetMenu(", 0) == 0 &&
           calls.back().rfind("ReleaseDC(", 0) == 0;
}

// The rectangles of one StretchDIBits call.
struct Blit {
    int32_t xDest, yDest, destWidth, destHeight;
    int32_t xSrc, ySrc, srcWidth, srcHeight;
};

// The StretchDIBits calls of the log, in order.
inline std::vector<Blit> Blits() {
    std::vector<Blit> blits;
    for (const std::string& call : Starting("StretchDIBits(")) {
        Blit b;
        if (sscanf(call.c_str(), "StretchDIBits(%*[^,], %d, %d, %d, %d, %d, %d, %d, %d,", &b.xDest,
                   &b.yDest, &b.destWidth, &b.destHeight, &b.xSrc, &b.ySrc, &b.srcWidth,
                   &b.srcHeight) == 8) {
            blits.push_back(b);
        }
    }
    return blits;
}

// The StretchDIBits calls for which the platform reads pixels.
inline int BlitsThatRead() {
    const std::vector<Blit> blits = Blits();
    return static_cast<int>(std::count_if(blits.begin(), blits.end(), [](const Blit& blit) {
        return blit.destWidth != 0 && blit.destHeight != 0 && blit.srcWidth != 0 &&
               blit.srcHeight != 0;
    }));
}

}  // namespace call_log

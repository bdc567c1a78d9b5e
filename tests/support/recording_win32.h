// Test side of the recording Win32 layer: every platform call the module
// makes is logged in order, with its arguments, as one line of text; handles
// and buffers print under the names a test gives them.
#pragma once

#include <string>
#include <vector>

#include "win32/platform.h"

namespace recording {

struct Answers {
    RECT clientRect = {0, 0, 320, 106};
    HMENU menu = nullptr;        // what GetMenu and LoadMenuA return
    HDC dc = nullptr;            // what GetDC returns
    bool failAllocations = false;
};

// Clears the log, the names and the answers.
void Reset();

std::vector<std::string>& Calls();
Answers& answers();

// Prints `pointer` as `name` in the log from now on.
void Name(const void* pointer, const std::string& name);

// The log line of a value as the recorder prints it.
std::string Format(const void* pointer);

// Appends a line to the log; the fake host logs its calls with it too.
void Log(const std::string& line);

// The record of every SetMenuItemInfoA call, as far as its Windows 98 form
// reaches, in call order.
std::vector<MENUITEMINFO98A>& MenuItemRecords();

// Live allocations made through VirtualAlloc, with their sizes.
size_t LiveAllocations();

}  // namespace recording

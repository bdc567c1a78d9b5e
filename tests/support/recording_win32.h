// Test side of the fake platform: every platform and host call the module
// makes is logged in order, with its arguments, as one line of text; handles
// and buffers print under the names a test gives them. Every call out must be
// made in the test's own floating-point state, and every argument, record,
// text and blit read must pass the fake platform's checks; a call that does
// not fails the test with the check's message.
#pragma once

#include <string>
#include <vector>

#include "tests/support/fake_system.h"

namespace recording {

using Answers = fake::Platform;

// Clears the log, the names and the answers, and starts watching and checking.
void Reset();

inline std::vector<std::string>& Calls() { return fake::Calls(); }
inline Answers& answers() { return fake::platform(); }
inline void Name(const void* pointer, const std::string& name) { fake::Name(pointer, name); }
inline std::string Format(const void* pointer) { return fake::Format(pointer); }
inline void Log(const std::string& line) { fake::Log(line); }
inline std::vector<MENUITEMINFO98A>& MenuItemRecords() { return fake::MenuItemRecords(); }
inline size_t LiveAllocations() { return fake::LiveBlocks(); }

// Requires every call out from now on to find the thread in its present
// floating-point state; a test that changes the state calls this after.
inline void ExpectCallerFloatState() { fake::ExpectCallerFloatState(); }

}  // namespace recording

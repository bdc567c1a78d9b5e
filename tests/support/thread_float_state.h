// Floating-point states that the host's thread may hold when it calls the
// module: the module must compute the same results under each and give the
// state back unchanged.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "checking/float_registers.h"

struct ThreadFloatState {
    const char* name;
    uint16_t x87Control;
    uint32_t mxcsr;
    // A caller's earlier arithmetic nearly always leaves the precision flag
    // raised; a fresh thread has none.
    uint16_t x87Flags = x87PrecisionFlag;
};

// Windows' default first; then other precisions, rounding modes, unmasked
// exceptions, flush-to-zero and sticky flags.
extern const std::vector<ThreadFloatState> threadFloatStates;

void PrintTo(const FloatRegisters& registers, std::ostream* out);
void PrintTo(const ThreadFloatState& state, std::ostream* out);

// The words of `name` capitalised and joined, as a test's name takes them.
std::string Identifier(const std::string& name);

// Names a parameterized test after its row's `name`.
template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return Identifier(info.param.name);
}

// Puts the thread into `state`; every call out of the module
// must find the thread in it from now on.
void SetThreadFloatState(const ThreadFloatState& state);
// Returns the thread to the state it had before the first SetThreadFloatState.
void RestoreThreadFloatState();

// Runs `call` with the thread in `state` (as it is, for null), expects the
// state unchanged afterwards, and returns the call's result.
template <typename Call>
auto CallIn(const ThreadFloatState* state, Call&& call) {
    if (state == nullptr) return call();
    SetThreadFloatState(*state);
    const FloatRegisters before = ReadFloatRegisters();
    auto result = call();
    const FloatRegisters after = ReadFloatRegisters();
    RestoreThreadFloatState();
    EXPECT_EQ(after, before) << "the caller's floating-point state changed under " << state->name;
    return result;
}

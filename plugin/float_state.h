// The module's own floating-point state. The host's thread may run with any
// x87 precision or rounding, unmasked exceptions or another MXCSR; the
// module's arithmetic runs under fixed settings and gives the caller's back
// before it returns or calls the host or the platform.
//
// 32-bit x86 (x87 code): 53-bit precision, round to nearest, all exceptions
// masked. x86-64 (SSE code): round to nearest, all exceptions masked, no
// flush-to-zero or denormals-are-zero. Other processors: nothing to switch.
#pragma once

#include <stdint.h>

struct CallerFloatState {
#if defined(__i386__)
    uint16_t x87Control;
    uint16_t x87Status;
#elif defined(__x86_64__)
    uint32_t mxcsr;
#endif
};

// Never inlined nor otherwise merged into a caller: the compiler must not
// move arithmetic across the switch, nor keep x87 registers live through it.
#if defined(__clang__)
#define FLOAT_STATE_SWITCH __attribute__((noinline))
#else
#define FLOAT_STATE_SWITCH __attribute__((noipa))
#endif

FLOAT_STATE_SWITCH CallerFloatState EnterModuleFloatState();
FLOAT_STATE_SWITCH void LeaveModuleFloatState(const CallerFloatState& caller);

// Marks a function that computes under the module's state: never inlined nor
// otherwise merged into its caller, so that none of its arithmetic moves to
// the other side of the state switch around its call.
#define COMPUTES_UNDER_MODULE_STATE FLOAT_STATE_SWITCH

// Calls compute(args...) under the module's state.
template <typename Result, typename... Parameters, typename... Arguments>
Result UnderModuleFloatState(Result (*compute)(Parameters...), Arguments&&... arguments) {
    const CallerFloatState caller = EnterModuleFloatState();
    const Result result = compute(static_cast<Arguments&&>(arguments)...);
    LeaveModuleFloatState(caller);
    return result;
}

// Rounds to float32 as storing does. A precaution: g++ may keep an x87
// value wider than its type (C++ has no standard excess precision there), so
// the store through memory makes the rounding independent of the optimiser.
// The shipped code generation passes every test without it today.
inline float RoundToFloat(double value) {
    volatile float stored = static_cast<float>(value);
    return stored;
}

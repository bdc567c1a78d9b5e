// Calls into the module. With --fp-state the host's thread makes every call
// in a chosen floating-point state, as a host that changed its x87 control
// word or MXCSR would, and checks that the module gives it back: after every
// callback and in every service the module calls.
#include <stdio.h>

#include "host/host.h"
#include "tests/support/float_registers.h"

namespace {

bool enabled = false;
FloatRegisters callerState;  // the state every call into the module is made in
FloatRegisters hostState;    // the host's own, put back after the outermost call
int depth = 0;               // callbacks in progress: the platform may call back in
int checks = 0;
int changes = 0;

// The bits that must come back. The 32-bit calling convention keeps them all.
// Under the x64 convention the exception flags are volatile: any function
// may change them, the platform's included (64-bit Wine clears the x87 flags
// and raises the MXCSR's precision flag in calls the module makes), so there
// only the control bits count.
#if defined(__x86_64__)
const FloatRegisters keptBits = {0xFFFF, 0x00, 0xFFC0};
#else
const FloatRegisters keptBits = {0xFFFF, 0x3F, 0xFFFF};
#endif

bool SameKeptBits(const FloatRegisters& a, const FloatRegisters& b) {
    return ((a.x87Control ^ b.x87Control) & keptBits.x87Control) == 0 &&
           ((a.x87Flags ^ b.x87Flags) & keptBits.x87Flags) == 0 &&
           ((a.mxcsr ^ b.mxcsr) & keptBits.mxcsr) == 0;
}

void Check(const char* where) {
    ++checks;
    const FloatRegisters found = ReadFloatRegisters();
    if (SameKeptBits(found, callerState)) return;
    if (++changes <= 10) {
        fprintf(stderr,
                "floating-point state changed (%s): x87 control %#06x flags %#04x, MXCSR %#06x "
                "instead of %#06x %#04x, %#06x\n",
                where, found.x87Control, found.x87Flags, found.mxcsr, callerState.x87Control,
                callerState.x87Flags, callerState.mxcsr);
    }
    LoadFloatRegisters(callerState);
}

}  // namespace

bool ParseFloatState(const char* text) {
    unsigned control, mxcsr;
    char rest;
    if (sscanf(text, "%i,%i%c", &control, &mxcsr, &rest) != 2 || control > 0xFFFF) return false;
    callerState = {static_cast<uint16_t>(control), x87PrecisionFlag, mxcsr};
    enabled = true;
    return true;
}

void EnterModuleCall(const char* callback) {
    if (!enabled) return;
    if (depth++ > 0) {
        Check(callback);  // the module called the platform, which called back
        return;
    }
    hostState = ReadFloatRegisters();
    LoadFloatRegisters(callerState);
}

void LeaveModuleCall(const char* callback) {
    if (!enabled) return;
    Check(callback);
    if (--depth == 0) LoadFloatRegisters(hostState);
}

void CheckServiceState(const char* service) {
    if (enabled && depth > 0) Check(service);
}

bool FloatStateKept() { return changes == 0; }

std::string FloatStateReport() {
    if (!enabled) return "off";
    char text[96];
    snprintf(text, sizeof text, "x87 control %#06x, MXCSR %#06x: %d checks, %d changed",
             callerState.x87Control, callerState.mxcsr, checks, changes);
    return text;
}

// Calls into the module. The host's thread makes every call in a
// floating-point state, its own or, with --fp-state, a chosen one, as a host
// that changed its x87 control word, flags or MXCSR would, and checks that
// the module gives it back: after every callback, in every service the module
// calls and at every platform call it makes (module_imports.cpp). The flags
// that a service or a platform call leaves are its own (FloatStateCheck).
#include <stdio.h>

#include "checking/float_registers.h"
#include "host/host.h"

namespace {

bool chosenState = false;  // --fp-state: the calls are made in callState
FloatRegisters callState;  // the state of the latest outermost call
FloatStateCheck check;     // expects it, with the flags that callees left
FloatRegisters hostState;  // the host's own, put back after the outermost call
int depth = 0;             // callbacks in progress: the platform may call back in
int platformChecks = 0;    // of check.checks, those at the module's platform calls

void Check(const char* where) {
    if (CheckFloatState(check, where)) return;
    if (check.changes <= 10) fprintf(stderr, "%s\n", check.lastChange);
    LoadFloatRegisters(check.expected);
}

}  // namespace

bool ParseFloatState(const char* text) {
    unsigned control, mxcsr, flags = x87PrecisionFlag;
    char rest;
    if (sscanf(text, "%i,%i,%i%c", &control, &mxcsr, &flags, &rest) != 3 &&
        sscanf(text, "%i,%i%c", &control, &mxcsr, &rest) != 2) {
        return false;
    }
    // A raised flag whose exception is unmasked would trap at the next x87
    // instruction that waits, the host's own included.
    const unsigned unmasked = ~control & 0x3F;
    if (control > 0xFFFF || flags > 0x3F || (flags & unmasked) != 0) return false;
    callState = {static_cast<uint16_t>(control), static_cast<uint16_t>(flags), mxcsr};
    chosenState = true;
    return true;
}

void EnterModuleCall(const char* callback) {
    if (depth++ > 0) {
        // The module called the platform, which called back: the flags are
        // the platform's so far.
        TakeCalleeFlags(check);
        Check(callback);
        return;
    }
    hostState = ReadFloatRegisters();
    if (chosenState) {
        LoadFloatRegisters(callState);
    } else {
        callState = hostState;
    }
    check.expected = callState;
}

void LeaveModuleCall(const char* callback) {
    Check(callback);
    if (--depth == 0) LoadFloatRegisters(hostState);
}

void CheckServiceState(const char* service) {
    if (depth > 0) Check(service);
}

void CheckPlatformCallState(const char* function) {
    if (depth == 0) return;
    ++platformChecks;
    Check(function);
}

void CallOutReturned() {
    if (depth > 0) TakeCalleeFlags(check);
}

bool FloatStateKept() { return check.changes == 0; }

// The state is the one --fp-state chose, or the host's own at the latest
// call into the module.
std::string FloatStateReport() {
    char text[160];
    snprintf(text, sizeof text,
             "%sx87 control 0x%04x flags 0x%02x, MXCSR 0x%04x: %d checks (%d at platform calls), "
             "%d changed",
             chosenState ? "" : "the host's own, ", callState.x87Control, callState.x87Flags,
             callState.mxcsr, check.checks, platformChecks,
             check.changes);
    return text;
}

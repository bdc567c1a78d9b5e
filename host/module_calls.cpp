// Calls into the module. With --fp-state the host's thread makes every call
// in a chosen floating-point state, as a host that changed its x87 control
// word or MXCSR would, and checks that the module gives it back: after every
// callback, in every service the module calls and at every platform call it
// makes (module_imports.cpp).
#include <stdio.h>

#include "checking/float_registers.h"
#include "host/host.h"

namespace {

bool enabled = false;
FloatStateCheck check;     // expects the state every call into the module is made in
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
    unsigned control, mxcsr;
    char rest;
    if (sscanf(text, "%i,%i%c", &control, &mxcsr, &rest) != 2 || control > 0xFFFF) return false;
    check.expected = {static_cast<uint16_t>(control), x87PrecisionFlag, mxcsr};
    check.keptBits = calleeKeptFloatBits;
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
    LoadFloatRegisters(check.expected);
}

void LeaveModuleCall(const char* callback) {
    if (!enabled) return;
    Check(callback);
    if (--depth == 0) LoadFloatRegisters(hostState);
}

void CheckServiceState(const char* service) {
    if (enabled && depth > 0) Check(service);
}

void CheckPlatformCallState(const char* function) {
    if (!enabled || depth == 0) return;
    ++platformChecks;
    Check(function);
}

bool FloatStateChecked() { return enabled; }

bool FloatStateKept() { return check.changes == 0; }

std::string FloatStateReport() {
    if (!enabled) return "off";
    char text[128];
    snprintf(text, sizeof text,
             "x87 control %#06x, MXCSR %#06x: %d checks (%d at platform calls), %d changed",
             check.expected.x87Control, check.expected.mxcsr, check.checks, platformChecks,
             check.changes);
    return text;
}

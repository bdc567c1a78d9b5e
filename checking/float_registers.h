// The floating-point state of the calling thread as a caller sees it: the x87
// control word and sticky exception flags, and the MXCSR. Shared by the native
// tests and the stand-in host, which put the thread into chosen states and
// check that the module gives them back.
#pragma once

#include <stdint.h>
#include <stdio.h>

struct FloatRegisters {
    uint16_t x87Control;
    uint16_t x87Flags;  // status word bits 0-5
    uint32_t mxcsr;
};

// The x87 precision (inexact) flag: a caller's earlier arithmetic nearly
// always leaves it raised, so the states the module is called in carry it.
constexpr uint16_t x87PrecisionFlag = 0x20;

inline bool operator==(const FloatRegisters& a, const FloatRegisters& b) {
    return a.x87Control == b.x87Control && a.x87Flags == b.x87Flags && a.mxcsr == b.mxcsr;
}
inline bool operator!=(const FloatRegisters& a, const FloatRegisters& b) { return !(a == b); }

#if defined(__i386__) || defined(__x86_64__)

inline FloatRegisters ReadFloatRegisters() {
    uint16_t control, status;
    uint32_t mxcsr;
    __asm__ volatile("fnstcw %0\n\tfnstsw %1\n\tstmxcsr %2"
                     : "=m"(control), "=m"(status), "=m"(mxcsr));
    return {control, static_cast<uint16_t>(status & 0x3F), mxcsr};
}

// Loads the control words and the x87 flags through the x87 environment, the
// only way to set the flags.
inline void LoadFloatRegisters(const FloatRegisters& registers) {
    struct {
        uint16_t control, unused0, status, unused1;
        uint32_t rest[5];
    } environment;
    __asm__ volatile("fnstenv %0" : "=m"(environment));
    environment.control = registers.x87Control;
    environment.status = static_cast<uint16_t>((environment.status & ~0x3F) | registers.x87Flags);
    __asm__ volatile("fldenv %0\n\tldmxcsr %1"
                     :
                     : "m"(environment), "m"(registers.mxcsr)
                     : "memory");
}

#else

inline FloatRegisters ReadFloatRegisters() { return {}; }
inline void LoadFloatRegisters(const FloatRegisters&) {}

#endif

// What the module must keep, in either build: wherever it hands control out
// (a call to the host or the platform, a return to its caller), the thread
// holds the caller's x87 control word and MXCSR controls, and the exception
// flags that the caller or the latest callee left: the module's own
// arithmetic raises none and clears none. The flags that a callee leaves are
// the callee's: 64-bit Wine clears the x87 flags and raises the MXCSR's
// precision flag in calls the module makes, and WOW64's 64-bit code may raise
// MXCSR flags between a call and the callback it triggers.
struct FloatStateCheck {
    FloatRegisters expected = {};
    int checks = 0;
    int changes = 0;
    char lastChange[160] = "";  // the latest change, described
};

constexpr uint32_t mxcsrFlags = 0x3F;

// The flags found now are those that a callee left: the checks that follow
// expect them.
inline void TakeCalleeFlags(FloatStateCheck& check) {
    const FloatRegisters found = ReadFloatRegisters();
    check.expected.x87Flags = found.x87Flags;
    check.expected.mxcsr = (check.expected.mxcsr & ~mxcsrFlags) | (found.mxcsr & mxcsrFlags);
}

// Counts one check at `where`. When the state differs from the expected one,
// counts a change, describes it in lastChange and returns false.
inline bool CheckFloatState(FloatStateCheck& check, const char* where) {
    ++check.checks;
    const FloatRegisters found = ReadFloatRegisters();
    if (found == check.expected) return true;
    const FloatRegisters& expected = check.expected;
    ++check.changes;
    snprintf(check.lastChange, sizeof check.lastChange,
             "floating-point state changed (%s): x87 control 0x%04x flags 0x%02x, MXCSR 0x%04x "
             "instead of 0x%04x 0x%02x, 0x%04x",
             where, found.x87Control, found.x87Flags, found.mxcsr, expected.x87Control,
             expected.x87Flags, expected.mxcsr);
    return false;
}

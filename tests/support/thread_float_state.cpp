#include "tests/support/thread_float_state.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "tests/support/fake_system.h"

// x87 control word: exception masks in bits 0-5 (IM 0x01, ZM 0x04, OM 0x08),
// precision in bits 8-9 (0 24-bit, 2 53-bit, 3 64-bit), rounding in bits
// 10-11 (3 toward zero). MXCSR: flags in bits 0-5, DAZ 0x40, masks in bits
// 7-12 (IM 0x80, ZM 0x200, OM 0x400), rounding in bits 13-14, FTZ 0x8000.
const std::vector<ThreadFloatState> threadFloatStates = {
    {"Windows default", 0x027F, 0x1F80},
    {"Windows default, no flags raised", 0x027F, 0x1F80, 0},
    {"Windows default, only the invalid flag raised", 0x027F, 0x1F81, 0x01},
    // Any inexact x87 operation under this state traps: none may run in it.
    {"x87 precision exception unmasked, no flags raised", 0x025F, 0x1F80, 0},
    {"64-bit precision", 0x037F, 0x1F80},
    {"24-bit precision", 0x007F, 0x1F80},
    {"toward zero, 24-bit precision", 0x0C7F, 0x7F80},
    {"invalid, zero-divide and overflow unmasked", 0x0272, 0x1900},
    {"flush to zero, denormals are zero, sticky flags", 0x027F, 0x9FFF},
    {"all at once", 0x0C72, 0xF940},
};

namespace {

bool saved = false;
FloatRegisters savedRegisters;

}  // namespace

void PrintTo(const FloatRegisters& registers, std::ostream* out) {
    char text[64];
    snprintf(text, sizeof text, "x87 control %#06x flags %#04x, MXCSR %#06x", registers.x87Control,
             registers.x87Flags, registers.mxcsr);
    *out << text;
}

void PrintTo(const ThreadFloatState& state, std::ostream* out) { *out << state.name; }

std::string Identifier(const std::string& name) {
    std::string identifier;
    bool wordStart = true;
    for (const char c : name) {
        const unsigned char letter = static_cast<unsigned char>(c);
        if (std::isalnum(letter)) {
            identifier += wordStart ? static_cast<char>(std::toupper(letter)) : c;
        }
        wordStart = !std::isalnum(letter);
    }
    return identifier;
}

void SetThreadFloatState(const ThreadFloatState& state) {
    if (!saved) {
        savedRegisters = ReadFloatRegisters();
        saved = true;
    }
    LoadFloatRegisters({state.x87Control, state.x87Flags, state.mxcsr});
    fake::ExpectCallerFloatState();
}

void RestoreThreadFloatState() {
    LoadFloatRegisters(savedRegisters);
    fake::ExpectCallerFloatState();
}

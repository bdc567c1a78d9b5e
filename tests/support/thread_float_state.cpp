#include "tests/support/thread_float_state.h"

#include <cctype>
#include <cstdio>
#include <string>

// x87 control word: exception masks in bits 0-5 (IM 0x01, ZM 0x04, OM 0x08),
// precision in bits 8-9 (0 24-bit, 2 53-bit, 3 64-bit), rounding in bits
// 10-11 (3 toward zero). MXCSR: flags in bits 0-5, DAZ 0x40, masks in bits
// 7-12 (IM 0x80, ZM 0x200, OM 0x400), rounding in bits 13-14, FTZ 0x8000.
const std::vector<ThreadFloatState> threadFloatStates = {
    {"Windows default", 0x027F, 0x1F80},
    {"64-bit precision", 0x037F, 0x1F80},
    {"24-bit precision", 0x007F, 0x1F80},
    {"toward zero, 24-bit precision", 0x0C7F, 0x7F80},
    {"invalid, zero-divide and overflow unmasked", 0x0272, 0x1900},
    {"flush to zero, denormals are zero, sticky flags", 0x027F, 0x9FFF},
    {"all at once", 0x0C72, 0xF940},
};

namespace {

#if defined(__i386__) || defined(__x86_64__)
struct X87Environment {
    uint16_t control, unused0, status, unused1;
    uint32_t rest[5];
};

bool saved = false;
X87Environment savedEnvironment;
uint32_t savedMxcsr;
#endif

}  // namespace

bool operator==(const FloatStateReading& a, const FloatStateReading& b) {
    return a.x87Control == b.x87Control && a.x87Flags == b.x87Flags && a.mxcsr == b.mxcsr;
}

void PrintTo(const FloatStateReading& reading, std::ostream* out) {
    char text[64];
    snprintf(text, sizeof text, "x87 control %#06x flags %#04x, MXCSR %#06x", reading.x87Control,
             reading.x87Flags, reading.mxcsr);
    *out << text;
}

void PrintTo(const ThreadFloatState& state, std::ostream* out) { *out << state.name; }

std::string StateName(const ::testing::TestParamInfo<ThreadFloatState>& info) {
    std::string name;
    for (const char* c = info.param.name; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
    }
    return name;
}

#if defined(__i386__) || defined(__x86_64__)

void SetThreadFloatState(const ThreadFloatState& state) {
    if (!saved) {
        __asm__ volatile("fnstenv %0\n\tfldenv %0" : "=m"(savedEnvironment));
        __asm__ volatile("stmxcsr %0" : "=m"(savedMxcsr));
        saved = true;
    }
    X87Environment environment;
    __asm__ volatile("fnstenv %0" : "=m"(environment));
    environment.control = state.x87Control;
    environment.status = (environment.status & ~0x3F) | 0x20;
    __asm__ volatile("fldenv %0\n\tldmxcsr %1" : : "m"(environment), "m"(state.mxcsr) : "memory");
}

FloatStateReading ReadThreadFloatState() {
    uint16_t control, status;
    uint32_t mxcsr;
    __asm__ volatile("fnstcw %0\n\tfnstsw %1\n\tstmxcsr %2"
                     : "=m"(control), "=m"(status), "=m"(mxcsr));
    return {control, static_cast<uint16_t>(status & 0x3F), mxcsr};
}

void RestoreThreadFloatState() {
    __asm__ volatile("fldenv %0\n\tldmxcsr %1"
                     :
                     : "m"(savedEnvironment), "m"(savedMxcsr)
                     : "memory");
}

#else

void SetThreadFloatState(const ThreadFloatState&) {}
FloatStateReading ReadThreadFloatState() { return {}; }
void RestoreThreadFloatState() {}

#endif

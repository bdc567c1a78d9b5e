#include "plugin/float_state.h"

#if defined(__i386__)

namespace {
const uint16_t moduleX87Control = 0x027F;  // 53-bit precision, to nearest, all masked
}

// FNSTENV saves the whole environment, exception flags included; FLDENV puts
// it back exactly. Neither waits, so a pending unmasked exception of the
// caller is not raised here.
CallerFloatState EnterModuleFloatState() {
    CallerFloatState caller;
    __asm__ volatile("fnstenv %0\n\tfldcw %1"
                     : "=m"(caller.x87Environment)
                     : "m"(moduleX87Control));
    return caller;
}

void LeaveModuleFloatState(const CallerFloatState& caller) {
    __asm__ volatile("fldenv %0" : : "m"(caller.x87Environment) : "memory");
}

#elif defined(__x86_64__)

namespace {
const uint32_t moduleMxcsr = 0x1F80;  // to nearest, all masked, no FTZ or DAZ
}

CallerFloatState EnterModuleFloatState() {
    CallerFloatState caller;
    __asm__ volatile("stmxcsr %0\n\tldmxcsr %1" : "=m"(caller.mxcsr) : "m"(moduleMxcsr));
    return caller;
}

void LeaveModuleFloatState(const CallerFloatState& caller) {
    __asm__ volatile("ldmxcsr %0" : : "m"(caller.mxcsr) : "memory");
}

#else

CallerFloatState EnterModuleFloatState() { return {}; }
void LeaveModuleFloatState(const CallerFloatState&) {}

#endif

#include "plugin/float_state.h"

#if defined(__i386__) && defined(__SSE_MATH__)
#error \
    "32-bit x86 builds compute with the x87 unit, under its control word: build with -mfpmath=387"
#endif

#if defined(__i386__)

namespace {

const uint16_t moduleX87Control = 0x027F;  // 53-bit precision, to nearest, all masked
const uint16_t x87ExceptionFlags = 0x003F;
const uint16_t x87StackTop = 0x3800;

// The x87 environment as FNSTENV stores it in 32-bit protected mode.
struct X87Environment {
    uint16_t control, unused0;
    uint16_t status, unused1;
    uint32_t rest[5];
};

}  // namespace

// A host's thread nearly always holds the default control word, so the switch
// reads the control and status words and loads the module's control word
// only when it differs. None of these instructions waits, so a pending
// unmasked exception of the caller is not raised here.
CallerFloatState EnterModuleFloatState() {
    CallerFloatState caller;
    __asm__ volatile("fnstcw %0\n\tfnstsw %1" : "=m"(caller.x87Control), "=m"(caller.x87Status));
    if (caller.x87Control != moduleX87Control) {
        __asm__ volatile("fldcw %0" : : "m"(moduleX87Control));
    }
    return caller;
}

// The module's arithmetic leaves the exception flags it raised. Those the
// caller already had need nothing: flags are sticky. Others are cleared: by
// FNCLEX when the caller had none, otherwise by putting the caller's status
// word back through the environment (which FLDENV also marks the registers
// of, hence the clobbers).
void LeaveModuleFloatState(const CallerFloatState& caller) {
    uint16_t status;
    __asm__ volatile("fnstsw %0" : "=m"(status));
    const uint16_t raised = status & ~caller.x87Status & x87ExceptionFlags;
    if (raised != 0 && (caller.x87Status & x87ExceptionFlags) == 0) {
        __asm__ volatile("fnclex");
    } else if (raised != 0) {
        X87Environment environment;
        __asm__ volatile("fnstenv %0" : "=m"(environment));
        environment.control = caller.x87Control;
        environment.status = (environment.status & x87StackTop) | (caller.x87Status & ~x87StackTop);
        __asm__ volatile("fldenv %0"
                         :
                         : "m"(environment)
                         : "memory", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)",
                           "st(7)");
        return;
    }
    if (caller.x87Control != moduleX87Control) {
        __asm__ volatile("fldcw %0" : : "m"(caller.x87Control) : "memory");
    }
}

#elif defined(__x86_64__)

namespace {
const uint32_t moduleMxcsr = 0x1F80;  // to nearest, all masked, no FTZ or DAZ
const uint32_t mxcsrFlags = 0x003F;
}  // namespace

// The MXCSR holds the flags beside the controls. The module's controls are
// loaded only when the caller's differ, keeping the caller's flags; the
// caller's MXCSR is loaded back only when the module's arithmetic changed it.
CallerFloatState EnterModuleFloatState() {
    CallerFloatState caller;
    __asm__ volatile("stmxcsr %0" : "=m"(caller.mxcsr));
    if ((caller.mxcsr & ~mxcsrFlags) != moduleMxcsr) {
        const uint32_t module = moduleMxcsr | (caller.mxcsr & mxcsrFlags);
        __asm__ volatile("ldmxcsr %0" : : "m"(module));
    }
    return caller;
}

void LeaveModuleFloatState(const CallerFloatState& caller) {
    uint32_t mxcsr;
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
    if (mxcsr != caller.mxcsr) __asm__ volatile("ldmxcsr %0" : : "m"(caller.mxcsr) : "memory");
}

#else

CallerFloatState EnterModuleFloatState() { return {}; }
void LeaveModuleFloatState(const CallerFloatState&) {}

#endif

// The C library's functions that the module calls (msvcrt's in the DLL), made
// calls out like the platform's: each requires the caller's floating-point
// state, as every call the module makes outside itself does. The native builds
// rename the module's references to NAME into these (CMakeLists.txt), so that
// only the module's own calls are watched, never the harness's nor its
// libraries'. Under clang's AddressSanitizer (the sanitize and ASan fuzz
// builds) memcpy and memset become the sanitizer's own calls, which go
// unwatched: unoptimised, they also copy structures inside the module's
// computations, as the shipped code never does.

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "tests/support/fake_system.h"

extern "C" {

void* CheckedMemcpy(void* destination, const void* source, size_t size) {
    const fake::CallOut callOut("memcpy");
    return memcpy(destination, source, size);
}

void* CheckedMemset(void* destination, int value, size_t size) {
    const fake::CallOut callOut("memset");
    return memset(destination, value, size);
}

char* CheckedStrcpy(char* destination, const char* source) {
    const fake::CallOut callOut("strcpy");
    return strcpy(destination, source);
}

char* CheckedStrcat(char* destination, const char* source) {
    const fake::CallOut callOut("strcat");
    return strcat(destination, source);
}

size_t CheckedStrlen(const char* text) {
    const fake::CallOut callOut("strlen");
    return strlen(text);
}

// The arguments go on as a va_list: vsprintf formats as sprintf does.
int CheckedSprintf(char* destination, const char* format, ...) {
    const fake::CallOut callOut("sprintf");
    va_list arguments;
    va_start(arguments, format);
    const int written = vsprintf(destination, format, arguments);
    va_end(arguments);
    return written;
}

}  // extern "C"

// The C library's functions that the module calls (msvcrt's in the DLL), made
// calls out like the platform's: each requires the caller's floating-point
// state, as every call the module makes outside itself does. The test and
// fuzzer programs are linked with -Wl,--wrap=NAME for each (tests/CMakeLists.txt),
// which sends every call of NAME to __wrap_NAME; __real_NAME is the library's.
// Under clang's AddressSanitizer (the sanitize and ASan fuzz builds) memcpy
// and memset become the sanitizer's own calls, which go unwatched: unoptimised,
// they also copy structures inside the module's computations, as the shipped
// code never does.

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>

#include "tests/support/fake_system.h"

extern "C" {

void* __real_memcpy(void* destination, const void* source, size_t size);
void* __real_memset(void* destination, int value, size_t size);
char* __real_strcpy(char* destination, const char* source);
char* __real_strcat(char* destination, const char* source);
size_t __real_strlen(const char* text);

void* __wrap_memcpy(void* destination, const void* source, size_t size) {
    const fake::CallOut callOut("memcpy");
    return __real_memcpy(destination, source, size);
}

void* __wrap_memset(void* destination, int value, size_t size) {
    const fake::CallOut callOut("memset");
    return __real_memset(destination, value, size);
}

char* __wrap_strcpy(char* destination, const char* source) {
    const fake::CallOut callOut("strcpy");
    return __real_strcpy(destination, source);
}

char* __wrap_strcat(char* destination, const char* source) {
    const fake::CallOut callOut("strcat");
    return __real_strcat(destination, source);
}

size_t __wrap_strlen(const char* text) {
    const fake::CallOut callOut("strlen");
    return __real_strlen(text);
}

// The arguments go on as a va_list: vsprintf formats as sprintf does.
int __wrap_sprintf(char* destination, const char* format, ...) {
    const fake::CallOut callOut("sprintf");
    va_list arguments;
    va_start(arguments, format);
    const int written = vsprintf(destination, format, arguments);
    va_end(arguments);
    return written;
}

}  // extern "C"

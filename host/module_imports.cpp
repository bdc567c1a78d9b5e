// The module's calls into the platform, checked. With --fp-state every slot of
// the loaded module's import address table is pointed at a wrapper that
// checks the thread's floating-point state (see module_calls.cpp) and then
// calls the function the slot held. An import without a wrapper stops the
// host at load, so that no platform call of the module goes unchecked.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "host/host.h"

namespace {

// The function a wrapper forwards to, filled in when its slot is redirected.
struct Forward {
    const char* name;
    void* function;
};

template <int line>
Forward forward;

template <int line, typename Result, typename... Parameters>
Result WINAPI CheckedSystemCall(Parameters... parameters) {
    CheckPlatformCallState(forward<line>.name);
    return reinterpret_cast<Result(WINAPI*)(Parameters...)>(forward<line>.function)(parameters...);
}

template <int line, typename Result, typename... Parameters>
Result __cdecl CheckedLibraryCall(Parameters... parameters) {
    CheckPlatformCallState(forward<line>.name);
    return reinterpret_cast<Result(__cdecl*)(Parameters...)>(forward<line>.function)(parameters...);
}

// sprintf's arguments cannot be passed on: its wrapper hands them, as a
// va_list, to the same library's vsprintf.
Forward vsprintfForward = {"sprintf", nullptr};

int __cdecl CheckedSprintf(char* buffer, const char* format, ...) {
    CheckPlatformCallState(vsprintfForward.name);
    va_list arguments;
    va_start(arguments, format);
    const int length = reinterpret_cast<int(__cdecl*)(char*, const char*, va_list)>(
        vsprintfForward.function)(buffer, format, arguments);
    va_end(arguments);
    return length;
}

struct Wrapper {
    const char* library;
    const char* name;
    void* wrapper;
    Forward* forward;  // its function is the slot's, or `via` of the same library
    const char* via;
};

// The wrapper's signature is the platform header's declaration of the
// function, calling convention included: a system function declared other
// than WINAPI, or a C library function other than __cdecl, does not compile.
template <int line, typename Result, typename... Parameters>
Wrapper System(const char* library, const char* name, Result(WINAPI*)(Parameters...)) {
    forward<line>.name = name;
    return {library, name, reinterpret_cast<void*>(&CheckedSystemCall<line, Result, Parameters...>),
            &forward<line>, nullptr};
}

template <int line, typename Result, typename... Parameters>
Wrapper Library(const char* library, const char* name, Result(__cdecl*)(Parameters...)) {
    forward<line>.name = name;
    return {library, name,
            reinterpret_cast<void*>(&CheckedLibraryCall<line, Result, Parameters...>),
            &forward<line>, nullptr};
}

#define SYSTEM(library, function) System<__LINE__>(library, #function, &function)
#define LIBRARY(library, function) Library<__LINE__>(library, #function, &function)

// Every platform function the module imports, in the 32-bit and the 64-bit
// build.
const Wrapper* FindWrapper(const char* library, const char* name) {
    static const Wrapper wrappers[] = {
        SYSTEM("GDI32.dll", SetStretchBltMode),
        SYSTEM("GDI32.dll", StretchDIBits),
        SYSTEM("KERNEL32.dll", VirtualAlloc),
        SYSTEM("KERNEL32.dll", VirtualFree),
        SYSTEM("USER32.dll", DrawMenuBar),
        SYSTEM("USER32.dll", FillRect),
        SYSTEM("USER32.dll", GetClientRect),
        SYSTEM("USER32.dll", GetDC),
        SYSTEM("USER32.dll", GetMenu),
        SYSTEM("USER32.dll", LoadMenuA),
        SYSTEM("USER32.dll", ReleaseDC),
        SYSTEM("USER32.dll", SetMenu),
        SYSTEM("USER32.dll", SetMenuItemInfoA),
        SYSTEM("USER32.dll", SetWindowTextA),
        LIBRARY("msvcrt.dll", memcpy),
        LIBRARY("msvcrt.dll", strcat),
        LIBRARY("msvcrt.dll", strcpy),
        LIBRARY("msvcrt.dll", strlen),
        {"msvcrt.dll", "sprintf", reinterpret_cast<void*>(&CheckedSprintf), &vsprintfForward,
         "vsprintf"},
    };
    for (const Wrapper& wrapper : wrappers) {
        if (_stricmp(wrapper.library, library) == 0 && strcmp(wrapper.name, name) == 0) {
            return &wrapper;
        }
    }
    return nullptr;
}

template <typename T>
T* At(HMODULE module, DWORD offset) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + offset);
}

bool Redirect(void** slot, void* function) {
    DWORD protection;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return false;
    *slot = function;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return true;
}

}  // namespace

bool CheckModulePlatformCalls(HMODULE module, std::string* error) {
    const auto* nt = At<IMAGE_NT_HEADERS>(module, At<IMAGE_DOS_HEADER>(module, 0)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.Size == 0) return true;
    for (auto* library = At<IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress);
         library->Name != 0; ++library) {
        const char* libraryName = At<char>(module, library->Name);
        if (library->OriginalFirstThunk == 0) {
            *error = std::string(libraryName) + ": imports without names";
            return false;
        }
        const auto* names = At<IMAGE_THUNK_DATA>(module, library->OriginalFirstThunk);
        auto* slots = At<IMAGE_THUNK_DATA>(module, library->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                *error = std::string(libraryName) + ": an import by ordinal";
                return false;
            }
            const char* name = reinterpret_cast<const char*>(
                At<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData))
                    ->Name);
            const Wrapper* wrapper = FindWrapper(libraryName, name);
            if (!wrapper) {
                *error = std::string(libraryName) + " " + name +
                         ": no checking wrapper (host/module_imports.cpp)";
                return false;
            }
            void** slot = reinterpret_cast<void**>(&slots->u1.Function);
            wrapper->forward->function = wrapper->via
                                             ? reinterpret_cast<void*>(GetProcAddress(
                                                   GetModuleHandleA(libraryName), wrapper->via))
                                             : *slot;
            if (!wrapper->forward->function || !Redirect(slot, wrapper->wrapper)) {
                *error = std::string(libraryName) + " " + name + ": cannot redirect its slot";
                return false;
            }
        }
    }
    return true;
}

// The module's calls into the platform, checked. Every slot of the loaded
// module's import address table is pointed at a wrapper that checks the
// thread's floating-point state (see module_calls.cpp), calls the function the
// slot held and takes the flags it left as the platform's; StretchDIBits' wrapper also checks the memory the
// blit reads. An import without a wrapper stops the host at load, so that no
// platform call of the module goes unchecked.
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <type_traits>

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
    const CallOutReturn returned;
    return reinterpret_cast<Result(WINAPI*)(Parameters...)>(forward<line>.function)(parameters...);
}

template <int line, typename Result, typename... Parameters>
Result __cdecl CheckedLibraryCall(Parameters... parameters) {
    CheckPlatformCallState(forward<line>.name);
    const CallOutReturn returned;
    return reinterpret_cast<Result(__cdecl*)(Parameters...)>(forward<line>.function)(parameters...);
}

// sprintf's arguments cannot be passed on: its wrapper hands them, as a
// va_list, to the same library's vsprintf.
Forward vsprintfForward = {"sprintf", nullptr};

int __cdecl CheckedSprintf(char* buffer, const char* format, ...) {
    CheckPlatformCallState(vsprintfForward.name);
    const CallOutReturn returned;
    va_list arguments;
    va_start(arguments, format);
    const int length = reinterpret_cast<int(__cdecl*)(char*, const char*, va_list)>(
        vsprintfForward.function)(buffer, format, arguments);
    va_end(arguments);
    return length;
}

// StretchDIBits reads the header, then the rows of the source rectangle,
// each padded to 4 bytes, from the pixels. Each must lie inside one committed
// readable region: a blit past the end of a buffer that VirtualAlloc
// committed reaches reserved or free pages there, where the platform may
// fault or draw whatever lies beyond.
int blitChecks = 0;
int blitFaults = 0;
std::string lastBlitFault;

// Why the `size` bytes at `start` are not all inside one committed readable
// region, or null if they are.
const char* UnreadableBecause(const void* start, uint64_t size) {
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(start, &region, sizeof region) == 0) return "no memory there";
    if (region.State != MEM_COMMIT) return "not committed";
    if ((region.Protect & readable) == 0 || (region.Protect & PAGE_GUARD) != 0) {
        return "not readable";
    }
    const uint64_t left = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize -
                          static_cast<const BYTE*>(start);
    return size > left ? "runs past the end of its committed region" : nullptr;
}

void BlitFault(const char* what, const void* start, uint64_t size, const char* because) {
    ++blitFaults;
    char text[200];
    snprintf(text, sizeof text, "StretchDIBits reads its %s, %llu bytes at %p: %s", what,
             static_cast<unsigned long long>(size), start, because);
    lastBlitFault = text;
    if (blitFaults <= 10) fprintf(stderr, "%s\n", text);
}

// Checks the memory that a blit of the source rectangle's rows ySrc to
// ySrc + srcHeight of `bits`, as `info` describes them, reads: whole rows,
// padding included, which hold the rectangle's columns wherever they lie
// within the picture's width. Rows are counted from the first in memory, as
// StretchDIBits counts them for a bottom-up picture from its bottom row and
// for a top-down one from its top.
void CheckBlitReads(int ySrc, int srcWidth, int srcHeight, const void* bits,
                    const BITMAPINFO* info) {
    ++blitChecks;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    const char* because = UnreadableBecause(info, sizeof header);
    if (because) return BlitFault("header", info, sizeof header, because);
    // An empty source rectangle reads no pixels: the header of a picture not
    // captured yet (all zero) is handed over then, and the platform refuses it.
    if (srcWidth == 0 || srcHeight == 0) return;
    if (header.biCompression != BI_RGB || header.biBitCount <= 8 || header.biWidth < 0) {
        return BlitFault("header", info, sizeof header,
                         "not an uncompressed picture without palette, of width 0 or more");
    }
    const uint64_t headerBytes = header.biSize + uint64_t{header.biClrUsed} * sizeof(RGBQUAD);
    because = UnreadableBecause(info, headerBytes);
    if (because) return BlitFault("header and colour table", info, headerBytes, because);
    const int64_t stride = (int64_t{header.biWidth} * header.biBitCount + 31) / 32 * 4;
    const int64_t firstRow = srcHeight > 0 ? ySrc : int64_t{ySrc} + srcHeight;
    const int64_t rows = srcHeight > 0 ? srcHeight : -int64_t{srcHeight};
    const void* start = static_cast<const BYTE*>(bits) + firstRow * stride;
    because = firstRow < 0 ? "rows before the first" : UnreadableBecause(start, rows * stride);
    if (because) BlitFault("source rows", start, rows * stride, because);
}

Forward stretchForward = {"StretchDIBits", nullptr};

int WINAPI CheckedStretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight,
                                int xSrc, int ySrc, int srcWidth, int srcHeight, const void* bits,
                                const BITMAPINFO* info, UINT usage, DWORD rop) {
    CheckPlatformCallState(stretchForward.name);
    const CallOutReturn returned;
    CheckBlitReads(ySrc, srcWidth, srcHeight, bits, info);
    return reinterpret_cast<decltype(&StretchDIBits)>(stretchForward.function)(
        dc, xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, bits, info, usage,
        rop);
}
static_assert(std::is_same<decltype(&CheckedStretchDIBits), decltype(&StretchDIBits)>::value,
              "StretchDIBits' wrapper has the platform header's signature");

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
        {"GDI32.dll", "StretchDIBits", reinterpret_cast<void*>(&CheckedStretchDIBits),
         &stretchForward, nullptr},
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

bool BlitReadsKept() { return blitFaults == 0; }

std::string BlitReadsReport() {
    char text[64];
    snprintf(text, sizeof text, "%d checked, %d outside one committed readable region", blitChecks,
             blitFaults);
    return lastBlitFault.empty() ? text : text + (" (last: " + lastBlitFault + ")");
}

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

// Expected log lines of a paint, for comparing whole call sequences with
// recording::Calls(). The device context prints as "dc", the window as
// "window" and the menu as "menu" (the ModuleTest names).
#pragma once

#include <iconv.h>

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture/frame_store.h"
#include "tests/support/recording_win32.h"
#include "win32/platform.h"

namespace paint_calls {

using Calls = std::vector<std::string>;

// `utf8` converted to code page 932 (Shift_JIS), the encoding of every text the
// module hands to the platform.
inline std::string Cp932(const std::string& utf8) {
    const iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 converter");
    std::string input = utf8;
    std::string output(utf8.size() * 2 + 1, '\0');
    char* in = &input[0];
    char* out = &output[0];
    size_t inLeft = input.size();
    size_t outLeft = output.size();
    const size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (converted == static_cast<size_t>(-1)) throw std::runtime_error("not convertible: " + utf8);
    output.resize(output.size() - outLeft);
    return output;
}

// Prints the two image buffers as "sourcePixels" and "filteredPixels".
inline void NameBuffers() {
    recording::Name(frameStore.sourcePixels, "sourcePixels");
    recording::Name(frameStore.filteredPixels, "filteredPixels");
}

inline std::string Rect(const RECT& rect) {
    return "{" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom) + "}";
}

// What every paint does before it decides whether to draw: the menu's check
// marks for `screen` and `multi`, the title (given in UTF-8), the client
// rectangle, the device context and the host's isEditing.
inline Calls Opening(int screen, int multi, const std::string& utf8Title,
                     const std::string& menu = "menu") {
    Calls calls = {"GetMenu(window)"};
    const auto item = [&](int id, bool checked) {
        calls.push_back("SetMenuItemInfoA(" + menu + ", " + std::to_string(id) +
                        ", 0, {cbSize=" + std::to_string(sizeof(MENUITEMINFO98A)) +
                        ", fMask=1, fState=" + (checked ? "8" : "0") + "})");
    };
    for (int id = 32771; id <= 32773; ++id) item(id, screen == id - 32771);
    for (int id = 32774; id <= 32784; ++id) item(id, multi == id - 32774);
    calls.push_back("SetWindowTextA(window, \"" + Cp932(utf8Title) + "\")");
    calls.push_back("GetClientRect(window)");
    calls.push_back("GetDC(window)");
    calls.push_back("isEditing(edit)");
    return calls;
}

inline std::string Fill(const RECT& rect) { return "FillRect(dc, " + Rect(rect) + ", 11)"; }

// StretchDIBits with a layout's eight numbers, the named buffer and header.
inline std::string Blit(std::initializer_list<int> layout, const std::string& pixels,
                        const std::string& info) {
    std::string line = "StretchDIBits(dc";
    for (const int value : layout) line += ", " + std::to_string(value);
    return line + ", " + pixels + ", " + info + ", 0, 0xCC0020)";
}

inline std::string SourceBlit(std::initializer_list<int> layout) {
    return Blit(layout, "sourcePixels", "sourceInfo");
}

inline std::string FilteredBlit(std::initializer_list<int> layout) {
    return Blit(layout, "filteredPixels", "filteredInfo");
}

const char stretchMode[] = "SetStretchBltMode(dc, 3)";
const char releaseDc[] = "ReleaseDC(window, dc)";

inline Calls operator+(Calls first, const Calls& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace paint_calls

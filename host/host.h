// The stand-in host: plays the host's part for a filter module of this
// interface, so that the module can be used and tested without the host.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "plugin/host_interface.h"

// A 24-bit picture as the host hands it over: rows bottom-up, each rowBytes
// long, padded to a multiple of 4 bytes as a bitmap's rows are, or packed
// (width * 3 bytes); padding bytes are zero.
struct Picture {
    int width = 0;
    int height = 0;
    int rowBytes = 0;
    std::vector<uint8_t> pixels;
};

struct VideoFrame {
    Picture source;
    Picture filtered;
};

// frames.cpp
std::vector<VideoFrame> MakeEmbeddedFrames(int count, int sourceWidth, int sourceHeight,
                                           int filteredWidth, int filteredHeight, bool packedRows);
// Reads an uncompressed 24-bit bitmap into rows of the host's layout.
bool ReadBmp(const char* path, bool packedRows, Picture* picture, std::string* error);
// The picture's rows padded to 4 bytes, as a bitmap holds them.
std::vector<uint8_t> BitmapRows(const Picture& picture);
// Writes a 24-bit bitmap from bottom-up rows padded to 4 bytes, as a bitmap
// stores them.
bool WriteBmp(const char* path, int width, int height, const uint8_t* rows);

// The host's state: one module, one video, the plug-in's window and the
// host's own preview of the filtered frame.
struct Host {
    FilterTable* filter = nullptr;
    HostServices services = {};
    HWND previewWindow = nullptr;
    std::vector<VideoFrame> frames;
    int currentFrame = 0;
    bool videoOpen = false;
    bool pluginStarted = false;  // between InitFilter and ExitFilter
    std::string settingsPath;
    int maxWidth = 1920;
    int maxHeight = 1088;
    int yes = 1;  // what the yes/no services answer for yes: any nonzero value
};
extern Host host;

// host_main.cpp: the host's own actions, each with the notifications and
// frame processing that go with it.
HWND PluginWindow();
EditHandle VideoHandle();
int Notify(UINT message, WPARAM wParam, LPARAM lParam);
void ShowFrame(int frame);
void OpenVideo();
void CloseVideo();
void ShowPluginWindow(bool shown);
void ResizePluginWindow(int clientWidth, int clientHeight);
void PumpMessages();

// script.cpp: runs one scripted action; false with a message for a bad one.
bool RunAction(const std::string& action, std::string* error);

// module_calls.cpp: every call into the module goes through CallModule, in
// the host's own floating-point state or, with --fp-state, in that one; the
// state must come back unchanged after the call, in every service it reaches
// and at every platform call the module makes.
bool ParseFloatState(const char* text);  // "CONTROL,MXCSR[,X87FLAGS]", e.g. "0x0C72,0xF940,0x20"
void EnterModuleCall(const char* callback);
void LeaveModuleCall(const char* callback);
void CheckServiceState(const char* service);
void CheckPlatformCallState(const char* function);
bool FloatStateKept();
std::string FloatStateReport();

// module_imports.cpp: routes every platform call of the loaded module through
// CheckPlatformCallState, and checks the memory each StretchDIBits reads;
// false, with the reason, for an import it cannot.
bool CheckModulePlatformCalls(HMODULE module, std::string* error);
bool BlitReadsKept();
std::string BlitReadsReport();

template <typename Call>
auto CallModule(const char* callback, Call call) {
    EnterModuleCall(callback);
    const auto result = call();
    LeaveModuleCall(callback);
    return result;
}

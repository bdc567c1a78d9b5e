// The stand-in host: plays the host's part for a filter module of this
// interface, so that the module can be used and tested without the host.
#pragma once

#include <stdint.h>
#include <stdio.h>

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

// The command line (options.cpp).
struct Options {
    const char* modulePath = nullptr;
    const char* sourceBmp = nullptr;
    const char* filteredBmp = nullptr;
    int frameCount = 4;
    int sourceWidth = 320, sourceHeight = 240;
    int filteredWidth = 0, filteredHeight = 0;  // 0: the source size
    bool packedRows = false;
    bool openVideo = true;
    std::vector<std::string> actions;
    bool scripted = false;
    bool help = false;
};
// False for a command line that is not one; the host's own settings (the
// largest size, yes, the settings file, the floating-point state) go
// straight into `host`.
bool ParseOptions(int argc, char** argv, Options* options);
void PrintUsage(FILE* out);

// frames.cpp: the frames the options ask for, into host.frames; false, with
// the reason on stderr, when they cannot be had.
bool LoadFrames(const Options& options);
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

// services.cpp: the record of the host services the module calls.
HostServices StandInServices();

// windows.cpp: the plug-in's window and the preview, and a window's client
// size, whatever its frame and menu bar.
void CreateHostWindows();
void SetClientSize(HWND window, int width, int height);

// host_actions.cpp: the host's own actions, each with the notifications and
// frame processing that go with it.
HWND PluginWindow();
EditHandle VideoHandle();
const VideoFrame& CurrentFrame();
void ProcessCurrentFrame();
int Notify(UINT message, WPARAM wParam, LPARAM lParam);
void ShowFrame(int frame);
void OpenVideo();
void CloseVideo();
void ShowPluginWindow(bool shown);
void ResizePluginWindow(int clientWidth, int clientHeight);
void PumpMessages();

// script.cpp: runs one scripted action; false with a message for a bad one.
// The actions' usage lines come from the same table.
bool RunAction(const std::string& action, std::string* error);
std::string ActionsUsage();

// module_calls.cpp: every call into the module goes through CallModule, in
// the host's own floating-point state or, with --fp-state, in that one; the
// state must come back unchanged after the call, in every service it reaches
// and at every platform call the module makes.
bool ParseFloatState(const char* text);  // "CONTROL,MXCSR[,X87FLAGS]", e.g. "0x0C72,0xF940,0x20"
void EnterModuleCall(const char* callback);
void LeaveModuleCall(const char* callback);
void CheckServiceState(const char* service);
void CheckPlatformCallState(const char* function);
void CallOutReturned();  // the flags found now are the service's or the platform's
// Calls CallOutReturned when a service or platform call of the module returns.
struct CallOutReturn {
    ~CallOutReturn() { CallOutReturned(); }
};
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

// A host for the native tests: its service slots answer what the test sets
// and log their calls into the recording layer's log, so that one sequence
// shows platform and host calls in order.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "plugin/host_interface.h"

struct FakeHost {
    int editing = 1;
    int active = 1;
    int windowShown = 1;
    int currentFrame = 0;
    int32_t maxWidth = 640;
    int32_t maxHeight = 480;
    std::map<std::string, int> settings;
    std::vector<uint8_t> displayedPixels;  // what getDisplayedPixels serves
    uint8_t sourceFill = 0x5A;             // getSourcePixels writes this byte...
    size_t sourceBytes = 0;                // ...this many times
};

extern FakeHost fakeHost;

// Handles the tests see in the log under these names.
extern const HWND testWindow;     // "window"
extern const HDC testDc;          // "dc"
extern const HMENU testMenu;      // "menu"
extern const HINSTANCE testInstance;  // "instance"
extern const EditHandle testEdit;     // "edit"

// Every test starts from a freshly loaded module bound to a fresh fake host.
class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Fills a frame record as the host passes it to ProcessFrame.
    FrameProcInfo Frame(int32_t width, int32_t height, int32_t sourceWidth,
                        int32_t sourceHeight) const;

    FilterTable* filter = nullptr;
};

// The host of the native tests: the fake host, whose service slots answer what
// the test sets and log their calls with the platform's, so that one sequence
// shows platform and host calls in order.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "plugin/host_interface.h"
#include "tests/support/fake_system.h"

using FakeHost = fake::Host;

extern FakeHost& fakeHost;

// Handles the tests see in the log under these names.
extern const HWND testWindow;         // "window"
extern const HDC testDc;              // "dc"
extern const HMENU testMenu;          // "menu"
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

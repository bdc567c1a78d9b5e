// The fixture of the native tests: each starts from a freshly loaded module
// bound to a fresh fake host and platform, which log every call out in order,
// with its arguments, as one line of text. Every call out must be made in the
// test's own floating-point state, and every argument, record, text and blit
// read must pass the fake platform's checks; a call that does not fails the
// test with the check's message.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>

#include "plugin/host_interface.h"
#include "tests/support/fake_system.h"

// The log prints the handles as "window", "dc", "menu", "instance" and
// "edit", the filter table as "filter", the picture headers as "sourceInfo"
// and "filteredInfo", and buffers reserved by the fixture as "sourcePixels"
// and "filteredPixels".
class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Both buffers reserved at the host's largest size; the log starts empty afterwards.
    void ReserveBuffers();
    // Both buffers holding pictures as a capture of the host's current frame leaves them, without
    // its paint: the source picture sourceWidth x sourceHeight, the filtered one filteredWidth x
    // filteredHeight (their bytes zero). The host's largest size grows to hold both first.
    void HoldPictures(int32_t sourceWidth, int32_t sourceHeight, int32_t filteredWidth,
                      int32_t filteredHeight);

    FilterTable* filter = nullptr;
};

// `utf8` converted to code page 932 (Shift_JIS), the encoding of every text the
// module hands to the platform and the host.
std::string Cp932(const std::string& utf8);

#include "tests/support/recording_win32.h"

#include <gtest/gtest.h>

namespace recording {

void Reset() {
    fake::Reset();
    fake::watch().log = true;
    fake::watch().checked = true;
    fake::watch().fault = [](const char* what) { ADD_FAILURE() << what; };
    fake::ExpectCallerFloatState();
}

}  // namespace recording

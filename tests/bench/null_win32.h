// A Win32 layer that does nothing: the module's own time is what remains
// when every platform call returns at once.
#pragma once

#include "win32/platform.h"

namespace null_win32 {

// What GetClientRect answers.
extern RECT clientRect;

}  // namespace null_win32

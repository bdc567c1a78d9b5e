// Puts the module back as it is right after loading: buffers released, view
// state and frame store at their load values. Every harness that drives the
// module (tests, fuzzer, benchmarks) starts from here.
#pragma once

#include "capture/frame_store.h"
#include "plugin/view_state.h"

inline void ReturnModuleToLoadState() {
    FreeImageBuffers();
    viewState = viewStateAtLoad;
    frameStore = frameStoreAtLoad;
}

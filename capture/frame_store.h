// Private copies of the source and filtered pictures of the frame shown, so
// that the window can be repainted without asking the host again.
#pragma once

#include <stdint.h>

#include "plugin/host_interface.h"

struct FrameStore {
    uint8_t* sourcePixels;       // 24-bit pixels, rows bottom-up
    uint8_t* filteredPixels;
    BITMAPINFO sourceInfo;       // describes the picture in sourcePixels
    BITMAPINFO filteredInfo;     // describes the picture in filteredPixels
    int32_t sourceFrameNumber;   // frame whose source picture is held; -1 for none
    int32_t frameCaptured;       // 1 once a complete capture has happened
    int32_t sourceCapacity;      // bytes reserved for sourcePixels
    int32_t filteredCapacity;    // bytes reserved for filteredPixels
};

constexpr FrameStore frameStoreAtLoad = {nullptr, nullptr, {}, {}, -1, 0, 0, 0};

extern FrameStore frameStore;

// Bytes of a 24-bit picture of width x height as the host delivers it, rows
// of width x 3 bytes; 0 when either side is not positive or the size does not
// fit a signed 32-bit count.
int32_t PictureBytes(int32_t width, int32_t height);

// Bytes the platform's blit reads for the same picture: it takes each row as
// padded to a multiple of 4 bytes. 0 in the same cases.
int32_t BlitBytes(int32_t width, int32_t height);

void AllocateImageBuffers(FilterTable* filter);
void FreeImageBuffers();
int HOSTCALL ProcessFrame(FilterTable* filter, FrameProcInfo* info);

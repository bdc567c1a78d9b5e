#include "capture/frame_store.h"

#include <string.h>

#include "view/paint_view.h"

FrameStore frameStore = frameStoreAtLoad;

namespace {

void DescribePicture(BITMAPINFO& info, int32_t width, int32_t height) {
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows run bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
}

// Reserves one buffer unless it exists. A picture left described from an
// earlier, larger buffer is forgotten, so its header never outgrows the
// memory it describes.
void ReserveBuffer(uint8_t*& pixels, int32_t& capacity, BITMAPINFO& info, int32_t bytes) {
    if (pixels != nullptr) return;
    if (bytes > 0) {
        pixels = static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    }
    capacity = pixels != nullptr ? bytes : 0;
    if (PictureBytes(info.bmiHeader.biWidth, info.bmiHeader.biHeight) > capacity) {
        memset(&info, 0, sizeof info);
    }
}

void ReleaseBuffer(uint8_t*& pixels, int32_t& capacity) {
    if (pixels == nullptr) return;
    VirtualFree(pixels, 0, MEM_RELEASE);
    pixels = nullptr;
    capacity = 0;
}

}  // namespace

int32_t PictureBytes(int32_t width, int32_t height) {
    int32_t pixels = 0;
    int32_t bytes = 0;
    if (width <= 0 || height <= 0 || __builtin_mul_overflow(width, height, &pixels) ||
        __builtin_mul_overflow(pixels, 3, &bytes)) {
        return 0;
    }
    return bytes;
}

void AllocateImageBuffers(FilterTable* filter) {
    HostSystemInfo system = {};
    filter->services->getSystemInfo(nullptr, &system);
    const int32_t bytes = PictureBytes(system.maxWidth, system.maxHeight);
    ReserveBuffer(frameStore.sourcePixels, frameStore.sourceCapacity, frameStore.sourceInfo, bytes);
    ReserveBuffer(frameStore.filteredPixels, frameStore.filteredCapacity, frameStore.filteredInfo,
                  bytes);
}

void FreeImageBuffers() {
    ReleaseBuffer(frameStore.sourcePixels, frameStore.sourceCapacity);
    ReleaseBuffer(frameStore.filteredPixels, frameStore.filteredCapacity);
}

int HOSTCALL ProcessFrame(FilterTable* filter, FrameProcInfo* info) {
    const HostServices* host = filter->services;
    const EditHandle editHandle = info->editHandle;
    if (!host->isEditing(editHandle)) return 1;
    if (frameStore.sourcePixels == nullptr || frameStore.filteredPixels == nullptr) return 1;
    if (!host->isActive(editHandle)) return 1;

    const int32_t frame = host->getCurrentFrame(editHandle);
    const bool sourceChanged = frame != frameStore.sourceFrameNumber;
    const int32_t sourceWidth = info->sourceWidth;
    const int32_t sourceHeight = info->sourceHeight;
    const int32_t width = info->width;
    const int32_t height = info->height;
    // A frame that would not fit the buffers is not captured at all.
    const int32_t filteredBytes = PictureBytes(width, height);
    if (filteredBytes == 0 || filteredBytes > frameStore.filteredCapacity) return 1;
    if (sourceChanged) {
        const int32_t sourceBytes = PictureBytes(sourceWidth, sourceHeight);
        if (sourceBytes == 0 || sourceBytes > frameStore.sourceCapacity) return 1;
        host->getSourcePixels(editHandle, frame, frameStore.sourcePixels, 0);
        frameStore.sourceFrameNumber = frame;
        DescribePicture(frameStore.sourceInfo, sourceWidth, sourceHeight);
    }

    const void* displayed = host->getDisplayedPixels(editHandle, 0);
    if (displayed == nullptr) return 1;
    memcpy(frameStore.filteredPixels, displayed, filteredBytes);
    DescribePicture(frameStore.filteredInfo, width, height);

    PaintView(filter, editHandle, nullptr);
    frameStore.frameCaptured = 1;
    return 1;
}

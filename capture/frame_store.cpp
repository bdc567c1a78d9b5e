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
    if (BlitBytes(info.bmiHeader.biWidth, info.bmiHeader.biHeight) > capacity) {
        memset(&info, 0, sizeof info);
    }
}

// Whether a picture, as the host writes it and as the blit reads it, fits a
// buffer of `capacity` bytes.
bool FitsBuffer(int32_t width, int32_t height, int32_t capacity) {
    const int32_t bytes = BlitBytes(width, height);
    return bytes != 0 && bytes <= capacity;
}

void ReleaseBuffer(uint8_t*& pixels, int32_t& capacity) {
    if (pixels == nullptr) return;
    VirtualFree(pixels, 0, MEM_RELEASE);
    pixels = nullptr;
    capacity = 0;
}

int32_t ImageBytes(int32_t width, int32_t height, bool paddedRows) {
    int32_t row = 0;
    int32_t bytes = 0;
    if (width <= 0 || height <= 0 || __builtin_mul_overflow(width, 3, &row)) return 0;
    if (paddedRows) {
        if (__builtin_add_overflow(row, 3, &row)) return 0;
        row &= ~3;
    }
    if (__builtin_mul_overflow(row, height, &bytes)) return 0;
    return bytes;
}

}  // namespace

int32_t PictureBytes(int32_t width, int32_t height) { return ImageBytes(width, height, false); }

int32_t BlitBytes(int32_t width, int32_t height) { return ImageBytes(width, height, true); }

void AllocateImageBuffers(FilterTable* filter) {
    HostSystemInfo system = {};
    filter->services->getSystemInfo(nullptr, &system);
    // Room for the largest picture as the blit reads it, so that a picture
    // whose rows the blit takes as padded never leads it past the buffer.
    const int32_t bytes = BlitBytes(system.maxWidth, system.maxHeight);
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
    // A frame whose pictures would not fit the buffers is not captured at all.
    if (!FitsBuffer(width, height, frameStore.filteredCapacity)) return 1;
    if (sourceChanged) {
        if (!FitsBuffer(sourceWidth, sourceHeight, frameStore.sourceCapacity)) return 1;
        host->getSourcePixels(editHandle, frame, frameStore.sourcePixels, 0);
        frameStore.sourceFrameNumber = frame;
        DescribePicture(frameStore.sourceInfo, sourceWidth, sourceHeight);
    }

    const void* displayed = host->getDisplayedPixels(editHandle, 0);
    if (displayed == nullptr) return 1;
    memcpy(frameStore.filteredPixels, displayed, PictureBytes(width, height));
    DescribePicture(frameStore.filteredInfo, width, height);

    PaintView(filter, editHandle, nullptr);
    frameStore.frameCaptured = 1;
    return 1;
}

// The host services the stand-in host gives the module: answers about the one
// video and its frames, and settings in the host's INI file. Every service
// first checks that the module called it in the state the host's thread had,
// and leaves its own flags on return (see module_calls.cpp).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host/host.h"
#include "host/wire_services.h"

namespace {

struct Services {
    static int HOSTCALL IsEditing(EditHandle) {
        CheckServiceState("isEditing");
        const CallOutReturn returned;
        return host.videoOpen ? host.yes : 0;
    }

    static int HOSTCALL GetCurrentFrame(EditHandle) {
        CheckServiceState("getCurrentFrame");
        const CallOutReturn returned;
        return host.currentFrame;
    }

    static int HOSTCALL IsWindowShown(FilterTable* filter) {
        CheckServiceState("isWindowShown");
        const CallOutReturn returned;
        return IsWindowVisible(filter->window) ? host.yes : 0;
    }

    static int HOSTCALL IsActive(EditHandle) {
        CheckServiceState("isActive");
        const CallOutReturn returned;
        return host.videoOpen ? host.yes : 0;
    }

    // One section per filter.
    static int HOSTCALL LoadSettingInt(FilterTable* filter, const char* key, int defaultValue) {
        CheckServiceState("loadSettingInt");
        const CallOutReturn returned;
        char text[32];
        GetPrivateProfileStringA(filter->name, key, "", text, sizeof text,
                                 host.settingsPath.c_str());
        char* end;
        const long value = strtol(text, &end, 10);
        return end != text && *end == '\0' ? static_cast<int>(value) : defaultValue;
    }

    static int HOSTCALL SaveSettingInt(FilterTable* filter, const char* key, int value) {
        CheckServiceState("saveSettingInt");
        const CallOutReturn returned;
        char text[32];
        snprintf(text, sizeof text, "%d", value);
        const BOOL saved =
            WritePrivateProfileStringA(filter->name, key, text, host.settingsPath.c_str());
        return saved ? 1 : 0;
    }

    static int HOSTCALL GetSystemInfo(void*, HostSystemInfo* info) {
        CheckServiceState("getSystemInfo");
        const CallOutReturn returned;
        memset(info, 0, sizeof *info);
        info->maxWidth = host.maxWidth;
        info->maxHeight = host.maxHeight;
        return 1;
    }

    static void* HOSTCALL GetDisplayedPixels(EditHandle, int) {
        CheckServiceState("getDisplayedPixels");
        const CallOutReturn returned;
        if (!host.videoOpen) return nullptr;
        return const_cast<uint8_t*>(CurrentFrame().filtered.pixels.data());
    }

    static int HOSTCALL GetSourcePixels(EditHandle, int frame, void* buffer, int) {
        CheckServiceState("getSourcePixels");
        const CallOutReturn returned;
        if (!host.videoOpen || frame < 0 || frame >= static_cast<int>(host.frames.size())) return 0;
        const Picture& source = host.frames[frame].source;
        memcpy(buffer, source.pixels.data(), source.pixels.size());
        return 1;
    }
};

}  // namespace

HostServices StandInServices() { return WireServices<Services>(); }

#include "tests/support/fake_host.h"

#include <cstring>

#include "capture/frame_store.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "tests/support/module_state.h"
#include "tests/support/recording_win32.h"

FakeHost fakeHost;

const HWND testWindow = reinterpret_cast<HWND>(0x1000);
const HDC testDc = reinterpret_cast<HDC>(0x2000);
const HMENU testMenu = reinterpret_cast<HMENU>(0x3000);
const HINSTANCE testInstance = reinterpret_cast<HINSTANCE>(0x4000);
const EditHandle testEdit = reinterpret_cast<EditHandle>(0x5000);

namespace {

using recording::Format;
using recording::Log;

int HOSTCALL IsEditing(EditHandle edit) {
    Log("isEditing(" + Format(edit) + ")");
    return fakeHost.editing;
}

int HOSTCALL GetCurrentFrame(EditHandle edit) {
    Log("getCurrentFrame(" + Format(edit) + ")");
    return fakeHost.currentFrame;
}

int HOSTCALL IsWindowShown(FilterTable* filter) {
    Log("isWindowShown(" + Format(filter) + ")");
    return fakeHost.windowShown;
}

int HOSTCALL IsActive(EditHandle edit) {
    Log("isActive(" + Format(edit) + ")");
    return fakeHost.active;
}

int HOSTCALL LoadSettingInt(FilterTable* filter, const char* key, int defaultValue) {
    Log("loadSettingInt(" + Format(filter) + ", \"" + key + "\", " + std::to_string(defaultValue) +
        ")");
    const auto stored = fakeHost.settings.find(key);
    return stored == fakeHost.settings.end() ? defaultValue : stored->second;
}

int HOSTCALL SaveSettingInt(FilterTable* filter, const char* key, int value) {
    Log("saveSettingInt(" + Format(filter) + ", \"" + key + "\", " + std::to_string(value) + ")");
    fakeHost.settings[key] = value;
    return 1;
}

int HOSTCALL GetSystemInfo(void* reserved, HostSystemInfo* info) {
    Log("getSystemInfo(" + Format(reserved) + ")");
    info->maxWidth = fakeHost.maxWidth;
    info->maxHeight = fakeHost.maxHeight;
    return 1;
}

void* HOSTCALL GetDisplayedPixels(EditHandle edit, int format) {
    Log("getDisplayedPixels(" + Format(edit) + ", " + std::to_string(format) + ")");
    return fakeHost.displayedPixels.data();
}

int HOSTCALL GetSourcePixels(EditHandle edit, int frame, void* buffer, int format) {
    Log("getSourcePixels(" + Format(edit) + ", " + std::to_string(frame) + ", " + Format(buffer) +
        ", " + std::to_string(format) + ")");
    memset(buffer, fakeHost.sourceFill, fakeHost.sourceBytes);
    return 1;
}

HostServices services;

}  // namespace

void ModuleTest::SetUp() {
    ReturnModuleToLoadState();
    fakeHost = FakeHost{};
    recording::Reset();

    services = HostServices{};
    services.isEditing = IsEditing;
    services.getCurrentFrame = GetCurrentFrame;
    services.isWindowShown = IsWindowShown;
    services.isActive = IsActive;
    services.loadSettingInt = LoadSettingInt;
    services.saveSettingInt = SaveSettingInt;
    services.getSystemInfo = GetSystemInfo;
    services.getDisplayedPixels = GetDisplayedPixels;
    services.getSourcePixels = GetSourcePixels;

    filter = GetFilterTable();
    filter->services = &services;
    filter->window = testWindow;
    filter->instance = testInstance;

    recording::answers().dc = testDc;
    recording::answers().menu = testMenu;
    recording::Name(filter, "filter");
    recording::Name(testWindow, "window");
    recording::Name(testDc, "dc");
    recording::Name(testMenu, "menu");
    recording::Name(testInstance, "instance");
    recording::Name(testEdit, "edit");
    recording::Name(&frameStore.sourceInfo, "sourceInfo");
    recording::Name(&frameStore.filteredInfo, "filteredInfo");
}

void ModuleTest::TearDown() {
    FreeImageBuffers();
    filter->services = nullptr;
    filter->window = nullptr;
    filter->instance = nullptr;
}

FrameProcInfo ModuleTest::Frame(int32_t width, int32_t height, int32_t sourceWidth,
                                int32_t sourceHeight) const {
    FrameProcInfo info = {};
    info.width = width;
    info.height = height;
    info.sourceWidth = sourceWidth;
    info.sourceHeight = sourceHeight;
    info.editHandle = testEdit;
    return info;
}

#include "tests/support/fake_host.h"

#include "capture/frame_store.h"
#include "tests/support/recording_win32.h"

FakeHost& fakeHost = fake::host();

const HWND testWindow = reinterpret_cast<HWND>(0x1000);
const HDC testDc = reinterpret_cast<HDC>(0x2000);
const HMENU testMenu = reinterpret_cast<HMENU>(0x3000);
const HINSTANCE testInstance = reinterpret_cast<HINSTANCE>(0x4000);
const EditHandle testEdit = reinterpret_cast<EditHandle>(0x5000);

void ModuleTest::SetUp() {
    recording::Reset();
    filter = fake::LoadModule(testWindow, testInstance);

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

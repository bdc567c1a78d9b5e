#include "tests/support/fake_host.h"

#include <iconv.h>
#include <string.h>

#include <algorithm>
#include <stdexcept>

#include "capture/frame_store.h"

void ModuleTest::SetUp() {
    fake::Reset();
    fake::watch().log = true;
    fake::watch().checked = true;
    fake::watch().fault = [](const char* what) { ADD_FAILURE() << what; };
    fake::ExpectCallerFloatState();
    filter = fake::LoadModule(fake::window, fake::instance);

    fake::Name(filter, "filter");
    fake::Name(fake::window, "window");
    fake::Name(fake::windowDc, "dc");
    fake::Name(fake::windowMenu, "menu");
    fake::Name(fake::instance, "instance");
    fake::Name(fake::edit, "edit");
    fake::Name(&frameStore.sourceInfo, "sourceInfo");
    fake::Name(&frameStore.filteredInfo, "filteredInfo");
}

void ModuleTest::TearDown() {
    FreeImageBuffers();
    filter->services = nullptr;
    filter->window = nullptr;
    filter->instance = nullptr;
}

void ModuleTest::ReserveBuffers() {
    AllocateImageBuffers(filter);
    fake::NameBuffers();
    fake::Calls().clear();
}

namespace {

void DescribePicture(BITMAPINFO& info, int32_t width, int32_t height) {
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
}

}  // namespace

void ModuleTest::HoldPictures(int32_t sourceWidth, int32_t sourceHeight, int32_t filteredWidth,
                              int32_t filteredHeight) {
    fake::host().maxWidth = std::max({fake::host().maxWidth, sourceWidth, filteredWidth});
    fake::host().maxHeight = std::max({fake::host().maxHeight, sourceHeight, filteredHeight});
    ReserveBuffers();
    DescribePicture(frameStore.sourceInfo, sourceWidth, sourceHeight);
    DescribePicture(frameStore.filteredInfo, filteredWidth, filteredHeight);
    frameStore.sourceFrameNumber = fake::host().currentFrame;
    frameStore.frameCaptured = 1;
}

std::string Cp932(const std::string& utf8) {
    const iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 converter");
    std::string input = utf8;
    std::string output(utf8.size() * 2 + 1, '\0');
    char* in = &input[0];
    char* out = &output[0];
    size_t inLeft = input.size();
    size_t outLeft = output.size();
    const size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (converted == static_cast<size_t>(-1)) throw std::runtime_error("not convertible: " + utf8);
    output.resize(output.size() - outLeft);
    return output;
}

#include "capture/frame_store.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "ui/window_messages.h"

namespace {

// Bits 2, 13, 14, 15, 18 and 30: how the host creates and drives the window.
constexpr int32_t filterFlags = 0x4004E004;

const char filterName[] = "Pandrel";
// "Pandrel version <version>(98以降用) by Pelmar" in Shift_JIS.
const char filterInformation[] =
    "Pandrel version " PANDREL_VERSION "(98\x88\xC8\x8D\x7E\x97\x70) by Pelmar";

FilterTable filterTable = {
    filterFlags,
    320,
    106,
    filterName,
    {},
    ProcessFrame,
    InitFilter,
    ExitFilter,
    0,
    HandleWindowMessage,
    {},
    filterInformation,
    {},
    nullptr,
    nullptr,
    nullptr,
    {},
};

}  // namespace

FilterTable* HOSTCALL GetFilterTable(void) { return &filterTable; }

int HOSTCALL InitFilter(FilterTable* filter) {
    viewState.screen = filter->services->loadSettingInt(filter, screenSettingKey, 0);
    viewState.multi = filter->services->loadSettingInt(filter, multiSettingKey, 0);
    return 1;
}

int HOSTCALL ExitFilter(FilterTable* filter) {
    filter->services->saveSettingInt(filter, screenSettingKey, viewState.screen);
    filter->services->saveSettingInt(filter, multiSettingKey, viewState.multi);
    FreeImageBuffers();
    return 1;
}

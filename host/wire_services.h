// Fills the record of host services the module calls from one implementation
// of them: the static members of `Services`, one for each service slot. The
// stand-in host, the tests' fake host and the Wine benchmark each give theirs.
#pragma once

#include "plugin/host_interface.h"

template <typename Services>
HostServices WireServices() {
    HostServices services = {};
    services.isEditing = Services::IsEditing;
    services.getCurrentFrame = Services::GetCurrentFrame;
    services.isWindowShown = Services::IsWindowShown;
    services.isActive = Services::IsActive;
    services.loadSettingInt = Services::LoadSettingInt;
    services.saveSettingInt = Services::SaveSettingInt;
    services.getSystemInfo = Services::GetSystemInfo;
    services.getDisplayedPixels = Services::GetDisplayedPixels;
    services.getSourcePixels = Services::GetSourcePixels;
    return services;
}

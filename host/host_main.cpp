// The stand-in host's program: loads the module, gives it the host's services
// and windows, and runs either interactively or a list of scripted actions.
#include <stdio.h>

#include "host/host.h"

Host host;

namespace {

int RunInteractive() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

int RunScript(const std::vector<std::string>& actions) {
    for (const std::string& action : actions) {
        std::string error;
        if (!RunAction(action, &error)) {
            fprintf(stderr, "action '%s': %s\n", action.c_str(), error.c_str());
            return 2;
        }
        PumpMessages();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        PrintUsage(stderr);
        return 2;
    }
    if (options.help) {
        PrintUsage(stdout);
        return 0;
    }
    if (!LoadFrames(options)) return 2;

    const HMODULE module = LoadLibraryA(options.modulePath);
    const auto getFilterTable =
        module ? reinterpret_cast<FilterTable*(HOSTCALL*)()>(
                     reinterpret_cast<void*>(GetProcAddress(module, "GetFilterTable")))
               : nullptr;
    if (!getFilterTable) {
        fprintf(stderr, "cannot load %s or find GetFilterTable in it\n", options.modulePath);
        return 1;
    }
    std::string error;
    if (!CheckModulePlatformCalls(module, &error)) {
        fprintf(stderr, "cannot check the module's platform calls: %s\n", error.c_str());
        return 1;
    }
    FilterTable* filter = CallModule("GetFilterTable", getFilterTable);
    host.filter = filter;
    host.services = StandInServices();
    filter->services = &host.services;
    filter->instance = module;
    CreateHostWindows();

    CallModule("InitFilter", [&] { return filter->initProc(filter); });
    host.pluginStarted = true;
    Notify(notifyWindowCreated, 0, 0);
    ShowWindow(host.previewWindow, SW_SHOWNOACTIVATE);
    ShowPluginWindow(true);
    // The initial size is the client area's, below the menu bar that the
    // module attached.
    ResizePluginWindow(filter->initialWidth, filter->initialHeight);
    if (options.openVideo) OpenVideo();
    PumpMessages();

    const int result = options.scripted ? RunScript(options.actions) : RunInteractive();

    CallModule("ExitFilter", [&] { return filter->exitProc(filter); });
    host.pluginStarted = false;
    DestroyWindow(filter->window);
    DestroyWindow(host.previewWindow);
    FreeLibrary(module);
    if (!FloatStateKept()) {
        fprintf(stderr, "the module did not keep the floating-point state: %s\n",
                FloatStateReport().c_str());
        return result ? result : 3;
    }
    if (!BlitReadsKept()) {
        fprintf(stderr, "the module's blits read outside its memory: %s\n",
                BlitReadsReport().c_str());
        return result ? result : 4;
    }
    return result;
}

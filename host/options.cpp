// The stand-in host's command line: its options and its usage text, which
// lists the script's actions from their table (script.cpp).
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "host/host.h"

namespace {

const char optionsUsage[] =
    "usage: pandrel-host [options] MODULE.auf\n"
    "  --source FILE.bmp --filtered FILE.bmp  serve these 24-bit pictures as the one frame\n"
    "  --frames N             number of generated frames (default 4)\n"
    "  --source-size WxH      size of the generated source frames (default 320x240)\n"
    "  --filtered-size WxH    size of the generated filtered frames (default: the source size)\n"
    "  --max-size WxH         largest image size the host reports (default 1920x1088)\n"
    "  --packed-rows          hand over rows of width * 3 bytes, not padded to 4 bytes\n"
    "  --settings FILE.ini    the host's settings file (default pandrel-host.ini)\n"
    "  --no-video             start with no video open\n"
    "  --yes N                answer yes from isEditing, isActive and isWindowShown with N\n"
    "                         (any nonzero int, default 1; menu commands act only on 1)\n"
    "  --fp-state CW,MXCSR[,FLAGS]  call the module with this x87 control word, MXCSR and\n"
    "                         x87 exception flags (default 0x20, the precision flag; none\n"
    "                         whose exception CW unmasks) instead of the host's own state\n"
    "  --script FILE          run the actions in FILE (one per line, # comments), then exit\n"
    "  --actions 'A; B; ...'  run these actions, then exit\n"
    "  --help                 print this text and exit\n"
    "Without --script or --actions the host runs interactively.\n"
    "The module must keep the floating-point state it is called in at every host service and\n"
    "platform call it makes and give it back (exit status 3 if not), and every StretchDIBits\n"
    "must read inside one committed readable region (exit status 4 if not).\n"
    "\n"
    "Actions:\n";

bool ParseSize(const char* text, int* width, int* height) {
    return sscanf(text, "%dx%d", width, height) == 2 && *width >= 0 && *height >= 0;
}

bool ParseYes(const char* text, int* yes) {
    char* end;
    errno = 0;
    const long value = strtol(text, &end, 0);
    if (*end != '\0' || end == text || errno || value == 0 || value < INT32_MIN ||
        value > INT32_MAX) {
        return false;
    }
    *yes = static_cast<int>(value);
    return true;
}

// Actions separated by `separator`, each without its # comment; blank ones
// are left out.
void SplitActions(const std::string& text, char separator, std::vector<std::string>* actions) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        std::string action = text.substr(start, end - start);
        const size_t comment = action.find('#');
        if (comment != std::string::npos) action.resize(comment);
        if (action.find_first_not_of(" \t\r") != std::string::npos) actions->push_back(action);
        start = end + 1;
    }
}

bool ReadScript(const char* path, std::vector<std::string>* actions) {
    FILE* file = fopen(path, "rb");
    if (!file) {
        fprintf(stderr, "cannot open %s\n", path);
        return false;
    }
    std::string text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
    fclose(file);
    SplitActions(text, '\n', actions);
    return true;
}

}  // namespace

void PrintUsage(FILE* out) {
    fputs(optionsUsage, out);
    fputs(ActionsUsage().c_str(), out);
}

bool ParseOptions(int argc, char** argv, Options* options) {
    std::string settings = "pandrel-host.ini";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help") {
            options->help = true;
            return true;
        } else if (arg == "--no-video") {
            options->openVideo = false;
        } else if (arg == "--packed-rows") {
            options->packedRows = true;
        } else if (arg[0] != '-' || arg == "-") {
            options->modulePath = argv[i];
        } else if (!hasValue) {
            return false;
        } else if (arg == "--source") {
            options->sourceBmp = argv[++i];
        } else if (arg == "--filtered") {
            options->filteredBmp = argv[++i];
        } else if (arg == "--frames") {
            options->frameCount = atoi(argv[++i]);
            if (options->frameCount < 1) return false;
        } else if (arg == "--source-size") {
            if (!ParseSize(argv[++i], &options->sourceWidth, &options->sourceHeight)) return false;
        } else if (arg == "--filtered-size") {
            if (!ParseSize(argv[++i], &options->filteredWidth, &options->filteredHeight)) {
                return false;
            }
        } else if (arg == "--max-size") {
            if (!ParseSize(argv[++i], &host.maxWidth, &host.maxHeight)) return false;
        } else if (arg == "--yes") {
            if (!ParseYes(argv[++i], &host.yes)) return false;
        } else if (arg == "--fp-state") {
            if (!ParseFloatState(argv[++i])) return false;
        } else if (arg == "--settings") {
            settings = argv[++i];
        } else if (arg == "--script") {
            if (!ReadScript(argv[++i], &options->actions)) return false;
            options->scripted = true;
        } else if (arg == "--actions") {
            SplitActions(argv[++i], ';', &options->actions);
            options->scripted = true;
        } else {
            return false;
        }
    }
    char fullPath[MAX_PATH];
    GetFullPathNameA(settings.c_str(), sizeof fullPath, fullPath, nullptr);
    host.settingsPath = fullPath;
    return options->modulePath != nullptr;
}

// The module's export and its start and end callbacks.
#pragma once

#include "plugin/host_interface.h"

#ifdef _WIN32
#define PANDREL_EXPORT extern "C" __declspec(dllexport)
#else
#define PANDREL_EXPORT extern "C"
#endif

PANDREL_EXPORT FilterTable* HOSTCALL GetFilterTable(void);

int HOSTCALL InitFilter(FilterTable* filter);
int HOSTCALL ExitFilter(FilterTable* filter);

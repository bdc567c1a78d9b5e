// Brings the plug-in's window into line with the view state: menu checks,
// title, and the stored pictures drawn through the window's device context.
#pragma once

#include <stdint.h>

#include "plugin/host_interface.h"

// point: null, or x then y, a position in filtered-picture pixels that
// becomes the pan centre when pictures are drawn.
void PaintView(FilterTable* filter, EditHandle editHandle, const int16_t* point);

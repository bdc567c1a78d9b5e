// Identifiers of the window's menu, named once here for the resource script
// and the code alike.
#pragma once

#define MENU_RESOURCE_ID 2000

// View commands: the view mode is the id minus ID_VIEW_COMPARE.
#define ID_VIEW_COMPARE 32771
#define ID_VIEW_SOURCE 32772
#define ID_VIEW_FILTERED 32773

// Magnification commands: the magnification is the id minus ID_ZOOM_FIT.
#define ID_ZOOM_FIT 32774
#define ID_ZOOM_X1 32775
#define ID_ZOOM_X2 32776
#define ID_ZOOM_X3 32777
#define ID_ZOOM_X4 32778
#define ID_ZOOM_X5 32779
#define ID_ZOOM_X6 32780
#define ID_ZOOM_X7 32781
#define ID_ZOOM_X8 32782
#define ID_ZOOM_X9 32783
#define ID_ZOOM_X10 32784

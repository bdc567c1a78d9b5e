// What the window shows: mode, magnification, pan centre and mouse state.
#pragma once

#include <stdint.h>

enum ViewMode : int32_t { screenCompare = 0, screenSource = 1, screenFiltered = 2 };

constexpr int32_t maxMulti = 10;

struct ViewState {
    int32_t screen;             // ViewMode; clamped at every paint
    int32_t multi;              // 0 fits whole, 1..maxMulti magnifies
    float centerX;              // pan centre in filtered-picture pixels
    float centerY;              // counted from the top
    int32_t dragging;           // 1 while a left-button drag pans
    int16_t lastMouseX;         // client position of the last applied drag step
    int16_t lastMouseY;
    float dragScaleX;           // picture pixels per filtered pixel of the dragged pane
    float dragScaleY;
    int32_t mainMouseDown;      // 1 while a button is held over the host's preview
    int32_t lastPaintedScreen;  // screen at the last paint that drew pictures
};

constexpr ViewState viewStateAtLoad = {screenCompare, 0, 0.0f, 0.0f, 0, 0, 0, 0.0f, 0.0f, 0, -1};

extern ViewState viewState;

extern const char screenSettingKey[];
extern const char multiSettingKey[];

#include "plugin/view_state.h"

ViewState viewState = viewStateAtLoad;

const char screenSettingKey[] = "Screen";
const char multiSettingKey[] = "Multi";

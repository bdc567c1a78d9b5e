// Identifiers of the window's menu resource, shared by the code and the
// resource script.
#pragma once

#define menuResourceId 2000

#define commandCompare 32771
#define commandFiltered 32773
#define commandFit 32774
#define commandZoom10 32784

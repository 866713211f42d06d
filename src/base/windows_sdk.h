// The Windows SDK without what clashes with standard C++ (the min/max macros) or with the
// project's names (GDI's GetObject), or is not used.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef NOGDI
#define NOGDI
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

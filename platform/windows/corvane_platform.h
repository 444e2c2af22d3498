// The real platform: Windows' own headers for the window manager, the
// graphics interface, the process services and DirectDraw.
#pragma once

#include <windows.h>

#include <ddraw.h>

static_assert(sizeof(void*) != 4 || sizeof(DDSURFACEDESC) == 108,
              "DDSURFACEDESC must be the 108-byte record of 32-bit Windows");

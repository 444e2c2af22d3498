// The real platform: Windows' own headers for the window manager, the
// graphics interface, the process services and DirectDraw.
#pragma once

// ddraw.h expects windows.h before it.
// clang-format off
#include <windows.h>
#include <ddraw.h>
// clang-format on

static_assert(sizeof(void*) != 4 || sizeof(DDSURFACEDESC) == 108,
              "DDSURFACEDESC must be the 108-byte record of 32-bit Windows");

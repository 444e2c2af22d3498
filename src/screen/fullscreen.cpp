#include <cstdio>

#include "Corvane.h"

void initFullScreen() {
  DisplayState& state = displayState;

  if (DirectDrawCreate(nullptr, &state.directDraw, nullptr) != DD_OK) {
    fatalError(157, "Couldn't init DirectDraw");
  }
  if (state.directDraw->SetCooperativeLevel(state.targetWindow,
                                            DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK) {
    fatalError(160, "Couldn't set DirectDraw cooperative level");
  }
  for (;;) {
    const std::uint32_t depth = DisplayState::depthPreference[state.depthCursor];
    if (depth == 0) {
      char message[512];
      std::snprintf(message, sizeof message, "Couldn't set display mode %ux%u",
                    static_cast<unsigned>(state.modeWidth),
                    static_cast<unsigned>(state.modeHeight));
      fatalError(174, message);
    }
    if (state.directDraw->SetDisplayMode(state.modeWidth, state.modeHeight, depth) == DD_OK) {
      break;
    }
    ++state.depthCursor;
  }

  state.surfaceDesc.dwSize = sizeof(DDSURFACEDESC);
  state.surfaceDesc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  state.surfaceDesc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  state.surfaceDesc.dwBackBufferCount = 1;
  if (state.directDraw->CreateSurface(&state.surfaceDesc, &state.primarySurface, nullptr) !=
      DD_OK) {
    fatalError(183, "Couldn't create primary surface");
  }
  state.backBufferCaps.dwCaps = DDSCAPS_BACKBUFFER;
  if (state.primarySurface->GetAttachedSurface(&state.backBufferCaps, &state.backBuffer) != DD_OK) {
    fatalError(190, "Couldn't attach to primary surface");
  }

  // Clear the back buffer, flip, and clear the other one: both end black.
  for (int pass = 0; pass < 2; ++pass) {
    lockBackBuffer();
    clearLockedBuffer();
    displayState.drawnArea[displayState.backBufferIndex] = DrawnArea{true, 0, 0, 0, 0};
    presentFrame();
  }
}

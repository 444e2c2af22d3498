#include <cstring>

#include "Corvane.h"

namespace {

// Pause between restores while the flip chain stays lost (while another
// program holds the display), so that waiting costs next to no processor time.
constexpr DWORD lostSurfacePauseMs = 10;

// Restore answers that mean the display is still held by someone else (a
// mode of another program's, its exclusive mode, our window inactive):
// wait and try again. Any other failure will not go away by waiting.
bool displayHeldElsewhere(HRESULT restoreResult) {
  return restoreResult == DDERR_WRONGMODE || restoreResult == DDERR_SURFACELOST ||
         restoreResult == DDERR_NOEXCLUSIVEMODE || restoreResult == DDERR_EXCLUSIVEMODEALREADYSET;
}

void forgetDrawnAreas() {
  for (DrawnArea& area : displayState.drawnArea) {
    area.known = false;
  }
}

}  // namespace

void lockBackBuffer() {
  DisplayState& state = displayState;
  state.surfaceDesc.dwSize = sizeof(DDSURFACEDESC);
  state.surfaceDesc.dwFlags = DDSD_PITCH;
  HRESULT result = state.backBuffer->Lock(nullptr, &state.surfaceDesc, DDLOCK_WAIT, nullptr);
  bool restoring = false;
  while (result != DD_OK) {
    if (result != DDERR_SURFACELOST) {
      fatalError(565, "Couldn't lock surface");
    }
    if (restoring) {
      Sleep(lostSurfacePauseMs);
    }
    // The back buffer was created implicitly with the flip chain: DirectDraw
    // refuses to restore it alone, and restores it with the primary surface.
    const HRESULT restored = state.primarySurface->Restore();
    if (restored != DD_OK && !displayHeldElsewhere(restored)) {
      fatalError(565, "Couldn't lock surface");
    }
    // Restored memory holds garbage.
    forgetDrawnAreas();
    restoring = true;
    result = state.backBuffer->Lock(nullptr, &state.surfaceDesc, DDLOCK_WAIT, nullptr);
  }
  state.lockedPixels = static_cast<std::uint8_t*>(state.surfaceDesc.lpSurface);
  state.lockedPitch = state.surfaceDesc.lPitch;
}

void clearLockedBuffer() {
  const DisplayState& state = displayState;
  const std::size_t bytesPerPixel = DisplayState::depthPreference[state.depthCursor] / 8;
  const std::size_t rowBytes = std::size_t{state.surfaceDesc.dwWidth} * bytesPerPixel;
  for (DWORD row = 0; row < state.surfaceDesc.dwHeight; ++row) {
    std::memset(state.lockedPixels + static_cast<std::ptrdiff_t>(row) * state.lockedPitch, 0,
                rowBytes);
  }
}

void presentFrame() {
  DisplayState& state = displayState;
  state.backBuffer->Unlock(state.lockedPixels);
  if (state.primarySurface->Flip(nullptr, DDFLIP_WAIT) == DD_OK) {
    state.backBufferIndex ^= 1;
  } else {
    // Whether the buffers were swapped is unknown: so is what each holds.
    forgetDrawnAreas();
  }
  state.lockedPixels = nullptr;
}

#include <cstring>

#include "Corvane.h"

namespace {
// Pause between restores while the back buffer stays lost (for example
// while another program holds the display).
constexpr DWORD lostSurfacePauseMs = 10;
}  // namespace

void lockBackBuffer() {
  DisplayState& state = displayState;
  state.surfaceDesc.dwSize = sizeof(DDSURFACEDESC);
  state.surfaceDesc.dwFlags = DDSD_PITCH;
  HRESULT result = state.backBuffer->Lock(nullptr, &state.surfaceDesc, DDLOCK_WAIT, nullptr);
  bool restored = false;
  while (result != DD_OK) {
    if (result != DDERR_SURFACELOST) {
      fatalError(565, "Couldn't lock surface");
    }
    if (restored) {
      Sleep(lostSurfacePauseMs);
    }
    // The back buffer was created implicitly with the flip chain: DirectDraw
    // refuses to restore it alone, and restores it with the primary surface.
    state.primarySurface->Restore();
    restored = true;
    result = state.backBuffer->Lock(nullptr, &state.surfaceDesc, DDLOCK_WAIT, nullptr);
  }
  state.lockedPixels = static_cast<std::uint8_t*>(state.surfaceDesc.lpSurface);
  state.lockedPitch = state.surfaceDesc.lPitch;
  if (restored) {
    state.buffersToClear = 2;
  }
  if (state.buffersToClear > 0) {
    --state.buffersToClear;
    clearLockedBuffer();
  }
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
  state.primarySurface->Flip(nullptr, DDFLIP_WAIT);
  state.lockedPixels = nullptr;
}

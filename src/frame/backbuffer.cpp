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
    state.backBuffer->Restore();
    restored = true;
    result = state.backBuffer->Lock(nullptr, &state.surfaceDesc, DDLOCK_WAIT, nullptr);
  }
  state.lockedPixels = static_cast<std::uint8_t*>(state.surfaceDesc.lpSurface);
  state.lockedPitch = state.surfaceDesc.lPitch;
}

void presentFrame() {
  DisplayState& state = displayState;
  state.backBuffer->Unlock(state.lockedPixels);
  state.primarySurface->Flip(nullptr, DDFLIP_WAIT);
  state.lockedPixels = nullptr;
}

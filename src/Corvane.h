// The library-wide display state and the internal operations that share it.
#pragma once

#include <corvane_platform.h>

#include <cstddef>
#include <cstdint>

// A rectangle of the screen, in pixels; `known` false when a buffer's
// content outside black is not known.
struct DrawnArea {
  bool known;
  std::uint32_t left, top, width, height;
};

struct DisplayState {
  // Colour depths tried at set-up, deepest first; 0 ends the list.
  static constexpr std::uint32_t depthPreference[4] = {32, 24, 16, 0};

  std::uint32_t modeWidth = 1024;
  std::uint32_t modeHeight = 768;
  // Index into depthPreference: the depth of the display mode once set up.
  std::size_t depthCursor = 0;
  LPDIRECTDRAW directDraw = nullptr;
  LPDIRECTDRAWSURFACE primarySurface = nullptr;
  LPDIRECTDRAWSURFACE backBuffer = nullptr;
  DDSURFACEDESC surfaceDesc{};
  DDSCAPS backBufferCaps{};
  // Memory of the back buffer while it is locked; null otherwise.
  std::uint8_t* lockedPixels = nullptr;
  std::int32_t lockedPitch = 0;
  // What each buffer of the flip chain holds outside black: the rectangle
  // last drawn into it, or unknown (after a restore, whose memory holds
  // garbage, or a failed flip, after which it is unsure which buffer is
  // the back one). backBufferIndex names the buffer that Lock hands out.
  DrawnArea drawnArea[2]{};
  int backBufferIndex = 0;
  HWND targetWindow = nullptr;
  char targetTitle[512]{};
  WNDPROC previousWindowProc = nullptr;
};

// The one instance. Its initial values are static data: no code runs at load.
extern DisplayState displayState;

// frame/
void lockBackBuffer();
void presentFrame();
// Sets every pixel of the locked back buffer to zero (black).
void clearLockedBuffer();
// Makes every pixel of the locked back buffer outside the centred frame of
// width x height black, clearing only what the buffer's last frame drew
// there (everything when that is unknown), and records the new frame's
// rectangle for the buffer.
void clearAroundFrame(std::int32_t width, std::int32_t height);
void blitFrame(const std::uint32_t* source, std::int32_t width, std::int32_t height,
               std::int32_t scansize);

// screen/
void chooseDisplayMode(std::int32_t requestedWidth, std::int32_t requestedHeight);
void initFullScreen();
// Finds the top-level window titled targetTitle and takes it over. Returns
// false, touching nothing, when no window bears that title.
bool takeOverWindow();
LRESULT CALLBACK screenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// report/
[[noreturn]] void fatalError(std::int32_t number, const char* message);

#include <cstring>

#include "Corvane.h"

namespace {

struct WindowSearch {
  const char* title;
  HWND found;
};

BOOL CALLBACK matchWindowTitle(HWND window, LPARAM param) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
  char title[512] = {};
  GetWindowTextA(window, title, sizeof title);
  if (std::strcmp(title, search->title) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool takeOverWindow() {
  DisplayState& state = displayState;
  WindowSearch search{state.targetTitle, nullptr};
  EnumWindows(matchWindowTitle, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    return false;
  }
  const HWND window = search.found;
  state.targetWindow = window;

  SetWindowTextA(window, "Found Window!");
  SetFocus(window);
  SetCursor(nullptr);
  ShowCursor(FALSE);
  const HGDIOBJ blackBrush = GetStockObject(BLACK_BRUSH);
  SetFocus(window);
  SetWindowLongPtrA(window, GWL_STYLE, static_cast<LONG_PTR>(static_cast<DWORD>(WS_POPUP)));
  SetClassLongPtrA(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(blackBrush));
  const LONG_PTR previous =
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&screenWindowProc));
  state.previousWindowProc = reinterpret_cast<WNDPROC>(previous);
  return true;
}

LRESULT CALLBACK screenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    ValidateRect(window, nullptr);
    return 0;
  }
  // Until the installing call has returned, the previous procedure is unknown.
  const WNDPROC previous = displayState.previousWindowProc;
  if (previous == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return CallWindowProcA(previous, window, message, wParam, lParam);
}

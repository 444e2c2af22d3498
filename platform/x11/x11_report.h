// The X11 platform's report window, shared by MessageBoxA and the handler
// of a broken connection.
#pragma once

namespace x11 {

// Writes `text` to standard error and, when a display can be opened, shows
// it in a small window titled `caption` until it is clicked, a key is
// pressed in it or it is closed.
void showReport(const char* text, const char* caption);

}  // namespace x11

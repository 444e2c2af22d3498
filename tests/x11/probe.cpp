// Asks the X server what the tests cannot ask through AWT:
//   corvane_x11_probe cursor   prints "hidden" when the cursor shown now has
//                              no visible pixel, "visible" otherwise.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "cursor") != 0) {
    std::fprintf(stderr, "usage: %s cursor\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "no display\n");
    return 2;
  }
  XFixesCursorImage* image = XFixesGetCursorImage(display);
  if (image == nullptr) {
    std::fprintf(stderr, "no cursor image\n");
    return 2;
  }
  bool visible = false;
  for (unsigned long i = 0; i < static_cast<unsigned long>(image->width) * image->height; ++i) {
    visible = visible || (image->pixels[i] >> 24) != 0;
  }
  std::printf("%s\n", visible ? "visible" : "hidden");
  XFree(image);
  XCloseDisplay(display);
  return 0;
}

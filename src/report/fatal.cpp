#include <cstdio>

#include "Corvane.h"

void fatalError(std::int32_t number, const char* message) {
  char text[512];
  std::snprintf(text, sizeof text, "Error (%s line %d): %s\n", "Corvane", static_cast<int>(number),
                message);
  ShowCursor(TRUE);
  MessageBoxA(nullptr, text, "Corvane Native", MB_TASKMODAL | MB_ICONEXCLAMATION);
  ExitProcess(1);
}

#include "harness.h"

std::vector<UINT> messagesSeen;

LRESULT CALLBACK recordingWindowProc(HWND, UINT message, WPARAM, LPARAM) {
  messagesSeen.push_back(message);
  return 1000 + static_cast<LRESULT>(message);
}

std::string literal(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::string(".[]{}()\\*+?^$|").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string fatalReportCalls(int number, const std::string& message) {
  return "call: ShowCursor(1)\ncall: MessageBoxA(null, \"Error (Corvane line " +
         std::to_string(number) + "): " + message +
         "\\n\", \"Corvane Native\", 0x2030)\ncall: ExitProcess(1)\n";
}

// Shared fixture: a fresh simulated platform, a fresh display state and a
// fake JNI environment for every test.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Corvane.h"
#include "fake_jni.h"
#include "javah/Corvane.h"
#include "simulator.h"

// A window procedure that notes what reaches it and answers 1000 + message.
LRESULT CALLBACK recordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
extern std::vector<UINT> messagesSeen;

// Escapes text for a death test's (POSIX extended) regular expression.
std::string literal(const std::string& text);

// The calls a process in a death test makes from the failure on: the
// message box and the exit, echoed to standard error by the simulation.
std::string fatalReportCalls(int number, const std::string& message);

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    displayState = DisplayState{};
    messagesSeen.clear();
  }

  HWND addWindow(const std::string& title) { return sim::addWindow(title, recordingWindowProc); }

  void initScreen(jint width, jint height, const std::string& title) {
    Java_Corvane_initScreen(jni.env(), nullptr, width, height, jni.string(title));
  }

  // Sets up a screen at 640 x 480 on a window titled "Game" and clears the log.
  HWND setUpScreen(jint width = 640, jint height = 480) {
    const HWND window = addWindow("Game");
    initScreen(width, height, "Game");
    EXPECT_EQ(jni.pendingClass(), "");
    sim::clearCalls();
    return window;
  }

  void pixelsToScreen(jint width, jint height, jintArray pixels, jint offset, jint scansize) {
    Java_Corvane_pixelsToScreen(jni.env(), nullptr, 0, 0, width, height, pixels, offset, scansize);
  }

  std::vector<std::string> callsNamed(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& call : sim::calls()) {
      if (call.rfind(prefix, 0) == 0) found.push_back(call);
    }
    return found;
  }

  FakeJni jni;
};

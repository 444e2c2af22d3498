#include <gtest/gtest.h>

#include "Corvane.h"

namespace {

struct ModeCase {
  int requestedWidth, requestedHeight;
  unsigned width, height;
};

class ModeLadder : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeLadder, PicksTheFirstModeThatHoldsThePicture) {
  const ModeCase c = GetParam();
  displayState = DisplayState{};
  chooseDisplayMode(c.requestedWidth, c.requestedHeight);
  EXPECT_EQ(displayState.modeWidth, c.width);
  EXPECT_EQ(displayState.modeHeight, c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ModeLadder,
    ::testing::Values(
        ModeCase{320, 200, 320, 200}, ModeCase{0, 0, 320, 200}, ModeCase{-5, -5, 320, 200},
        ModeCase{320, 201, 320, 240}, ModeCase{320, 241, 320, 400}, ModeCase{320, 390, 320, 400},
        ModeCase{320, 401, 640, 480}, ModeCase{321, 390, 640, 400}, ModeCase{321, 200, 512, 384},
        ModeCase{500, 390, 640, 400}, ModeCase{512, 385, 640, 400}, ModeCase{640, 401, 640, 480},
        ModeCase{641, 100, 800, 600}, ModeCase{800, 600, 800, 600}, ModeCase{801, 100, 1024, 768},
        ModeCase{800, 601, 1024, 768}, ModeCase{-2147483647 - 1, 600, 800, 600}));

TEST(ModeChoice, ARequestThatFitsNoModeKeepsThePreviousChoice) {
  displayState = DisplayState{};
  chooseDisplayMode(512, 384);
  chooseDisplayMode(1280, 1024);
  EXPECT_EQ(displayState.modeWidth, 512u);
  EXPECT_EQ(displayState.modeHeight, 384u);
}

// Copied while the program loads, before any test changes the record.
const DisplayState atLoad = displayState;

TEST(DisplayStateRecord, StartsWithTheInitialValues) {
  const DisplayState& fresh = atLoad;
  EXPECT_EQ(fresh.modeWidth, 1024u);
  EXPECT_EQ(fresh.modeHeight, 768u);
  EXPECT_EQ(DisplayState::depthPreference[fresh.depthCursor], 32u);
  EXPECT_EQ(DisplayState::depthPreference[3], 0u);
  EXPECT_EQ(fresh.lockedPixels, nullptr);
  EXPECT_EQ(fresh.backBuffer, nullptr);
  EXPECT_EQ(fresh.targetWindow, nullptr);
  EXPECT_EQ(fresh.previousWindowProc, nullptr);
}

}  // namespace

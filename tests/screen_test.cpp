// initScreen: the title, the window takeover, the subclass procedure, the
// full-screen set-up and the flip chain, on the simulated platform.
#include <string>
#include <vector>

#include "harness.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class InitScreen : public LibraryTest {};

TEST_F(InitScreen, TakesOverTheWindowAndBuildsAClearedFlipChain) {
  addWindow("Other");
  const HWND game = addWindow("Game");
  addWindow("Later");

  initScreen(631, 479, "Game");

  EXPECT_EQ(jni.pendingClass(), "");
  EXPECT_THAT(
      sim::calls(),
      ElementsAre(
          "GetStringLength", "GetStringChars(isCopy=flag)", "ReleaseStringChars", "EnumWindows()",
          "GetWindowTextA(hwnd#1, 512)", "GetWindowTextA(hwnd#2, 512)",
          "SetWindowTextA(hwnd#2, \"Found Window!\")", "SetFocus(hwnd#2)", "SetCursor(null)",
          "ShowCursor(0)", "GetStockObject(4)", "SetFocus(hwnd#2)",
          "SetWindowLongPtrA(hwnd#2, GWL_STYLE, 0x80000000)",
          "SetClassLongPtrA(hwnd#2, GCLP_HBRBACKGROUND, stock#4)",
          "SetWindowLongPtrA(hwnd#2, GWLP_WNDPROC, procedure)", "DirectDrawCreate(null, out, null)",
          "SetCooperativeLevel(hwnd#2, 0x11)", "SetDisplayMode(640, 480, 32)",
          "CreateSurface(size=" + std::to_string(sizeof(DDSURFACEDESC)) +
              ", flags=0x21, caps=0x218, backBuffers=1, null)",
          "GetAttachedSurface(caps=0x4)",
          "Lock(null, size=" + std::to_string(sizeof(DDSURFACEDESC)) + ", flags=0x8, 0x1, null)",
          "Unlock(locked)", "Flip(null, 0x1)",
          "Lock(null, size=" + std::to_string(sizeof(DDSURFACEDESC)) + ", flags=0x8, 0x1, null)",
          "Unlock(locked)", "Flip(null, 0x1)"));
  EXPECT_EQ(sim::windowTitle(game), "Found Window!");
  EXPECT_EQ(sim::windowStyle(game), WS_POPUP);
  EXPECT_EQ(sim::classBackground(game), reinterpret_cast<LONG_PTR>(sim::stockObject(BLACK_BRUSH)));
  EXPECT_EQ(sim::windowProcedure(game), &screenWindowProc);
  EXPECT_EQ(displayState.previousWindowProc, &recordingWindowProc);
  EXPECT_EQ(sim::focusWindow(), game);
  EXPECT_EQ(sim::cursorShowCount(), -1);
  EXPECT_EQ(displayState.targetWindow, game);
  EXPECT_EQ(displayState.lockedPixels, nullptr);
  EXPECT_EQ(jni.outstandingPins(), 0);
}

TEST_F(InitScreen, ClearsBothBuffersToBlack) {
  addWindow("Game");
  initScreen(320, 200, "Game");
  const sim::Screen s = sim::screen();
  ASSERT_EQ(s.width, 320u);
  ASSERT_EQ(s.height, 200u);
  ASSERT_EQ(s.depth, 32u);
  for (const std::uint8_t* buffer : {s.front, s.back}) {
    for (DWORD y = 0; y < s.height; ++y) {
      const std::vector<std::uint8_t> row(buffer + std::ptrdiff_t(y) * s.pitch,
                                          buffer + std::ptrdiff_t(y) * s.pitch + s.width * 4);
      ASSERT_EQ(row, std::vector<std::uint8_t>(s.width * 4, 0)) << "row " << y;
    }
  }
  EXPECT_TRUE(sim::guardsIntact());
  EXPECT_EQ(sim::flipCount(), 2);
}

// Depth search: from 32 down, the first depth the display accepts.
struct DepthCase {
  std::vector<DWORD> accepted;
  std::vector<std::string> tried;
  std::uint32_t depth;
};

class DepthSearch : public LibraryTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(DepthSearch, SettlesOnTheDeepestAcceptedDepth) {
  const DepthCase c = GetParam();
  sim::acceptDepths(c.accepted);
  addWindow("Game");
  initScreen(640, 480, "Game");
  EXPECT_THAT(callsNamed("SetDisplayMode"), ElementsAreArray(c.tried));
  EXPECT_EQ(DisplayState::depthPreference[displayState.depthCursor], c.depth);
  EXPECT_EQ(sim::screen().depth, c.depth);
  EXPECT_TRUE(sim::guardsIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Displays, DepthSearch,
    ::testing::Values(
        DepthCase{{32, 24, 16}, {"SetDisplayMode(640, 480, 32)"}, 32},
        DepthCase{{24, 16}, {"SetDisplayMode(640, 480, 32)", "SetDisplayMode(640, 480, 24)"}, 24},
        DepthCase{{16},
                  {"SetDisplayMode(640, 480, 32)", "SetDisplayMode(640, 480, 24)",
                   "SetDisplayMode(640, 480, 16)"},
                  16}));

// Every failing set-up step ends the process with its report.
struct SetupFailure {
  const char* failingCall;
  int number;
  const char* message;
};

class SetupFailures : public LibraryTest, public ::testing::WithParamInterface<SetupFailure> {};

TEST_P(SetupFailures, ShowTheReportAndExitWithCodeOne) {
  const SetupFailure c = GetParam();
  addWindow("Game");
  sim::failCall(c.failingCall, DDERR_GENERIC);
  EXPECT_EXIT(
      {
        sim::echoCalls(true);
        initScreen(800, 600, "Game");
      },
      ::testing::ExitedWithCode(1), literal(fatalReportCalls(c.number, c.message)) + "$");
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SetupFailures,
    ::testing::Values(SetupFailure{"DirectDrawCreate", 157, "Couldn't init DirectDraw"},
                      SetupFailure{"SetCooperativeLevel", 160,
                                   "Couldn't set DirectDraw cooperative level"},
                      SetupFailure{"SetDisplayMode", 174, "Couldn't set display mode 800x600"},
                      SetupFailure{"CreateSurface", 183, "Couldn't create primary surface"},
                      SetupFailure{"GetAttachedSurface", 190, "Couldn't attach to primary surface"},
                      SetupFailure{"Lock", 565, "Couldn't lock surface"}),
    [](const auto& testInfo) { return std::string(testInfo.param.failingCall); });

TEST_F(InitScreen, ADisplayRefusingEveryDepthReportsTheModeAfterTryingAllThree) {
  sim::acceptDepths({});
  addWindow("Game");
  EXPECT_EXIT(
      {
        sim::echoCalls(true);
        initScreen(631, 479, "Game");
      },
      ::testing::ExitedWithCode(1),
      literal("call: SetDisplayMode(640, 480, 32)\ncall: SetDisplayMode(640, 480, 24)\n"
              "call: SetDisplayMode(640, 480, 16)\n" +
              fatalReportCalls(174, "Couldn't set display mode 640x480")) +
          "$");
}

TEST_F(InitScreen, ARequestBeyondTheLadderUsesTheInitialMode) {
  addWindow("Game");
  initScreen(1000, 700, "Game");
  EXPECT_THAT(callsNamed("SetDisplayMode"), ElementsAre("SetDisplayMode(1024, 768, 32)"));
}

// Titles are sought by the low byte of each UTF-16 code unit.
TEST_F(InitScreen, SeeksTheLowByteOfEachCharacter) {
  const HWND a = addWindow("A");
  Java_Corvane_initScreen(jni.env(), nullptr, 320, 200, jni.string(std::u16string(u"\u0141")));
  EXPECT_EQ(jni.pendingClass(), "");
  EXPECT_EQ(displayState.targetWindow, a);
}

TEST_F(InitScreen, AnEmptyTitleTakesTheFirstWindowWithoutATitle) {
  addWindow("Named");
  const HWND untitled = addWindow("");
  addWindow("");
  initScreen(320, 200, "");
  EXPECT_EQ(displayState.targetWindow, untitled);
}

TEST_F(InitScreen, OfTwoWindowsWithTheTitleTakesTheFirstEnumerated) {
  const HWND first = addWindow("Game");
  const HWND second = addWindow("Game");
  initScreen(320, 200, "Game");
  EXPECT_EQ(displayState.targetWindow, first);
  EXPECT_EQ(sim::windowTitle(second), "Game");
}

TEST_F(InitScreen, ComparesExactlyAndCaseSensitively) {
  addWindow("game");
  addWindow("Game ");
  const HWND exact = addWindow("Game");
  initScreen(320, 200, "Game");
  EXPECT_EQ(displayState.targetWindow, exact);
}

TEST_F(InitScreen, LongTitlesAreComparedByTheirFirst511Characters) {
  const std::string long600(600, 'x');
  // A window whose title is longer than 511 is read as its first 511...
  const HWND window = addWindow(long600);
  initScreen(320, 200, std::string(511, 'x'));
  EXPECT_EQ(jni.pendingClass(), "");
  EXPECT_EQ(displayState.targetWindow, window);
}

TEST_F(InitScreen, ASoughtTitleLongerThan511IsSoughtByItsFirst511) {
  const HWND window = addWindow(std::string(600, 'y'));
  initScreen(320, 200, std::string(600, 'y') + "tail");
  EXPECT_EQ(jni.pendingClass(), "");
  EXPECT_EQ(displayState.targetWindow, window);
  EXPECT_EQ(std::string(displayState.targetTitle), std::string(511, 'y'));
}

// The subclass procedure.
TEST_F(InitScreen, SwallowsPaintAndPassesEverythingElseOn) {
  const HWND game = setUpScreen();
  EXPECT_EQ(sim::sendMessage(game, WM_PAINT, 0, 0), 0);
  EXPECT_THAT(sim::calls(), ElementsAre("ValidateRect(hwnd#1, null)"));
  EXPECT_TRUE(messagesSeen.empty());

  sim::clearCalls();
  const UINT wmKeyDown = 0x0100;
  EXPECT_EQ(sim::sendMessage(game, wmKeyDown, 0x41, 7), 1000 + LRESULT{wmKeyDown});
  EXPECT_THAT(sim::calls(), ElementsAre("CallWindowProcA(hwnd#1, 0x100, 0x41)"));
  EXPECT_THAT(messagesSeen, ElementsAre(wmKeyDown));
}

TEST_F(InitScreen, AMessageArrivingWhileTheProcedureIsInstalledGoesToTheDefault) {
  addWindow("Game");
  const UINT wmSize = 0x0005;
  sim::sendDuringSubclass(wmSize);
  initScreen(320, 200, "Game");
  EXPECT_THAT(callsNamed("DefWindowProcA"), ElementsAre("DefWindowProcA(hwnd#1, 0x5, 0x0)"));
  EXPECT_TRUE(messagesSeen.empty());
}

// Caller mistakes become Java exceptions, and nothing is touched.
TEST_F(InitScreen, ANullTitleThrowsNullPointerException) {
  addWindow("Game");
  Java_Corvane_initScreen(jni.env(), nullptr, 640, 480, nullptr);
  EXPECT_EQ(jni.pendingClass(), "java/lang/NullPointerException");
  EXPECT_THAT(sim::calls(), ElementsAre("ThrowNew(java/lang/NullPointerException)"));
}

TEST_F(InitScreen, NoWindowWithTheTitleThrowsAndTouchesNothing) {
  const HWND other = addWindow("Other");
  initScreen(640, 480, "Gam\xE9");
  EXPECT_EQ(jni.pendingClass(), "java/lang/IllegalStateException");
  EXPECT_EQ(jni.pendingMessage(), "no top-level window is titled \"Gam\\xE9\"");
  EXPECT_EQ(sim::windowTitle(other), "Other");
  EXPECT_EQ(sim::windowProcedure(other), &recordingWindowProc);
  EXPECT_EQ(sim::cursorShowCount(), 0);
  EXPECT_TRUE(callsNamed("DirectDrawCreate").empty());
  EXPECT_TRUE(callsNamed("Set").empty());
  EXPECT_EQ(displayState.targetWindow, nullptr);

  // The caller may open the window and try again.
  jni.clearPending();
  const HWND game = addWindow("Gam\xE9");
  initScreen(640, 480, "Gam\xE9");
  EXPECT_EQ(jni.pendingClass(), "");
  EXPECT_EQ(displayState.targetWindow, game);
}

TEST_F(InitScreen, ASecondCallThrowsAndSubclassesNothingTwice) {
  const HWND game = setUpScreen();
  addWindow("Game");
  initScreen(640, 480, "Found Window!");
  EXPECT_EQ(jni.pendingClass(), "java/lang/IllegalStateException");
  EXPECT_THAT(sim::calls(), ElementsAre("ThrowNew(java/lang/IllegalStateException)"));
  EXPECT_EQ(displayState.previousWindowProc, &recordingWindowProc);
  EXPECT_EQ(sim::windowProcedure(game), &screenWindowProc);
  EXPECT_EQ(sim::directDrawObjects(), 1);
}

TEST_F(InitScreen, StringCharsYieldingNothingReturnsAtOnce) {
  addWindow("Game");
  jni.failStringChars = true;
  initScreen(640, 480, "Game");
  EXPECT_EQ(jni.pendingClass(), "java/lang/OutOfMemoryError");
  EXPECT_THAT(sim::calls(), ElementsAre("GetStringLength", "GetStringChars(isCopy=flag)"));
  EXPECT_EQ(displayState.targetWindow, nullptr);
}

}  // namespace

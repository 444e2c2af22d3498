// Misuse and faults: calls from several threads at once, a display that
// stays lost or never comes back, and margins left by frames of other sizes.
#include <time.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace {

using ::testing::ElementsAre;

class Robustness : public LibraryTest {
 protected:
  void TearDown() override { sim::recordCalls(true); }
};

// --- overlapping calls ---------------------------------------------------------

TEST_F(Robustness, OfTwoOverlappingInitScreenCallsExactlyOneSetsUp) {
  const HWND window = addWindow("Game");
  // The calls log nothing (the log is not shared between threads) and both
  // linger in the window search, once they have read the title, where an
  // unserialised second call would have passed the "already set up" check.
  sim::recordCalls(false);
  sim::delayCall("GetWindowTextA", 30);
  FakeJni first, second;
  std::thread other(
      [&] { Java_Corvane_initScreen(second.env(), nullptr, 640, 480, second.string("Game")); });
  Java_Corvane_initScreen(first.env(), nullptr, 640, 480, first.string("Game"));
  other.join();

  const std::vector<std::string> outcomes{first.pendingClass(), second.pendingClass()};
  EXPECT_THAT(outcomes, ::testing::UnorderedElementsAre("", "java/lang/IllegalStateException"));
  EXPECT_EQ(sim::directDrawObjects(), 1);
  EXPECT_EQ(sim::windowProcedure(window), &screenWindowProc);
  // Recorded as its own previous procedure, the subclass would pass every
  // message to itself for ever.
  ASSERT_EQ(displayState.previousWindowProc, &recordingWindowProc);
  // A message reaches the window's own procedure once, and its result comes back.
  EXPECT_EQ(sim::sendMessage(window, 0x0100, 1, 2), 1000 + 0x0100);
  EXPECT_THAT(messagesSeen, ElementsAre(0x0100u));
}

TEST_F(Robustness, TwoThreadsPresentingAtOnceBothDrawEveryFrame) {
  setUpScreen(320, 200);
  sim::recordCalls(false);
  sim::delayCall("Lock", 1);  // each call lingers while the other is under way
  const int flipsBefore = sim::flipCount();
  constexpr int framesEach = 300;
  std::atomic<int> failures{0};
  auto present = [&](jint colour) {
    FakeJni own;
    const jintArray frame = own.array(std::vector<jint>(16 * 8, colour));
    for (int i = 0; i < framesEach; ++i) {
      Java_Corvane_pixelsToScreen(own.env(), nullptr, 0, 0, 16, 8, frame, 0, 16);
      if (!own.pendingClass().empty()) ++failures;
    }
  };
  std::thread other(present, static_cast<jint>(0xFF00FF00u));
  present(static_cast<jint>(0xFFFF0000u));
  other.join();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(sim::flipCount() - flipsBefore, 2 * framesEach);
  EXPECT_FALSE(sim::backBufferLocked());
  EXPECT_EQ(displayState.lockedPixels, nullptr);
  // The front buffer shows one whole frame, not a mixture of two.
  const std::uint32_t shown = sim::pixel(152, 96);
  EXPECT_TRUE(shown == 0xFF00FF00u || shown == 0xFFFF0000u) << std::hex << shown;
  for (int y = 96; y < 104; ++y) {
    for (int x = 152; x < 168; ++x) ASSERT_EQ(sim::pixel(x, y), shown) << x << "," << y;
  }
  EXPECT_TRUE(sim::guardsIntact());
}

// A window procedure that presents a frame whenever its title changes, on
// the thread that changes it.
FakeJni* drawingJni = nullptr;
std::string drawingOutcome;
LRESULT CALLBACK drawsOnSetText(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_SETTEXT) {
    const jintArray frame = drawingJni->array({1});
    Java_Corvane_pixelsToScreen(drawingJni->env(), nullptr, 0, 0, 1, 1, frame, 0, 1);
    drawingOutcome = drawingJni->pendingClass();
    drawingJni->clearPending();
  }
  return 0;
}

TEST_F(Robustness, ACallFromInsideSetUpOnTheSameThreadIsRefusedNotWaitedFor) {
  const HWND window = sim::addWindow("Game", drawsOnSetText);
  sim::deliverSetText(true);
  FakeJni inner;
  drawingJni = &inner;
  initScreen(320, 200, "Game");
  drawingJni = nullptr;

  EXPECT_EQ(drawingOutcome, "java/lang/IllegalStateException");
  EXPECT_EQ(jni.pendingClass(), "");
  EXPECT_EQ(sim::windowTitle(window), "Found Window!");
  // The thread is not left marked as inside: the next call draws.
  pixelsToScreen(1, 1, jni.array({0x123456}), 0, 1);
  EXPECT_EQ(jni.pendingClass(), "");
  EXPECT_EQ(sim::pixel(159, 99), 0x123456u);
}

// --- a lost display ------------------------------------------------------------

TEST_F(Robustness, RestoreAnswersMeaningTheDisplayIsHeldElsewhereAreWaitedOut) {
  for (const HRESULT answer :
       {DDERR_WRONGMODE, DDERR_SURFACELOST, DDERR_NOEXCLUSIVEMODE, DDERR_EXCLUSIVEMODEALREADYSET}) {
    SetUp();
    setUpScreen(320, 200);
    sim::loseSurfaces(3, answer);
    pixelsToScreen(1, 1, jni.array({0x123456}), 0, 1);
    EXPECT_EQ(callsNamed("Restore").size(), 4u) << std::hex << answer;
    EXPECT_THAT(callsNamed("Sleep"), ElementsAre("Sleep(10)", "Sleep(10)", "Sleep(10)"));
    EXPECT_EQ(sim::pixel(159, 99), 0x123456u);
  }
}

TEST_F(Robustness, ARestoreThatCannotSucceedEndsWithReport565) {
  for (const HRESULT answer : {DDERR_GENERIC, DDERR_OUTOFMEMORY, DDERR_INVALIDPARAMS}) {
    SetUp();
    setUpScreen(320, 200);
    sim::loseSurfaces(0);
    sim::failCall("Restore", answer);
    const jintArray frame = jni.array({1});
    EXPECT_EXIT(
        {
          sim::echoCalls(true);
          pixelsToScreen(1, 1, frame, 0, 1);
        },
        ::testing::ExitedWithCode(1),
        "^" +
            literal("call: Lock(null, size=" + std::to_string(sizeof(DDSURFACEDESC)) +
                    ", flags=0x8, 0x1, null)\ncall: Restore(primary)\n" +
                    fatalReportCalls(565, "Couldn't lock surface")) +
            "$")
        << std::hex << answer;
  }
}

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double wallSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

TEST_F(Robustness, WaitingForTheDisplayUsesAlmostNoProcessorTime) {
  setUpScreen(320, 200);
  sim::recordCalls(false);
  sim::sleepForReal(true);
  sim::loseSurfaces(40);  // about 0.4 s held elsewhere
  const double wallStart = wallSeconds();
  const double cpuStart = processSeconds();
  pixelsToScreen(1, 1, jni.array({0x123456}), 0, 1);
  const double cpu = processSeconds() - cpuStart;
  const double wall = wallSeconds() - wallStart;

  EXPECT_EQ(sim::pixel(159, 99), 0x123456u);
  EXPECT_GE(wall, 0.39);
  // A loop without the pause keeps a core busy the whole time.
  EXPECT_LT(cpu, 0.05 * wall) << "cpu " << cpu << " s of " << wall << " s";
}

// --- margins ---------------------------------------------------------------------

struct Frame {
  jint width, height;
  std::uint32_t colour;
};

// Every pixel of a buffer: the frame's colour inside its centred rectangle,
// black everywhere else.
::testing::AssertionResult showsOnly(const Frame& frame, std::uint32_t depth, bool back) {
  const sim::Screen s = sim::screen();
  const std::uint32_t left = (s.width - std::uint32_t(frame.width)) / 2;
  const std::uint32_t top = (s.height - std::uint32_t(frame.height)) / 2;
  const std::uint32_t inside = depth == 32   ? frame.colour
                               : depth == 24 ? frame.colour & 0xFFFFFF
                                             : 0xFFFF;  // white or black only
  for (std::uint32_t y = 0; y < s.height; ++y) {
    for (std::uint32_t x = 0; x < s.width; ++x) {
      const bool in = x >= left && x < left + std::uint32_t(frame.width) && y >= top &&
                      y < top + std::uint32_t(frame.height);
      const std::uint32_t expected = in ? inside : 0;
      const std::uint32_t got = sim::pixel(int(x), int(y), back);
      if (got != expected) {
        return ::testing::AssertionFailure()
               << (back ? "back" : "front") << " buffer at " << x << "," << y << " holds 0x"
               << std::hex << got << ", expected 0x" << expected;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(Robustness, OnlyTheCurrentFrameIsVisibleWhateverSizesCameBefore) {
  const std::vector<Frame> frames = {
      {320, 200, 0xFFFFFFFF}, {2, 2, 0xFFFFFFFF},   {2, 2, 0xFFFFFFFF},     {317, 199, 0xFFFFFFFF},
      {1, 200, 0xFFFFFFFF},   {320, 1, 0xFFFFFFFF}, {0, 50, 0xFFFFFFFF},    {160, 100, 0xFFFFFFFF},
      {161, 7, 0xFFFFFFFF},   {7, 161, 0xFFFFFFFF}, {320, 200, 0xFFFFFFFF}, {3, 3, 0xFFFFFFFF}};
  for (const DWORD depth : {32u, 24u, 16u}) {
    SetUp();
    sim::acceptDepths({depth});
    setUpScreen(320, 200);
    const Frame* previous = nullptr;
    for (const Frame& frame : frames) {
      const std::vector<jint> pixels(std::size_t(frame.width) * std::size_t(frame.height),
                                     static_cast<jint>(frame.colour));
      pixelsToScreen(frame.width, frame.height, jni.array(pixels), 0, frame.width);
      ASSERT_TRUE(showsOnly(frame, depth, false))
          << depth << " bpp, " << frame.width << "x" << frame.height;
      if (previous != nullptr) {
        ASSERT_TRUE(showsOnly(*previous, depth, true))
            << depth << " bpp, after " << frame.width << "x" << frame.height;
      }
      previous = &frame;
    }
    EXPECT_TRUE(sim::guardsIntact());
  }
}

TEST_F(Robustness, MarginsAreBlackInBothBuffersAfterARestoreAndAFailedFlip) {
  setUpScreen(320, 200);
  const Frame small{2, 2, 0xFFFFFFFF};
  const jintArray fullPixels = jni.array(std::vector<jint>(320 * 200, -1));
  const jintArray smallPixels = jni.array(std::vector<jint>(4, -1));
  pixelsToScreen(320, 200, fullPixels, 0, 320);
  pixelsToScreen(320, 200, fullPixels, 0, 320);
  // The chain is lost and restored (its memory garbage), and the next flip fails.
  sim::loseSurfaces(0);
  sim::failCall("Flip", DDERR_GENERIC);
  pixelsToScreen(2, 2, smallPixels, 0, 2);
  sim::failCall("Flip", DD_OK);
  pixelsToScreen(2, 2, smallPixels, 0, 2);
  pixelsToScreen(2, 2, smallPixels, 0, 2);
  EXPECT_TRUE(showsOnly(small, 32, false));
  EXPECT_TRUE(showsOnly(small, 32, true));
}

TEST_F(Robustness, MarginsAreBlackInBothBuffersAfterAFlipThatSwappedButFailed) {
  setUpScreen(320, 200);
  const jintArray fullPixels = jni.array(std::vector<jint>(320 * 200, -1));
  const jintArray smallPixels = jni.array(std::vector<jint>(4, -1));
  pixelsToScreen(320, 200, fullPixels, 0, 320);
  pixelsToScreen(320, 200, fullPixels, 0, 320);
  // The buffers are swapped, but the flip reports a failure.
  sim::failFlipAfterSwap(DDERR_SURFACELOST);
  pixelsToScreen(2, 2, smallPixels, 0, 2);
  sim::failFlipAfterSwap(DD_OK);
  pixelsToScreen(2, 2, smallPixels, 0, 2);
  pixelsToScreen(2, 2, smallPixels, 0, 2);
  EXPECT_TRUE(showsOnly(Frame{2, 2, 0xFFFFFFFF}, 32, false));
  EXPECT_TRUE(showsOnly(Frame{2, 2, 0xFFFFFFFF}, 32, true));
}

TEST_F(Robustness, HeightZeroOrLessLeavesTheBackBufferAsItWas) {
  setUpScreen(320, 200);
  const jintArray fullPixels = jni.array(std::vector<jint>(320 * 200, -1));
  pixelsToScreen(320, 200, fullPixels, 0, 320);
  pixelsToScreen(320, 200, fullPixels, 0, 320);
  pixelsToScreen(5, 0, jni.array({1, 2, 3, 4, 5}), 0, 5);
  // Nothing drawn and nothing cleared: the full white frame is shown again.
  EXPECT_TRUE(showsOnly(Frame{320, 200, 0xFFFFFFFF}, 32, false));
}

}  // namespace

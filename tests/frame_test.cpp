// pixelsToScreen: the lock, the pin, the blit, the release, the flip, the
// lost-surface retries and the argument checks, on the simulated platform.
#include <string>
#include <vector>

#include "harness.h"

namespace {

using ::testing::ElementsAre;

std::string lockCall() {
  return "Lock(null, size=" + std::to_string(sizeof(DDSURFACEDESC)) + ", flags=0x8, 0x1, null)";
}

class PixelsToScreen : public LibraryTest {
 protected:
  // A 4 x 2 frame at offset 1 with scansize 6, each pixel distinct.
  jintArray smallFrame() {
    std::vector<jint> elements(1 + 6 * 2, 0x7F7F7F7F);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x)
        elements[1 + y * 6 + x] = 0x01000000 * (y + 1) + 0x010101 * (x + 1);
    }
    return jni.array(elements);
  }
  void expectSmallFrameOnScreen(bool back = false) {
    // 640 x 480 screen, 4 x 2 frame: left margin 318, top margin 239.
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(sim::pixel(318 + x, 239 + y, back), 0x01000000u * (y + 1) + 0x010101u * (x + 1))
            << x << "," << y;
      }
    }
    EXPECT_EQ(sim::pixel(317, 239, back), 0u);
    EXPECT_EQ(sim::pixel(322, 239, back), 0u);
    EXPECT_EQ(sim::pixel(318, 238, back), 0u);
    EXPECT_EQ(sim::pixel(318, 241, back), 0u);
  }
};

TEST_F(PixelsToScreen, LocksPinsBlitsReleasesUnlocksAndFlipsInThatOrder) {
  setUpScreen();
  const jintArray frame = smallFrame();
  bool drawnBeforeRelease = false;
  jni.onRelease = [&] {
    drawnBeforeRelease = sim::pixel(318, 239, true) == 0x01010101u && sim::backBufferLocked();
  };

  pixelsToScreen(4, 2, frame, 1, 6);

  EXPECT_THAT(sim::calls(), ElementsAre(lockCall(), "GetPrimitiveArrayCritical(isCopy=null)",
                                        "ReleasePrimitiveArrayCritical(JNI_ABORT)",
                                        "Unlock(locked)", "Flip(null, 0x1)"));
  EXPECT_TRUE(drawnBeforeRelease);
  EXPECT_TRUE(jni.callsInCritical().empty()) << jni.callsInCritical().front();
  expectSmallFrameOnScreen();
  EXPECT_EQ(displayState.lockedPixels, nullptr);
  EXPECT_EQ(jni.outstandingPins(), 0);
  EXPECT_EQ(jni.pendingClass(), "");
  EXPECT_TRUE(sim::guardsIntact());
}

TEST_F(PixelsToScreen, FramesAtEveryDepthMatchTheDisplayFormat) {
  struct Case {
    std::vector<DWORD> accepted;
    std::uint32_t expected;
  };
  for (const Case& c : {Case{{32}, 0xFF123456u}, Case{{24}, 0x123456u}, Case{{16}, 0x11AAu}}) {
    SetUp();
    sim::acceptDepths(c.accepted);
    setUpScreen(320, 200);
    // Five pixels: one group of four and one single pixel.
    pixelsToScreen(5, 1, jni.array(std::vector<jint>(5, static_cast<jint>(0xFF123456u))), 0, 5);
    for (int x = 157; x < 162; ++x) {
      EXPECT_EQ(sim::pixel(x, 99), c.expected) << c.accepted[0] << " bpp, x " << x;
    }
    EXPECT_EQ(sim::pixel(156, 99), 0u);
    EXPECT_EQ(sim::pixel(162, 99), 0u);
    EXPECT_TRUE(sim::guardsIntact());
  }
}

TEST_F(PixelsToScreen, MarginsStayBlackInBothBuffers) {
  setUpScreen();
  const jintArray frame = smallFrame();
  pixelsToScreen(4, 2, frame, 1, 6);
  pixelsToScreen(4, 2, frame, 1, 6);
  expectSmallFrameOnScreen();
  expectSmallFrameOnScreen(true);
}

TEST_F(PixelsToScreen, ALostChainIsRestoredBeforeEveryNewAttemptPausingWhileItStaysLost) {
  setUpScreen();
  sim::loseSurfaces(2);  // the first two restores fail
  pixelsToScreen(4, 2, smallFrame(), 1, 6);
  EXPECT_THAT(
      sim::calls(),
      ElementsAre(lockCall(), "Restore(primary)", lockCall(), "Sleep(10)", "Restore(primary)",
                  lockCall(), "Sleep(10)", "Restore(primary)", lockCall(),
                  "GetPrimitiveArrayCritical(isCopy=null)",
                  "ReleasePrimitiveArrayCritical(JNI_ABORT)", "Unlock(locked)", "Flip(null, 0x1)"));
  expectSmallFrameOnScreen();
}

TEST_F(PixelsToScreen, ALostChainRestoredAtOnceNeedsNoPause) {
  setUpScreen();
  sim::loseSurfaces(0);
  pixelsToScreen(4, 2, smallFrame(), 1, 6);
  EXPECT_TRUE(callsNamed("Sleep").empty());
  EXPECT_THAT(callsNamed("Restore"), ElementsAre("Restore(primary)"));
  expectSmallFrameOnScreen();
}

TEST_F(PixelsToScreen, BothBuffersAreBlackAroundTheFrameAgainAfterARestore) {
  setUpScreen();
  const jintArray frame = smallFrame();
  sim::loseSurfaces(0);  // restored memory holds garbage
  pixelsToScreen(4, 2, frame, 1, 6);
  pixelsToScreen(4, 2, frame, 1, 6);
  expectSmallFrameOnScreen();
  expectSmallFrameOnScreen(true);
  const sim::Screen s = sim::screen();
  for (const std::uint8_t* buffer : {s.front, s.back}) {
    EXPECT_EQ(buffer[0], 0);  // top-left corner
    EXPECT_EQ(buffer[std::ptrdiff_t(s.height - 1) * s.pitch + 4 * (s.width - 1)], 0);
  }
  EXPECT_TRUE(sim::guardsIntact());
}

TEST_F(PixelsToScreen, ALockFailingOtherwiseEndsTheProcessBeforeThePin) {
  setUpScreen();
  sim::failCall("Lock", DDERR_GENERIC);
  const jintArray frame = smallFrame();
  EXPECT_EXIT(
      {
        sim::echoCalls(true);
        pixelsToScreen(4, 2, frame, 1, 6);
      },
      ::testing::ExitedWithCode(1),
      "^" + literal("call: " + lockCall() + "\n" + fatalReportCalls(565, "Couldn't lock surface")) +
          "$");
}

TEST_F(PixelsToScreen, FailedUnlockAndFlipStopNeitherThisCallNorTheNext) {
  setUpScreen();
  sim::failCall("Unlock", DDERR_GENERIC);
  sim::failCall("Flip", DDERR_GENERIC);
  const jintArray frame = smallFrame();
  pixelsToScreen(4, 2, frame, 1, 6);
  pixelsToScreen(4, 2, frame, 1, 6);
  EXPECT_EQ(callsNamed("Flip").size(), 2u);
  EXPECT_EQ(callsNamed("GetPrimitiveArrayCritical").size(), 2u);
  EXPECT_EQ(displayState.lockedPixels, nullptr);
  expectSmallFrameOnScreen(true);  // never flipped to the front
}

TEST_F(PixelsToScreen, HeightZeroOrLessStillLocksPinsReleasesAndFlips) {
  setUpScreen();
  for (jint height : {0, -3}) {
    sim::clearCalls();
    // An offset far outside the array is harmless when no row is read.
    pixelsToScreen(4, height, jni.array({1, 2}), 1000, 6);
    EXPECT_EQ(jni.pendingClass(), "");
    EXPECT_THAT(sim::calls(), ElementsAre(lockCall(), "GetPrimitiveArrayCritical(isCopy=null)",
                                          "ReleasePrimitiveArrayCritical(JNI_ABORT)",
                                          "Unlock(locked)", "Flip(null, 0x1)"));
  }
}

TEST_F(PixelsToScreen, BeforeInitScreenThrowsIllegalState) {
  addWindow("Game");
  pixelsToScreen(4, 2, smallFrame(), 1, 6);
  EXPECT_EQ(jni.pendingClass(), "java/lang/IllegalStateException");
  EXPECT_THAT(sim::calls(), ElementsAre("ThrowNew(java/lang/IllegalStateException)"));
}

TEST_F(PixelsToScreen, ANullArrayThrowsNullPointerException) {
  setUpScreen();
  pixelsToScreen(4, 2, nullptr, 0, 4);
  EXPECT_EQ(jni.pendingClass(), "java/lang/NullPointerException");
  EXPECT_THAT(sim::calls(), ElementsAre("ThrowNew(java/lang/NullPointerException)"));
}

struct BadArguments {
  const char* name;
  jint width, height, offset, scansize, length;
  const char* exception;
};

class PixelsToScreenArguments : public PixelsToScreen,
                                public ::testing::WithParamInterface<BadArguments> {};

TEST_P(PixelsToScreenArguments, AreRejectedBeforeAnythingIsLocked) {
  const BadArguments c = GetParam();
  setUpScreen();  // 640 x 480
  pixelsToScreen(c.width, c.height, jni.array(std::vector<jint>(std::size_t(c.length))), c.offset,
                 c.scansize);
  EXPECT_EQ(jni.pendingClass(), c.exception);
  EXPECT_THAT(sim::calls(), ElementsAre(std::string("ThrowNew(") + c.exception + ")"));
  EXPECT_EQ(sim::flipCount(), 2);
}

constexpr const char* iae = "java/lang/IllegalArgumentException";
constexpr const char* aioobe = "java/lang/ArrayIndexOutOfBoundsException";
constexpr jint intMax = 2147483647;

INSTANTIATE_TEST_SUITE_P(
    Cases, PixelsToScreenArguments,
    ::testing::Values(BadArguments{"NegativeWidth", -1, 2, 0, 4, 8, iae},
                      BadArguments{"WiderThanTheMode", 641, 1, 0, 641, 641, iae},
                      BadArguments{"TallerThanTheMode", 1, 481, 0, 1, 481, iae},
                      BadArguments{"NegativeOffset", 4, 2, -1, 4, 8, aioobe},
                      BadArguments{"LastRowPastTheEnd", 4, 2, 1, 4, 8, aioobe},
                      BadArguments{"FirstRowPastTheEnd", 4, 1, 5, 4, 8, aioobe},
                      BadArguments{"NegativeScansizeBelowTheStart", 4, 3, 4, -4, 8, aioobe},
                      BadArguments{"RowStartsOverflow32Bits", 4, 3, 0, intMax, 8, aioobe},
                      BadArguments{"OffsetPlusWidthOverflows32Bits", 4, 1, intMax - 1, 4, 8,
                                   aioobe}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(PixelsToScreen, RowsExactlyFillingTheArrayOrReadBottomUpAreAccepted) {
  setUpScreen();
  // The last row ends at the array's end.
  pixelsToScreen(4, 2, jni.array(std::vector<jint>(10, 0x00FFFFFF)), 0, 6);
  EXPECT_EQ(jni.pendingClass(), "");
  // A negative scansize walks the rows upwards from the offset.
  std::vector<jint> upward(8, 0);
  upward[4] = 0x00ABCDEF;  // first row
  upward[0] = 0x00123456;  // second row
  pixelsToScreen(1, 2, jni.array(upward), 4, -4);
  EXPECT_EQ(jni.pendingClass(), "");
  EXPECT_EQ(sim::pixel(319, 239) & 0xFFFFFF, 0xABCDEFu);
  EXPECT_EQ(sim::pixel(319, 240) & 0xFFFFFF, 0x123456u);
}

TEST_F(PixelsToScreen, APinYieldingNothingUnlocksWithoutFlipping) {
  setUpScreen();
  jni.failArrayElements = true;
  pixelsToScreen(4, 2, smallFrame(), 1, 6);
  EXPECT_EQ(jni.pendingClass(), "java/lang/OutOfMemoryError");
  EXPECT_THAT(sim::calls(),
              ElementsAre(lockCall(), "GetPrimitiveArrayCritical(isCopy=null)", "Unlock(locked)"));
  EXPECT_EQ(displayState.lockedPixels, nullptr);
  EXPECT_FALSE(sim::backBufferLocked());

  // The next frame goes through.
  jni.failArrayElements = false;
  jni.clearPending();
  pixelsToScreen(4, 2, smallFrame(), 1, 6);
  expectSmallFrameOnScreen();
}

}  // namespace

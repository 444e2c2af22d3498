package com.example.client;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Random;
import org.corvane.Screen;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;

/**
 * The org.corvane API used from a named package, on the simulated display at the depth named by
 * corvane.depth: the take-over's mistakes, then a take-over, frames, and the frames' mistakes.
 */
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class ScreenTest {
  static final String TITLE = "Client Window";
  static Screen screen;

  @Test
  @Order(1)
  void takeOverWithoutATitleThrowsNullPointer() {
    assertThrows(NullPointerException.class, () -> Screen.takeOver(null, 640, 480));
  }

  @Test
  @Order(2)
  void takeOverOfAMissingWindowThrowsIllegalStateNamingTheTitle() {
    IllegalStateException e =
        assertThrows(
            IllegalStateException.class, () -> Screen.takeOver("No Such Window", 640, 480));
    assertTrue(e.getMessage().contains("\"No Such Window\""), e.getMessage());
    assertEquals(0, Simulated.width(), "the display mode is not changed");
  }

  @Test
  @Order(3)
  void takeOverEntersTheSmallestModeThatHoldsTheFrame() {
    Simulated.acceptTestDepth();
    Simulated.addWindow("Some Other Window");
    long window = Simulated.addWindow(TITLE);
    screen = Screen.takeOver(TITLE, 631, 479);
    assertEquals("Found Window!", Simulated.windowTitle(window));
    assertEquals(640, Simulated.width());
    assertEquals(480, Simulated.height());
    assertEquals(Simulated.testDepth(), Simulated.depth());
    assertEquals(640, screen.width());
    assertEquals(480, screen.height());
  }

  /** Frames of several layouts: each is shown centred, converted, once. */
  @Test
  @Order(4)
  void framesAreShownCentredAndConverted() {
    // width, height, offset, scansize; a negative scansize stores the rows bottom up.
    int[][] layouts = {
      {631, 479, 7, 640}, {640, 480, 0, 640}, {4, 1, 0, 4}, {1, 1, 3, 1}, {100, 60, 99 * 59, -99}
    };
    Random random = new Random(Simulated.testDepth());
    for (int[] layout : layouts) {
      int width = layout[0];
      int height = layout[1];
      int offset = layout[2];
      int scansize = layout[3];
      int length = Math.max(offset + (height - 1) * scansize, offset) + width;
      int[] pixels = new int[length];
      for (int i = 0; i < pixels.length; i++) {
        pixels[i] = random.nextInt();
      }
      int flips = Simulated.flipCount();

      screen.show(width, height, pixels, offset, scansize);

      assertEquals(flips + 1, Simulated.flipCount());
      // The whole screen: the frame centred, black around it.
      int[] expected = new int[640 * 480];
      int left = (640 - width) / 2;
      int top = (480 - height) / 2;
      int depth = Simulated.depth();
      for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
          expected[(top + y) * 640 + left + x] =
              Simulated.stored(pixels[offset + y * scansize + x], depth);
        }
      }
      assertArrayEquals(
          expected,
          Simulated.readScreen(),
          width + "x" + height + " at " + offset + " by " + scansize);
      assertTrue(Simulated.guardsIntact());
    }
  }

  @Test
  @Order(5)
  void theShortFormShowsAFrameStoredFromTheArraysStart() {
    int[] pixels = new int[320 * 200];
    Random random = new Random(-Simulated.testDepth());
    for (int i = 0; i < pixels.length; i++) {
      pixels[i] = random.nextInt();
    }
    screen.show(320, 200, pixels);
    assertArrayEquals(Simulated.storedFrame(pixels), Simulated.frameOnScreen(320, 200));
  }

  @Test
  @Order(6)
  void badFramesThrowAndShowNothing() {
    int[] pixels = new int[16];
    int flips = Simulated.flipCount();
    assertThrows(NullPointerException.class, () -> screen.show(4, 4, null));
    assertThrows(IllegalArgumentException.class, () -> screen.show(-1, 4, pixels, 0, 4));
    assertThrows(IllegalArgumentException.class, () -> screen.show(641, 1, new int[641]));
    assertThrows(IllegalArgumentException.class, () -> screen.show(1, 481, new int[481]));
    assertThrows(ArrayIndexOutOfBoundsException.class, () -> screen.show(4, 4, pixels, 1, 4));
    assertThrows(ArrayIndexOutOfBoundsException.class, () -> screen.show(4, 5, pixels));
    assertThrows(ArrayIndexOutOfBoundsException.class, () -> screen.show(4, 1, pixels, -1, 4));
    assertThrows(
        ArrayIndexOutOfBoundsException.class,
        () -> screen.show(4, 3, pixels, 0, Integer.MAX_VALUE));
    assertEquals(flips, Simulated.flipCount());
  }

  @Test
  @Order(7)
  void threadsShowingAtOnceAreServedOneAfterTheOther() throws Exception {
    int frames = 200;
    final int[][] last = {new int[64 * 48], new int[64 * 48]};
    Thread[] threads = new Thread[2];
    final Throwable[] failures = new Throwable[2];
    int flips = Simulated.flipCount();
    for (int t = 0; t < 2; t++) {
      final int[] pixels = last[t];
      java.util.Arrays.fill(pixels, t == 0 ? 0xFF0000FF : 0xFFFF0000);
      final int index = t;
      threads[t] =
          new Thread(
              () -> {
                try {
                  for (int f = 0; f < frames; f++) {
                    screen.show(64, 48, pixels);
                  }
                } catch (Throwable e) {
                  failures[index] = e;
                }
              });
    }
    for (Thread thread : threads) {
      thread.start();
    }
    for (Thread thread : threads) {
      thread.join();
    }
    for (Throwable failure : failures) {
      if (failure != null) {
        throw new AssertionError(failure);
      }
    }
    assertEquals(flips + 2 * frames, Simulated.flipCount());
    int[] shown = Simulated.frameOnScreen(64, 48);
    int[] first = Simulated.storedFrame(last[0]);
    int[] second = Simulated.storedFrame(last[1]);
    assertTrue(
        java.util.Arrays.equals(first, shown) || java.util.Arrays.equals(second, shown),
        "the screen shows one thread's frame whole");
    assertTrue(Simulated.guardsIntact());
  }

  @Test
  @Order(8)
  void aSecondTakeOverThrowsIllegalState() {
    long another = Simulated.addWindow("Another Window");
    IllegalStateException e =
        assertThrows(
            IllegalStateException.class, () -> Screen.takeOver("Another Window", 320, 200));
    assertTrue(e.getMessage().contains("already"), e.getMessage());
    assertEquals("Another Window", Simulated.windowTitle(another));
    assertEquals(640, Simulated.width());
  }
}

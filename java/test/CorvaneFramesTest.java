import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Random;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Frames through a real JVM onto the simulated display, at the depth named by the system
 * property corvane.depth (32, 24 or 16). One set-up per JVM: each depth runs in its own.
 */
class CorvaneFramesTest {
  static final String TITLE = "JVM Frames Window";
  static int depth;
  static long window;

  @BeforeAll
  static void setUp() {
    depth = Integer.getInteger("corvane.depth", 32);
    // At 24 the display also refuses 32, so the depth search has to step down.
    SimulatedDisplay.acceptDepths(depth == 32 ? new int[] {32, 24, 16} : new int[] {depth, 16});
    SimulatedDisplay.addWindow("Some Other Window");
    window = SimulatedDisplay.addWindow(TITLE);
    Corvane.initScreen(631, 479, TITLE);
  }

  /** What the display holds for an ARGB pixel at the test's depth. */
  static int stored(int argb) {
    int r = (argb >> 16) & 0xFF;
    int g = (argb >> 8) & 0xFF;
    int b = argb & 0xFF;
    switch (depth) {
      case 32:
        return argb;
      case 24:
        return argb & 0xFFFFFF;
      default:
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    }
  }

  @Test
  void setUpTakesOverTheWindowAtTheSmallestFittingMode() {
    assertEquals("Found Window!", SimulatedDisplay.windowTitle(window));
    assertEquals(0x80000000L, SimulatedDisplay.windowStyle(window));
    assertEquals(640, SimulatedDisplay.width());
    assertEquals(480, SimulatedDisplay.height());
    assertEquals(depth, SimulatedDisplay.depth());
  }

  @Test
  void framesArriveCentredAndConvertedWithBlackMargins() {
    int width = 631;
    int height = 479;
    int scansize = 640;
    int offset = 7;
    Random random = new Random(depth);
    int[] pixels = new int[offset + scansize * height];
    for (int i = 0; i < pixels.length; i++) {
      pixels[i] = random.nextInt();
    }
    int flipsBefore = SimulatedDisplay.flipCount();

    Corvane.pixelsToScreen(0, 0, width, height, pixels, offset, scansize);

    assertEquals(flipsBefore + 1, SimulatedDisplay.flipCount());
    int[] screen = SimulatedDisplay.readScreen();
    int[] expected = new int[640 * 480];
    for (int y = 0; y < height; y++) {
      for (int x = 0; x < width; x++) {
        expected[y * 640 + 4 + x] = stored(pixels[offset + y * scansize + x]);
      }
    }
    assertArrayEquals(expected, screen);
    assertTrue(SimulatedDisplay.guardsIntact());
  }

  @Test
  void worksExampleColours() {
    int[] pixels = {0xFF123456, 0x00FF0000, 0x0000FF00, 0x000000FF};
    Corvane.pixelsToScreen(0, 0, 4, 1, pixels, 0, 4);
    int[] screen = SimulatedDisplay.readScreen();
    int row = 239 * 640 + 318;
    for (int i = 0; i < 4; i++) {
      assertEquals(stored(pixels[i]), screen[row + i], "pixel " + i);
    }
    assertEquals(0, screen[row - 1]);
    assertEquals(0, screen[row + 4]);
  }

  @Test
  void badArgumentsThrowAndShowNothing() {
    int[] pixels = new int[16];
    int flips = SimulatedDisplay.flipCount();
    assertThrows(
        NullPointerException.class, () -> Corvane.pixelsToScreen(0, 0, 4, 4, null, 0, 4));
    assertThrows(
        IllegalArgumentException.class, () -> Corvane.pixelsToScreen(0, 0, -1, 4, pixels, 0, 4));
    assertThrows(
        IllegalArgumentException.class,
        () -> Corvane.pixelsToScreen(0, 0, 641, 1, new int[641], 0, 641));
    assertThrows(
        IllegalArgumentException.class,
        () -> Corvane.pixelsToScreen(0, 0, 1, 481, new int[481], 0, 1));
    assertThrows(
        ArrayIndexOutOfBoundsException.class,
        () -> Corvane.pixelsToScreen(0, 0, 4, 4, pixels, 1, 4));
    assertThrows(
        ArrayIndexOutOfBoundsException.class,
        () -> Corvane.pixelsToScreen(0, 0, 4, 3, pixels, 0, Integer.MAX_VALUE));
    assertThrows(
        ArrayIndexOutOfBoundsException.class,
        () -> Corvane.pixelsToScreen(0, 0, 4, 1, pixels, -1, 4));
    assertEquals(flips, SimulatedDisplay.flipCount());
  }

  @Test
  void aSecondInitScreenThrows() {
    long another = SimulatedDisplay.addWindow("Another Window");
    IllegalStateException e =
        assertThrows(
            IllegalStateException.class, () -> Corvane.initScreen(320, 200, "Another Window"));
    assertTrue(e.getMessage().contains("already"), e.getMessage());
    assertEquals("Another Window", SimulatedDisplay.windowTitle(another));
    assertEquals(640, SimulatedDisplay.width());
  }
}

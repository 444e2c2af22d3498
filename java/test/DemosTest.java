import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import org.junit.jupiter.api.Test;

/**
 * The demos on the simulated display, a few frames each: the screen must hold the last frame the
 * demo rendered. One demo per JVM, as a process sets the screen up once.
 */
class DemosTest {
  /** The centred width x height part of the screen as opaque RGB. */
  static int[] shown(int width, int height) {
    int[] screen = SimulatedDisplay.readScreen();
    int screenWidth = SimulatedDisplay.width();
    int left = (screenWidth - width) / 2;
    int top = (SimulatedDisplay.height() - height) / 2;
    int[] frame = new int[width * height];
    for (int y = 0; y < height; y++) {
      for (int x = 0; x < width; x++) {
        frame[y * width + x] =
            SimulatedDisplay.toRgb(screen[(top + y) * screenWidth + left + x], 32);
      }
    }
    return frame;
  }

  static int[] opaque(int[] argb) {
    int[] rgb = new int[argb.length];
    for (int i = 0; i < argb.length; i++) {
      rgb[i] = 0xFF000000 | argb[i];
    }
    return rgb;
  }

  @Test
  void runCorvaneDemo() {
    SimulatedDemo.run("CorvaneDemo", 3);
    assertEquals(640, SimulatedDisplay.width());
    int[] last = new int[CorvaneDemo.WIDTH * CorvaneDemo.HEIGHT];
    CorvaneDemo.render(last, CorvaneDemo.WIDTH, CorvaneDemo.HEIGHT, 2);
    assertArrayEquals(opaque(last), shown(CorvaneDemo.WIDTH, CorvaneDemo.HEIGHT));
  }

  @Test
  void runCorvaneImageDemo() {
    SimulatedDemo.run("CorvaneImageDemo", 3);
    assertEquals(320, SimulatedDisplay.width());
    assertEquals(
        2 + 1 + 3, SimulatedDisplay.flipCount(), "two clearings, the frame at addConsumer, 3 more");
    int[] last = new int[CorvaneImageDemo.WIDTH * CorvaneImageDemo.HEIGHT];
    CorvaneImageDemo.render(last, CorvaneImageDemo.WIDTH, CorvaneImageDemo.HEIGHT, 2);
    assertArrayEquals(opaque(last), shown(CorvaneImageDemo.WIDTH, CorvaneImageDemo.HEIGHT));
  }
}

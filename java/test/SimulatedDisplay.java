import java.awt.image.BufferedImage;
import java.io.File;
import java.io.IOException;
import javax.imageio.ImageIO;

/**
 * The simulated desktop and display of the test build of the native library, for the JVM tests,
 * the benchmarks and the simulated demo run. Lets a program add a top-level window for {@link
 * Corvane#initScreen} to take over, choose which colour depths the display accepts, and read back
 * what is on the screen. Not part of the product jar: its natives exist only in the test build.
 */
public final class SimulatedDisplay {
  static {
    Corvane.ensureLoaded();
    // Java programs never read the simulation's call log: keep it from growing.
    recordCalls(false);
  }

  private static native void recordCalls(boolean on);

  private SimulatedDisplay() {}

  /** Adds a top-level window with this title; returns its handle. */
  public static native long addWindow(String title);

  public static native String windowTitle(long window);

  public static native long windowStyle(long window);

  /** The depths (32, 24, 16) that setting a display mode accepts from now on. */
  public static native void acceptDepths(int[] depths);

  /** The display mode in force: 0 until one is set. */
  public static native int width();

  public static native int height();

  public static native int depth();

  public static native int flipCount();

  /** True when nothing was written outside the surfaces' rows. */
  public static native boolean guardsIntact();

  /**
   * The front buffer, row by row, each value as stored at the display's depth: the 32-bit value,
   * B | G << 8 | R << 16 at depth 24, or the 5:6:5 value at depth 16.
   */
  public static native int[] readScreen();

  /**
   * The library's blit alone: the median time in nanoseconds of {@code runs} conversions of the
   * frame into the locked back buffer, without locking, pinning or flipping around each.
   */
  public static native long medianBlitNanos(
      int width, int height, int[] pixels, int offset, int scansize, int runs);

  /** A stored value at {@code depth} as opaque RGB, low bits widened by replication. */
  public static int toRgb(int value, int depth) {
    if (depth == 32 || depth == 24) {
      return 0xFF000000 | (value & 0xFFFFFF);
    }
    int r = (value >> 11) & 0x1F;
    int g = (value >> 5) & 0x3F;
    int b = value & 0x1F;
    return 0xFF000000 | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
  }

  /** Saves the front buffer as a PNG. */
  public static void savePng(File file) throws IOException {
    int w = width();
    int h = height();
    int d = depth();
    int[] values = readScreen();
    BufferedImage image = new BufferedImage(w, h, BufferedImage.TYPE_INT_RGB);
    for (int i = 0; i < values.length; i++) {
      image.setRGB(i % w, i / w, toRgb(values[i], d));
    }
    if (!ImageIO.write(image, "png", file)) {
      throw new IOException("no PNG writer");
    }
  }
}

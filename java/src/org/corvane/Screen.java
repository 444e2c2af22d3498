package org.corvane;

import java.lang.invoke.MethodHandle;
import java.lang.invoke.MethodHandles;
import java.lang.invoke.MethodType;
import java.lang.reflect.UndeclaredThrowableException;

/**
 * The full screen, driven through the native library CorvaneNative.
 *
 * <p>{@link #takeOver} finds a top-level window by its exact title, takes it over (retitles it
 * "Found Window!", hides the cursor, strips its frame, paints its background black) and switches
 * the display into full-screen mode; {@link #show} then shows one frame of ARGB pixels per call,
 * centred on the screen, with black around it. A process takes over one window, once: the screen
 * stays until the process ends.
 *
 * <pre>{@code
 * Screen screen = Screen.takeOver("My Game", 640, 480);
 * int[] pixels = new int[640 * 480];
 * while (running) {
 *   render(pixels);
 *   screen.show(640, 480, pixels);
 * }
 * }</pre>
 *
 * <p>Pixels are Java {@code int}s: blue in bits 0 to 7, green in bits 8 to 15, red in bits 16 to
 * 23; the alpha byte (bits 24 to 31) is not blended.
 *
 * <p>Calls from several threads are safe and serialised: a second caller waits until the first
 * returns. A call made from inside another on the same thread (a window procedure run during
 * set-up) throws {@link IllegalStateException}.
 */
public final class Screen {
  // The natives belong to Corvane, in the unnamed package, which code in a named package cannot
  // name. The handles are resolved once; held in static finals they cost nothing per call once
  // the JIT has compiled the caller.
  private static final MethodHandle INIT_SCREEN;
  private static final MethodHandle PIXELS_TO_SCREEN;

  static {
    try {
      Class<?> natives = Class.forName("Corvane", true, Screen.class.getClassLoader());
      MethodHandles.Lookup lookup = MethodHandles.publicLookup();
      INIT_SCREEN =
          lookup.findStatic(
              natives,
              "initScreen",
              MethodType.methodType(void.class, int.class, int.class, String.class));
      PIXELS_TO_SCREEN =
          lookup.findStatic(
              natives,
              "pixelsToScreen",
              MethodType.methodType(
                  void.class,
                  int.class,
                  int.class,
                  int.class,
                  int.class,
                  int[].class,
                  int.class,
                  int.class));
    } catch (ClassNotFoundException | NoSuchMethodException | IllegalAccessException e) {
      throw new LinkageError("the class Corvane of the Corvane jar is not reachable", e);
    }
  }

  // The display modes, smallest first: the first that holds a request is the one set.
  private static final int[][] MODES = {
    {320, 200}, {320, 240}, {320, 400}, {512, 384}, {640, 400}, {640, 480}, {800, 600}
  };
  private static final int[] LARGEST_MODE = {1024, 768};

  private final int width;
  private final int height;

  private Screen(int width, int height) {
    this.width = width;
    this.height = height;
  }

  /**
   * Takes over the top-level window titled {@code title} and enters full-screen mode at the
   * smallest display mode that holds {@code width} x {@code height}: one of 320x200, 320x240,
   * 320x400, 512x384, 640x400, 640x480 and 800x600, or 1024x768 when none of them does.
   *
   * <p>The title is compared as 8-bit text: the low byte of each of its first 511 characters.
   *
   * @param title the exact title of the window to take over
   * @param width the widest frame the program will show, in pixels
   * @param height the tallest frame the program will show, in pixels
   * @return the screen, for showing frames
   * @throws NullPointerException if {@code title} is null
   * @throws IllegalStateException if no window bears the title, or the screen is already set up
   */
  public static Screen takeOver(String title, int width, int height) {
    try {
      INIT_SCREEN.invokeExact(width, height, title);
    } catch (RuntimeException | Error e) {
      throw e;
    } catch (Throwable e) {
      throw new UndeclaredThrowableException(e);
    }
    int[] mode = modeFor(width, height);
    return new Screen(mode[0], mode[1]);
  }

  private static int[] modeFor(int width, int height) {
    for (int[] mode : MODES) {
      if (mode[0] >= width && mode[1] >= height) {
        return mode;
      }
    }
    return LARGEST_MODE;
  }

  /**
   * The width of the display mode in pixels: the widest frame {@link #show} accepts.
   *
   * @return the width of the display mode
   */
  public int width() {
    return width;
  }

  /**
   * The height of the display mode in pixels: the tallest frame {@link #show} accepts.
   *
   * @return the height of the display mode
   */
  public int height() {
    return height;
  }

  /**
   * Shows one frame of {@code width} x {@code height} pixels stored row after row from the start
   * of {@code pixels}, centred on the screen.
   *
   * @param width pixels per row
   * @param height rows; with none, nothing is drawn and the screen turns to its other buffer,
   *     which holds the frame before the last
   * @param pixels the frame's ARGB pixels
   * @throws NullPointerException if {@code pixels} is null
   * @throws IllegalArgumentException if {@code width} is negative or the frame is larger than
   *     the display mode
   * @throws ArrayIndexOutOfBoundsException if a row lies outside {@code pixels}
   */
  public void show(int width, int height, int[] pixels) {
    show(width, height, pixels, 0, width);
  }

  /**
   * Shows one frame: {@code height} rows of {@code width} ARGB pixels, row r starting at {@code
   * pixels[offset + r * scansize]}, centred on the screen. The array is read, never changed, and
   * not kept after the call.
   *
   * @param width pixels per row
   * @param height rows; with none, nothing is drawn and the screen turns to its other buffer,
   *     which holds the frame before the last
   * @param pixels the frame's ARGB pixels
   * @param offset the index in {@code pixels} of the frame's top-left pixel
   * @param scansize the distance in elements from the start of one row to the start of the next
   * @throws NullPointerException if {@code pixels} is null
   * @throws IllegalArgumentException if {@code width} is negative or the frame is larger than
   *     the display mode
   * @throws ArrayIndexOutOfBoundsException if a row lies outside {@code pixels}
   */
  public void show(int width, int height, int[] pixels, int offset, int scansize) {
    try {
      PIXELS_TO_SCREEN.invokeExact(0, 0, width, height, pixels, offset, scansize);
    } catch (RuntimeException | Error e) {
      throw e;
    } catch (Throwable e) {
      throw new UndeclaredThrowableException(e);
    }
  }
}

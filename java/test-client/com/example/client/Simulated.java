package com.example.client;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;

/**
 * The tests' simulated display, reached from this named package: its control class lives in the
 * unnamed package of the test class path, which named packages cannot import.
 */
final class Simulated {
  private static final Class<?> DISPLAY;

  static {
    try {
      DISPLAY = Class.forName("SimulatedDisplay");
    } catch (ClassNotFoundException e) {
      throw new AssertionError("SimulatedDisplay is not on the class path", e);
    }
  }

  private Simulated() {}

  private static Object call(String name, Class<?>[] types, Object... args) {
    try {
      Method method = DISPLAY.getMethod(name, types);
      return method.invoke(null, args);
    } catch (InvocationTargetException e) {
      Throwable cause = e.getCause();
      if (cause instanceof RuntimeException) {
        throw (RuntimeException) cause;
      }
      throw new AssertionError(cause);
    } catch (ReflectiveOperationException e) {
      throw new AssertionError(e);
    }
  }

  static long addWindow(String title) {
    return (Long) call("addWindow", new Class<?>[] {String.class}, title);
  }

  static String windowTitle(long window) {
    return (String) call("windowTitle", new Class<?>[] {long.class}, window);
  }

  static void acceptDepths(int... depths) {
    call("acceptDepths", new Class<?>[] {int[].class}, (Object) depths);
  }

  static int width() {
    return (Integer) call("width", new Class<?>[0]);
  }

  static int height() {
    return (Integer) call("height", new Class<?>[0]);
  }

  static int depth() {
    return (Integer) call("depth", new Class<?>[0]);
  }

  static int flipCount() {
    return (Integer) call("flipCount", new Class<?>[0]);
  }

  static boolean guardsIntact() {
    return (Boolean) call("guardsIntact", new Class<?>[0]);
  }

  static int[] readScreen() {
    return (int[]) call("readScreen", new Class<?>[0]);
  }

  /** The depth a test runs at: the system property corvane.depth (32, 24 or 16). */
  static int testDepth() {
    return Integer.getInteger("corvane.depth", 32);
  }

  /** Lets the display accept the test's depth (and 16), refusing 32 unless that is the depth. */
  static void acceptTestDepth() {
    int depth = testDepth();
    if (depth == 32) {
      acceptDepths(32, 24, 16);
    } else {
      acceptDepths(depth, 16);
    }
  }

  /** What the display stores for an ARGB pixel at {@code depth}. */
  static int stored(int argb, int depth) {
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

  /**
   * The part of the screen where a {@code width} x {@code height} frame lands (centred), row
   * after row, as ARGB pixels would be stored: compare with {@link #storedFrame}.
   */
  static int[] frameOnScreen(int width, int height) {
    int[] screen = readScreen();
    int screenWidth = width();
    int left = (screenWidth - width) / 2;
    int top = (height() - height) / 2;
    int[] frame = new int[width * height];
    for (int y = 0; y < height; y++) {
      System.arraycopy(screen, (top + y) * screenWidth + left, frame, y * width, width);
    }
    return frame;
  }

  /** The frame's ARGB pixels as the display stores them at the running depth. */
  static int[] storedFrame(int[] argb) {
    int depth = depth();
    int[] stored = new int[argb.length];
    for (int i = 0; i < argb.length; i++) {
      stored[i] = stored(argb[i], depth);
    }
    return stored;
  }
}

import java.awt.Frame;
import org.corvane.Screen;

/**
 * The demo: takes over an AWT frame titled "Corvane Demo", shows an animated picture with a frame
 * counter, and prints the frames per second it reached.
 *
 * <p>Usage: {@code java CorvaneDemo [frames] [seconds]}: after the last frame the picture stays on
 * the screen for {@code seconds} (default 0) before the program ends.
 */
public final class CorvaneDemo {
  static final String TITLE = "Corvane Demo";
  static final int WIDTH = 600;
  static final int HEIGHT = 440;

  private CorvaneDemo() {}

  public static void main(String[] args) throws Exception {
    int frames = args.length > 0 ? Integer.parseInt(args[0]) : 300;
    double hold = args.length > 1 ? Double.parseDouble(args[1]) : 0;
    Frame window = openWindow(TITLE);

    run(Screen.takeOver(TITLE, 640, 480), frames);

    holdAndExit(window, hold);
  }

  /** Keeps the last frame on the screen for {@code seconds}, then ends the program. */
  static void holdAndExit(Frame window, double seconds) throws InterruptedException {
    if (seconds > 0) {
      System.out.printf("showing the last frame for %.1f s%n", seconds);
      Thread.sleep((long) (seconds * 1000));
    }
    window.dispose();
    System.exit(0);
  }

  /** Shows {@code frames} frames and prints the frames per second. */
  static void run(Screen screen, int frames) {
    int[] pixels = new int[WIDTH * HEIGHT];
    long start = System.nanoTime();
    for (int f = 0; f < frames; f++) {
      render(pixels, WIDTH, HEIGHT, f);
      screen.show(WIDTH, HEIGHT, pixels);
    }
    double seconds = (System.nanoTime() - start) / 1e9;
    System.out.printf(
        "CorvaneDemo: %d frames of %dx%d in %.3f s: %.1f frames per second%n",
        frames, WIDTH, HEIGHT, seconds, frames / Math.max(seconds, 1e-9));
  }

  /** Opens a 640x480 AWT frame titled {@code title}, for the library to take over. */
  static Frame openWindow(String title) throws InterruptedException {
    Frame window = new Frame(title);
    window.setSize(640, 480);
    window.setVisible(true);
    // Let the window system create the native window before it is sought.
    java.awt.Toolkit.getDefaultToolkit().sync();
    Thread.sleep(500);
    return window;
  }

  /** One frame: moving colour bands, a bouncing square and the frame number. */
  static void render(int[] pixels, int width, int height, int frame) {
    for (int y = 0; y < height; y++) {
      int row = y * width;
      for (int x = 0; x < width; x++) {
        int r = (x + frame * 3) & 0xFF;
        int g = (y + frame * 2) & 0xFF;
        int b = ((x ^ y) + frame) & 0xFF;
        pixels[row + x] = 0xFF000000 | (r << 16) | (g << 8) | (b >> 1);
      }
    }
    int size = 60;
    int bx = bounce(frame * 4, width - size);
    int by = bounce(frame * 3, height - size);
    fill(pixels, width, bx, by, size, size, 0xFFFFFFFF);
    drawNumber(pixels, width, 16, 16, frame + 1, 6, 0xFF000000, 0xFFFFFF00);
  }

  private static int bounce(int travel, int span) {
    int t = travel % (2 * span);
    return t < span ? t : 2 * span - t;
  }

  private static void fill(int[] pixels, int width, int x, int y, int w, int h, int argb) {
    for (int j = y; j < y + h; j++) {
      java.util.Arrays.fill(pixels, j * width + x, j * width + x + w, argb);
    }
  }

  // Digits 0-9 in a 3 x 5 grid, one row of three bits per entry, top row first.
  private static final int[][] DIGITS = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}
  };

  private static void drawNumber(
      int[] pixels, int width, int x, int y, int number, int scale, int back, int ink) {
    String text = Integer.toString(number);
    int cell = 4 * scale;
    fill(pixels, width, x - scale, y - scale, text.length() * cell + scale, 7 * scale, back);
    for (int i = 0; i < text.length(); i++) {
      int[] glyph = DIGITS[text.charAt(i) - '0'];
      for (int gy = 0; gy < 5; gy++) {
        for (int gx = 0; gx < 3; gx++) {
          if ((glyph[gy] & (4 >> gx)) != 0) {
            fill(pixels, width, x + i * cell + gx * scale, y + gy * scale, scale, scale, ink);
          }
        }
      }
    }
  }
}

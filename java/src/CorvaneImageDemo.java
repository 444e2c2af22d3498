import java.awt.Frame;
import java.awt.image.MemoryImageSource;
import org.corvane.Screen;
import org.corvane.ScreenConsumer;

/**
 * The ImageProducer demo: renders into a {@link MemoryImageSource} and shows its frames through a
 * {@link ScreenConsumer}, as a program that already draws into a MemoryImageSource would.
 *
 * <p>Usage: {@code java CorvaneImageDemo [frames] [seconds]}. Opens and takes over an AWT frame
 * titled "Corvane Demo" as {@link CorvaneDemo} does.
 */
public final class CorvaneImageDemo {
  static final int WIDTH = 320;
  static final int HEIGHT = 240;

  private CorvaneImageDemo() {}

  public static void main(String[] args) throws Exception {
    int frames = args.length > 0 ? Integer.parseInt(args[0]) : 300;
    double hold = args.length > 1 ? Double.parseDouble(args[1]) : 0;
    Frame window = CorvaneDemo.openWindow(CorvaneDemo.TITLE);

    run(Screen.takeOver(CorvaneDemo.TITLE, WIDTH, HEIGHT), frames);

    CorvaneDemo.holdAndExit(window, hold);
  }

  /** Shows {@code frames} frames through a MemoryImageSource and prints the frames per second. */
  static void run(Screen screen, int frames) {
    int[] pixels = new int[WIDTH * HEIGHT];
    MemoryImageSource source = new MemoryImageSource(WIDTH, HEIGHT, pixels, 0, WIDTH);
    source.setAnimated(true);
    source.addConsumer(new ScreenConsumer(screen));

    long start = System.nanoTime();
    for (int f = 0; f < frames; f++) {
      render(pixels, WIDTH, HEIGHT, f);
      source.newPixels(); // the consumer shows the whole frame from the array itself
    }
    double seconds = (System.nanoTime() - start) / 1e9;
    System.out.printf(
        "CorvaneImageDemo: %d frames of %dx%d in %.3f s: %.1f frames per second%n",
        frames, WIDTH, HEIGHT, seconds, frames / Math.max(seconds, 1e-9));
  }

  /** One frame: rings of colour spreading from a centre that circles the picture. */
  static void render(int[] pixels, int width, int height, int frame) {
    double angle = frame * 0.05;
    int cx = (int) (width / 2 + width / 4 * Math.cos(angle));
    int cy = (int) (height / 2 + height / 4 * Math.sin(angle));
    for (int y = 0; y < height; y++) {
      for (int x = 0; x < width; x++) {
        int dx = x - cx;
        int dy = y - cy;
        int ring = ((dx * dx + dy * dy) >> 6) + frame * 2;
        int r = (ring * 5) & 0xFF;
        int g = (ring * 3 + 85) & 0xFF;
        int b = (255 - ring * 2) & 0xFF;
        pixels[y * width + x] = 0xFF000000 | (r << 16) | (g << 8) | b;
      }
    }
  }
}

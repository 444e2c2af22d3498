import java.awt.image.MemoryImageSource;
import java.util.Arrays;
import java.util.Random;
import org.corvane.Screen;
import org.corvane.ScreenConsumer;

/**
 * Times whole frames through the JVM on the simulated display, beside the blit alone on the same
 * frame: {@code Corvane.pixelsToScreen} (lock, pin, blit, release, unlock, flip), the same through
 * the org.corvane API ({@code Screen.show}), and a {@code MemoryImageSource.newPixels()} shown by
 * a {@code ScreenConsumer}.
 *
 * <p>Usage: {@code java FrameBenchmark DEPTH [runs]}; one JVM per depth, since a process sets the
 * screen up once. Prints the medians and the lines {@code ratio frame<depth>/blit <size> = X.XX},
 * {@code ratio show<depth>/blit ...} and {@code ratio consumer<depth>/blit ...}. The blit alone
 * writes one buffer again and again; whole frames alternate between the two buffers of the flip
 * chain, as a real display does, so they have twice the destination memory to keep in cache.
 */
public final class FrameBenchmark {
  private static final int BATCH = 9;
  private static final String[] NAMES = {"frame", "show", "consumer", "blit"};

  private FrameBenchmark() {}

  public static void main(String[] args) {
    int depth = Integer.parseInt(args[0]);
    int runs = args.length > 1 ? Integer.parseInt(args[1]) : 2000;
    SimulatedDisplay.acceptDepths(new int[] {depth});
    SimulatedDisplay.addWindow("Frame Benchmark");
    // A request beyond the mode ladder keeps 1024 x 768: every size fits.
    Screen screen = Screen.takeOver("Frame Benchmark", 1024, 768);
    int[][] sizes = {{640, 480}, {800, 600}, {1024, 768}};
    StringBuilder ratios = new StringBuilder();
    for (int[] size : sizes) {
      int w = size[0];
      int h = size[1];
      int[] pixels = new int[w * h];
      Random random = new Random(w);
      for (int i = 0; i < pixels.length; i++) {
        pixels[i] = random.nextInt();
      }
      MemoryImageSource source = new MemoryImageSource(w, h, pixels, 0, w);
      source.setAnimated(true);
      source.addConsumer(new ScreenConsumer(screen));

      // Rounds run the contenders in a new random order, each timing a short
      // batch, so that load from elsewhere on the machine hits all alike.
      int rounds = Math.max(runs / BATCH, 1);
      long[][] medians = new long[NAMES.length][rounds];
      long[] batch = new long[BATCH];
      for (int warmUp = 0; warmUp < 2; warmUp++) {
        for (int c = 0; c < NAMES.length; c++) {
          for (int i = 0; i < runs / 4 / BATCH; i++) {
            run(c, screen, source, pixels, w, h, batch);
          }
        }
      }
      Integer[] order = {0, 1, 2, 3};
      for (int round = 0; round < rounds; round++) {
        java.util.Collections.shuffle(Arrays.asList(order), random);
        for (int c : order) {
          medians[c][round] = run(c, screen, source, pixels, w, h, batch);
        }
      }
      long[] median = new long[NAMES.length];
      for (int c = 0; c < NAMES.length; c++) {
        Arrays.sort(medians[c]);
        median[c] = medians[c][rounds / 2];
      }
      long blit = median[3];
      System.out.printf(
          "frame%d %dx%d: pixelsToScreen median %.1f us, Screen.show median %.1f us,"
              + " ScreenConsumer median %.1f us, blit alone median %.1f us%n",
          depth, w, h, median[0] / 1e3, median[1] / 1e3, median[2] / 1e3, blit / 1e3);
      for (int c = 0; c < 3; c++) {
        ratios.append(
            String.format(
                "ratio %s%d/blit %dx%d = %.2f%n",
                NAMES[c], depth, w, h, (double) median[c] / blit));
      }
    }
    System.out.print(ratios);
  }

  /** Times a batch of one contender's frames; returns the median nanoseconds per frame. */
  private static long run(
      int contender, Screen screen, MemoryImageSource source, int[] pixels, int w, int h,
      long[] batch) {
    switch (contender) {
      case 0:
        for (int i = 0; i < BATCH; i++) {
          long start = System.nanoTime();
          Corvane.pixelsToScreen(0, 0, w, h, pixels, 0, w);
          batch[i] = System.nanoTime() - start;
        }
        break;
      case 1:
        for (int i = 0; i < BATCH; i++) {
          long start = System.nanoTime();
          screen.show(w, h, pixels, 0, w);
          batch[i] = System.nanoTime() - start;
        }
        break;
      case 2:
        for (int i = 0; i < BATCH; i++) {
          long start = System.nanoTime();
          source.newPixels();
          batch[i] = System.nanoTime() - start;
        }
        break;
      default:
        return SimulatedDisplay.medianBlitNanos(w, h, pixels, 0, w, BATCH);
    }
    Arrays.sort(batch);
    return batch[BATCH / 2];
  }
}

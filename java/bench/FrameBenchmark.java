import java.util.Arrays;
import java.util.Random;

/**
 * Times whole frames through the JVM on the simulated display: {@code Corvane.pixelsToScreen} per
 * call (lock, pin, blit, release, unlock, flip) beside the blit alone on the same frame.
 *
 * <p>Usage: {@code java FrameBenchmark DEPTH [runs]}; one JVM per depth, since a process sets the
 * screen up once. Prints the medians and {@code ratio frame<depth>/blit <size> = X.XX}. The blit
 * alone writes one buffer again and again; whole frames alternate between the two buffers of the
 * flip chain, as a real display does, so they have twice the destination memory to keep in cache.
 */
public final class FrameBenchmark {
  private static final int BATCH = 9;

  private FrameBenchmark() {}

  public static void main(String[] args) {
    int depth = Integer.parseInt(args[0]);
    int runs = args.length > 1 ? Integer.parseInt(args[1]) : 2000;
    SimulatedDisplay.acceptDepths(new int[] {depth});
    SimulatedDisplay.addWindow("Frame Benchmark");
    // A request beyond the mode ladder keeps 1024 x 768: every size fits.
    Corvane.initScreen(1024, 768, "Frame Benchmark");
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
      // Rounds alternate the two in a random order, each timing a short
      // batch, so that load from elsewhere on the machine hits both alike.
      int rounds = Math.max(runs / BATCH, 1);
      long[] frame = new long[rounds];
      long[] blitRounds = new long[rounds];
      long[] batch = new long[BATCH];
      for (int i = 0; i < runs / 4; i++) {
        Corvane.pixelsToScreen(0, 0, w, h, pixels, 0, w); // warm-up
      }
      SimulatedDisplay.medianBlitNanos(w, h, pixels, 0, w, runs / 4);
      for (int round = 0; round < rounds; round++) {
        boolean frameFirst = random.nextBoolean();
        if (!frameFirst) {
          blitRounds[round] = SimulatedDisplay.medianBlitNanos(w, h, pixels, 0, w, BATCH);
        }
        for (int i = 0; i < BATCH; i++) {
          long start = System.nanoTime();
          Corvane.pixelsToScreen(0, 0, w, h, pixels, 0, w);
          batch[i] = System.nanoTime() - start;
        }
        Arrays.sort(batch);
        frame[round] = batch[BATCH / 2];
        if (frameFirst) {
          blitRounds[round] = SimulatedDisplay.medianBlitNanos(w, h, pixels, 0, w, BATCH);
        }
      }
      Arrays.sort(blitRounds);
      long blit = blitRounds[rounds / 2];
      Arrays.sort(frame);
      long median = frame[rounds / 2];
      System.out.printf(
          "frame%d %dx%d: pixelsToScreen median %.1f us, blit alone median %.1f us%n",
          depth, w, h, median / 1e3, blit / 1e3);
      ratios.append(
          String.format("ratio frame%d/blit %dx%d = %.2f%n", depth, w, h, (double) median / blit));
    }
    System.out.print(ratios);
  }
}

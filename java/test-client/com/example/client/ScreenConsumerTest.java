package com.example.client;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.awt.color.ColorSpace;
import java.awt.image.ColorModel;
import java.awt.image.DataBuffer;
import java.awt.image.DirectColorModel;
import java.awt.image.FilteredImageSource;
import java.awt.image.ImageConsumer;
import java.awt.image.IndexColorModel;
import java.awt.image.MemoryImageSource;
import java.awt.image.ReplicateScaleFilter;
import java.util.Random;
import org.corvane.Screen;
import org.corvane.ScreenConsumer;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Image producers through {@link ScreenConsumer} onto the simulated display, at the depth named
 * by corvane.depth: the screen must hold exactly the producer's pixels, once per finished frame.
 */
class ScreenConsumerTest {
  static final int W = 320;
  static final int H = 240;
  static Screen screen;
  final Random random = new Random(Simulated.testDepth());

  @BeforeAll
  static void takeOver() {
    Simulated.acceptTestDepth();
    Simulated.addWindow("Consumer Window");
    screen = Screen.takeOver("Consumer Window", W, H);
  }

  int[] randomPixels(int count) {
    int[] pixels = new int[count];
    for (int i = 0; i < count; i++) {
      pixels[i] = random.nextInt();
    }
    return pixels;
  }

  static void assertOnScreen(int[] argb, int width, int height, String what) {
    assertArrayEquals(
        Simulated.storedFrame(argb), Simulated.frameOnScreen(width, height), what);
  }

  @Test
  void anAnimatedMemoryImageSourceShowsEachFrameWholeOnce() {
    int[] pixels = randomPixels(W * H);
    MemoryImageSource source = new MemoryImageSource(W, H, pixels, 0, W);
    source.setAnimated(true);
    int flips = Simulated.flipCount();
    ScreenConsumer consumer = new ScreenConsumer(screen);
    source.addConsumer(consumer); // sends the frame there is
    assertEquals(flips + 1, Simulated.flipCount());
    assertOnScreen(pixels, W, H, "the first frame");

    for (int f = 0; f < 3; f++) {
      System.arraycopy(randomPixels(W * H), 0, pixels, 0, W * H);
      source.newPixels();
      assertEquals(flips + 2 + f, Simulated.flipCount());
      assertOnScreen(pixels, W, H, "frame " + f);
    }

    // A frame that changes one rectangle: the whole frame is shown, not the part alone.
    for (int y = 50; y < 90; y++) {
      for (int x = 10; x < 70; x++) {
        pixels[y * W + x] = random.nextInt();
      }
    }
    source.newPixels(10, 50, 60, 40);
    assertEquals(flips + 5, Simulated.flipCount());
    assertOnScreen(pixels, W, H, "after a changed rectangle");
    source.removeConsumer(consumer);
  }

  @Test
  void aFrameSentInRectanglesIsShownOnceWhenFinished() {
    int[] frame = randomPixels(W * H);
    ScreenConsumer consumer = new ScreenConsumer(screen);
    consumer.setDimensions(W, H);
    consumer.setColorModel(ColorModel.getRGBdefault());
    int flips = Simulated.flipCount();
    // Three bands, each from an array of its own with a margin and a wider scansize, out of
    // order; then a rectangle straddling two bands, from the frame itself.
    int[][] bands = {{0, 60}, {180, 60}, {60, 120}};
    for (int[] band : bands) {
      int top = band[0];
      int rows = band[1];
      int offset = 5;
      int scansize = W + 3;
      int[] part = new int[offset + rows * scansize];
      for (int y = 0; y < rows; y++) {
        System.arraycopy(frame, (top + y) * W, part, offset + y * scansize, W);
      }
      consumer.setPixels(0, top, W, rows, ColorModel.getRGBdefault(), part, offset, scansize);
    }
    consumer.setPixels(30, 40, 100, 50, ColorModel.getRGBdefault(), frame, 40 * W + 30, W);
    assertEquals(flips, Simulated.flipCount(), "nothing is shown before the frame is finished");
    consumer.imageComplete(ImageConsumer.SINGLEFRAMEDONE);
    assertEquals(flips + 1, Simulated.flipCount());
    assertOnScreen(frame, W, H, "the gathered frame");

    // The next frame changes one rectangle, from another array: the rest stays.
    int[] patch = randomPixels(16 * 8);
    consumer.setPixels(310, 236, 16, 8, ColorModel.getRGBdefault(), patch, 0, 16);
    consumer.imageComplete(ImageConsumer.SINGLEFRAMEDONE);
    for (int y = 236; y < H; y++) { // the patch is clipped to the frame
      System.arraycopy(patch, (y - 236) * 16, frame, y * W + 310, W - 310);
    }
    assertOnScreen(frame, W, H, "the frame with a clipped patch");
  }

  @Test
  void aWholeFrameInTheDefaultModelIsReadFromTheProducersArrayWhenFinished() {
    ColorModel[] defaultModels = {
      ColorModel.getRGBdefault(), new DirectColorModel(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
    };
    for (ColorModel model : defaultModels) {
      int[] pixels = randomPixels(W * H + 9);
      ScreenConsumer consumer = new ScreenConsumer(screen);
      consumer.setDimensions(W, H);
      consumer.setPixels(0, 0, W, H, model, pixels, 9, W);
      // Not copied: what the array holds when the frame is finished is what is shown.
      int[] later = randomPixels(W * H);
      System.arraycopy(later, 0, pixels, 9, W * H);
      consumer.imageComplete(ImageConsumer.SINGLEFRAMEDONE);
      assertOnScreen(later, W, H, "the array as it is at imageComplete, " + model);

      // A part from elsewhere then gathers the frame in the consumer's own buffer, from the
      // array.
      int[] part = randomPixels(W);
      consumer.setPixels(0, 7, W, 1, model, part, 0, W);
      consumer.imageComplete(ImageConsumer.STATICIMAGEDONE);
      System.arraycopy(part, 0, later, 7 * W, W);
      assertOnScreen(later, W, H, "the array's frame with one row replaced, " + model);
    }
  }

  @Test
  void otherColourModelsAreConvertedThroughTheModel() {
    byte[] reds = new byte[256];
    byte[] greens = new byte[256];
    byte[] blues = new byte[256];
    byte[] alphas = new byte[256];
    random.nextBytes(reds);
    random.nextBytes(greens);
    random.nextBytes(blues);
    random.nextBytes(alphas);
    IndexColorModel palette = new IndexColorModel(8, 256, reds, greens, blues, alphas);
    byte[] indices = new byte[W * H];
    random.nextBytes(indices);
    int[] packed = randomPixels(W * H);
    ColorModel[] intModels = {
      new DirectColorModel(16, 0xF800, 0x07E0, 0x001F),
      new DirectColorModel(32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000),
      new DirectColorModel(24, 0xFF0000, 0x00FF00, 0x0000FF),
      // The default's masks, but premultiplied: getRGB divides by alpha.
      new DirectColorModel(
          ColorSpace.getInstance(ColorSpace.CS_sRGB),
          32,
          0xFF0000,
          0xFF00,
          0xFF,
          0xFF000000,
          true,
          DataBuffer.TYPE_INT),
    };

    int flips = Simulated.flipCount();
    new MemoryImageSource(W, H, palette, indices, 0, W).startProduction(new ScreenConsumer(screen));
    int[] expected = new int[W * H];
    for (int i = 0; i < expected.length; i++) {
      expected[i] = palette.getRGB(indices[i] & 0xFF);
    }
    assertOnScreen(expected, W, H, "8-bit pixels through an IndexColorModel");
    for (ColorModel model : intModels) {
      new MemoryImageSource(W, H, model, packed, 0, W).startProduction(new ScreenConsumer(screen));
      for (int i = 0; i < expected.length; i++) {
        expected[i] = model.getRGB(packed[i]);
      }
      assertOnScreen(expected, W, H, model.toString());
    }
    assertEquals(flips + 1 + intModels.length, Simulated.flipCount(), "one frame per image");
  }

  @Test
  void aFilterDeliveringRowByRowIsShownOnceWhole() {
    int[] small = randomPixels(W / 2 * H / 2);
    MemoryImageSource source = new MemoryImageSource(W / 2, H / 2, small, 0, W / 2);
    int flips = Simulated.flipCount();
    new FilteredImageSource(source, new ReplicateScaleFilter(W, H))
        .startProduction(new ScreenConsumer(screen));
    assertEquals(flips + 1, Simulated.flipCount());
    int[] expected = new int[W * H];
    for (int y = 0; y < H; y++) {
      for (int x = 0; x < W; x++) {
        expected[y * W + x] = small[(y / 2) * (W / 2) + x / 2];
      }
    }
    assertOnScreen(expected, W, H, "the image scaled by two");
  }

  @Test
  void framesLargerThanTheDisplayModeAreRefusedAtSetDimensions() {
    ScreenConsumer consumer = new ScreenConsumer(screen);
    int[][] refused = {{W + 1, H}, {W, H + 1}, {-1, 1}, {1, -1}};
    for (int[] size : refused) {
      assertThrows(
          IllegalArgumentException.class,
          () -> consumer.setDimensions(size[0], size[1]),
          size[0] + "x" + size[1]);
    }
    // A MemoryImageSource catches the exception and ends the image with an error.
    int flips = Simulated.flipCount();
    new MemoryImageSource(W + 2, 2, new int[(W + 2) * 2], 0, W + 2).startProduction(consumer);
    assertEquals(flips, Simulated.flipCount());
    consumer.setDimensions(W, H); // the largest that fits
  }

  @Test
  void anErrorOrAnAbortShowsNothing() {
    ScreenConsumer consumer = new ScreenConsumer(screen);
    consumer.setDimensions(2, 2);
    consumer.setPixels(0, 0, 2, 2, ColorModel.getRGBdefault(), new int[4], 0, 2);
    int flips = Simulated.flipCount();
    consumer.imageComplete(ImageConsumer.IMAGEERROR);
    consumer.imageComplete(ImageConsumer.IMAGEABORTED);
    assertEquals(flips, Simulated.flipCount());
  }

  @Test
  void partsOutsideTheArrayThrow() {
    ScreenConsumer consumer = new ScreenConsumer(screen);
    consumer.setDimensions(4, 4);
    ColorModel rgb = ColorModel.getRGBdefault();
    assertThrows(
        ArrayIndexOutOfBoundsException.class,
        () -> consumer.setPixels(0, 0, 4, 4, rgb, new int[15], 0, 4));
    assertThrows(
        ArrayIndexOutOfBoundsException.class,
        () -> consumer.setPixels(0, 1, 4, 2, rgb, new int[8], 1, 4));
    assertThrows(
        ArrayIndexOutOfBoundsException.class,
        () -> consumer.setPixels(0, 0, 2, 2, rgb, new int[8], 0, Integer.MAX_VALUE));
    IndexColorModel grey = new IndexColorModel(1, 2, new byte[2], new byte[2], new byte[2]);
    assertThrows(
        ArrayIndexOutOfBoundsException.class,
        () -> consumer.setPixels(1, 1, 2, 2, grey, new byte[3], 0, 2));
    assertThrows(
        IllegalStateException.class,
        () -> new ScreenConsumer(screen).setPixels(0, 0, 1, 1, rgb, new int[1], 0, 1));
  }
}

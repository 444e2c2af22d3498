package org.corvane;

import java.awt.image.ColorModel;
import java.awt.image.DirectColorModel;
import java.awt.image.ImageConsumer;
import java.util.Arrays;
import java.util.Hashtable;

/**
 * An {@link ImageConsumer} that shows the frames of an {@link java.awt.image.ImageProducer} on a
 * {@link Screen}: each finished frame ({@link #imageComplete} with {@link #SINGLEFRAMEDONE} or
 * {@link #STATICIMAGEDONE}) is shown whole, once.
 *
 * <pre>{@code
 * Screen screen = Screen.takeOver("My Game", 640, 480);
 * int[] pixels = new int[640 * 480];
 * MemoryImageSource source = new MemoryImageSource(640, 480, pixels, 0, 640);
 * source.setAnimated(true);
 * source.addConsumer(new ScreenConsumer(screen));
 * while (running) {
 *   render(pixels);
 *   source.newPixels();
 * }
 * }</pre>
 *
 * <p>The pixels of a frame may arrive in several {@code setPixels} calls; they are gathered, and
 * nothing is shown until the frame is finished. Pixels that a frame does not deliver keep what the
 * frame before delivered there (black at first).
 *
 * <p>When one {@code setPixels} call hands over the whole frame as an {@code int[]} in the default
 * RGB colour model, as {@code MemoryImageSource} does, the frame goes from that array to the
 * screen without a copy: the array is read when the frame is finished, and later calls for parts
 * of the frame that lie in the same array at the same place are taken as already there. Pixels in
 * other colour models, and {@code byte[]} pixels, are converted through their model into a buffer
 * of the consumer's own.
 *
 * <p>Calls from several threads are safe and serialised.
 */
public final class ScreenConsumer implements ImageConsumer {
  private static final ColorModel RGB_DEFAULT = ColorModel.getRGBdefault();

  private final Screen screen;
  // The frame's dimensions; -1 until setDimensions.
  private int width = -1;
  private int height = -1;
  // Where the frame is: the producer's array or this consumer's buffer; null before any pixels.
  private int[] frame;
  private int frameOffset;
  private int frameScansize;
  // The frame gathered here, width * height pixels, row after row.
  private int[] buffer;

  /**
   * A consumer that shows frames on {@code screen}.
   *
   * @param screen the screen that {@link Screen#takeOver} gave
   * @throws NullPointerException if {@code screen} is null
   */
  public ScreenConsumer(Screen screen) {
    if (screen == null) {
      throw new NullPointerException("screen is null");
    }
    this.screen = screen;
  }

  /**
   * Starts frames of {@code width} x {@code height} pixels, black until pixels arrive.
   *
   * @throws IllegalArgumentException if a dimension is negative or larger than the screen's
   *     display mode
   */
  @Override
  public synchronized void setDimensions(int width, int height) {
    if (width < 0 || height < 0 || width > screen.width() || height > screen.height()) {
      throw new IllegalArgumentException(
          "frames of "
              + width
              + "x"
              + height
              + " do not fit the display mode "
              + screen.width()
              + "x"
              + screen.height());
    }
    this.width = width;
    this.height = height;
    frame = null;
    if (buffer != null && buffer.length != width * height) {
      buffer = null;
    }
  }

  /** Not used: properties do not change what is shown. */
  @Override
  public void setProperties(Hashtable<?, ?> props) {}

  /** Not used: every {@code setPixels} call names its own colour model. */
  @Override
  public void setColorModel(ColorModel model) {}

  /** Not used: frames are shown when finished, whatever order the pixels come in. */
  @Override
  public void setHints(int hints) {}

  /**
   * Takes part of a frame in 8-bit pixels, converted through {@code model}.
   *
   * @throws IllegalStateException if no dimensions were set
   * @throws ArrayIndexOutOfBoundsException if a row of the rectangle lies outside {@code pixels}
   */
  @Override
  public synchronized void setPixels(
      int x, int y, int w, int h, ColorModel model, byte[] pixels, int off, int scansize) {
    requireDimensions();
    copyRectangle(
        x, y, w, h, off, scansize, pixels.length,
        (from, target, to, count) -> {
          for (int i = 0; i < count; i++) {
            target[to + i] = model.getRGB(pixels[from + i] & 0xFF);
          }
        });
  }

  /**
   * Takes part of a frame in 32-bit pixels, converted through {@code model} unless it is the
   * default RGB model.
   *
   * @throws IllegalStateException if no dimensions were set
   * @throws ArrayIndexOutOfBoundsException if a row of the rectangle lies outside {@code pixels}
   */
  @Override
  public synchronized void setPixels(
      int x, int y, int w, int h, ColorModel model, int[] pixels, int off, int scansize) {
    requireDimensions();
    boolean rgb = isDefaultRgb(model);
    if (rgb && x == 0 && y == 0 && w == width && h == height) {
      if (h > 0 && !rowsInside(w, h, off, scansize, pixels.length)) {
        throw new ArrayIndexOutOfBoundsException(
            "rows of the frame lie outside an array of " + pixels.length);
      }
      frame = pixels;
      frameOffset = off;
      frameScansize = scansize;
      return;
    }
    if (rgb
        && pixels == frame
        && frame != buffer
        && scansize == frameScansize
        && off == (long) frameOffset + (long) y * scansize + x) {
      return; // the producer's array, which holds the frame, already has these pixels
    }
    copyRectangle(
        x, y, w, h, off, scansize, pixels.length,
        (from, target, to, count) -> {
          if (rgb) {
            System.arraycopy(pixels, from, target, to, count);
          } else {
            for (int i = 0; i < count; i++) {
              target[to + i] = model.getRGB(pixels[from + i]);
            }
          }
        });
  }

  /** Copies {@code count} pixels of a source row, starting at {@code from}, into a frame row. */
  private interface RowCopy {
    void copy(int from, int[] target, int to, int count);
  }

  /**
   * Copies the part of the rectangle that lies inside the frame into the consumer's own buffer,
   * a row at a time; each row of the source is checked against {@code length} first.
   */
  private void copyRectangle(
      int x, int y, int w, int h, int off, int scansize, int length, RowCopy copy) {
    int x0 = Math.max(x, 0);
    int y0 = Math.max(y, 0);
    int x1 = (int) Math.min((long) x + w, width);
    int y1 = (int) Math.min((long) y + h, height);
    if (x0 >= x1 || y0 >= y1) {
      return;
    }
    int[] target = ownBuffer();
    for (int row = y0; row < y1; row++) {
      int from = rowStart(off, row - y, scansize, x0 - x, x1 - x0, length);
      copy.copy(from, target, row * width + x0, x1 - x0);
    }
  }

  /**
   * Shows the frame when it is finished ({@link #SINGLEFRAMEDONE} or {@link #STATICIMAGEDONE});
   * an error or an abort shows nothing.
   *
   * @throws IllegalStateException if a finished frame came without dimensions
   */
  @Override
  public synchronized void imageComplete(int status) {
    if (status != SINGLEFRAMEDONE && status != STATICIMAGEDONE) {
      return;
    }
    requireDimensions();
    if (frame == null) {
      frame = ownBuffer();
    }
    screen.show(width, height, frame, frameOffset, frameScansize);
  }

  /** True for a model whose pixels are ARGB values already: the default or one just like it. */
  private static boolean isDefaultRgb(ColorModel model) {
    if (model == RGB_DEFAULT) {
      return true;
    }
    if (!(model instanceof DirectColorModel)) {
      return false;
    }
    DirectColorModel direct = (DirectColorModel) model;
    return direct.getRedMask() == 0x00FF0000
        && direct.getGreenMask() == 0x0000FF00
        && direct.getBlueMask() == 0x000000FF
        && direct.getAlphaMask() == 0xFF000000
        && !direct.isAlphaPremultiplied()
        && direct.getColorSpace().isCS_sRGB();
  }

  private void requireDimensions() {
    if (width < 0) {
      throw new IllegalStateException("setDimensions was not called");
    }
  }

  /** The buffer, holding the frame so far: copied from the producer's array if it held it. */
  private int[] ownBuffer() {
    if (frame == buffer && buffer != null) {
      return buffer;
    }
    if (buffer == null) {
      buffer = new int[width * height];
    } else if (frame == null) {
      Arrays.fill(buffer, 0);
    }
    if (frame != null) {
      for (int row = 0; row < height; row++) {
        System.arraycopy(frame, frameOffset + row * frameScansize, buffer, row * width, width);
      }
    }
    frame = buffer;
    frameOffset = 0;
    frameScansize = width;
    return buffer;
  }

  // The index of the first pixel taken from row `row` of the rectangle, where `count` pixels
  // from `skip` on are taken; the arithmetic is done wide so that no wrapped index goes unseen.
  private static int rowStart(int off, int row, int scansize, int skip, int count, int length) {
    long from = off + (long) row * scansize + skip;
    if (from < 0 || from + count > length) {
      throw new ArrayIndexOutOfBoundsException(
          "row " + row + " of the rectangle lies outside an array of " + length);
    }
    return (int) from;
  }

  // Every row of the frame inside an array of `length`: the first and the last row are the
  // extremes, since the row starts are linear in the row number.
  private static boolean rowsInside(int width, int height, int offset, int scansize, int length) {
    long first = offset;
    long last = first + (long) (height - 1) * scansize;
    return Math.min(first, last) >= 0 && Math.max(first, last) + width <= length;
  }
}

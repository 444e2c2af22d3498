import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.Color;
import java.awt.Frame;
import java.awt.Graphics;
import java.awt.Rectangle;
import java.awt.Robot;
import java.awt.Toolkit;
import java.awt.event.InputEvent;
import java.awt.event.KeyAdapter;
import java.awt.event.KeyEvent;
import java.awt.event.MouseAdapter;
import java.awt.event.MouseEvent;
import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.Random;
import java.util.concurrent.ArrayBlockingQueue;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;

/**
 * A real AWT frame taken over on a real X server (run by tests/x11/on-xvfb, with or without a
 * window manager). The screen's expected picture placement comes from system properties:
 * corvane.scale, corvane.left and corvane.top (where the 640x480 mode lands on this screen), and
 * corvane.depth (24 or 16).
 */
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class X11ScreenTest {
  static final String TITLE = "Corvane X11 \u00c9cran";
  static final int MODE_WIDTH = 640;
  static final int MODE_HEIGHT = 480;
  static final int TOOLKIT_PAINT = 0xFFFF00FF;

  static final int scale = Integer.getInteger("corvane.scale");
  static final int left = Integer.getInteger("corvane.left");
  static final int top = Integer.getInteger("corvane.top");
  static final int depth = Integer.getInteger("corvane.depth");

  static Frame frame;
  static Robot robot;
  static final AtomicInteger paints = new AtomicInteger();
  static final BlockingQueue<KeyEvent> keys = new ArrayBlockingQueue<>(100);
  static final BlockingQueue<MouseEvent> clicks = new ArrayBlockingQueue<>(100);
  static volatile boolean repainting = true;
  static Thread repainter;

  @BeforeAll
  static void openTheFrame() throws Exception {
    frame =
        new Frame(TITLE) {
          private static final long serialVersionUID = 1L;

          @Override
          public void paint(Graphics g) {
            paints.incrementAndGet();
            g.setColor(new Color(TOOLKIT_PAINT, true));
            g.fillRect(0, 0, getWidth(), getHeight());
          }

          @Override
          public void update(Graphics g) {
            paint(g);
          }
        };
    frame.setBackground(Color.MAGENTA);
    frame.addKeyListener(
        new KeyAdapter() {
          @Override
          public void keyPressed(KeyEvent e) {
            keys.add(e);
          }
        });
    frame.addMouseListener(
        new MouseAdapter() {
          @Override
          public void mousePressed(MouseEvent e) {
            clicks.add(e);
          }
        });
    frame.setSize(400, 300);
    frame.setVisible(true);
    Toolkit.getDefaultToolkit().sync();
    robot = new Robot();
    robot.waitForIdle();
    Thread.sleep(500);
    // The toolkit paints its frame as fast as it can, all through the test.
    repainter =
        new Thread(
            () -> {
              while (repainting) {
                frame.repaint();
                try {
                  Thread.sleep(1);
                } catch (InterruptedException e) {
                  return;
                }
              }
            });
    repainter.setDaemon(true);
    repainter.start();
  }

  @AfterAll
  static void stopRepainting() throws InterruptedException {
    repainting = false;
    repainter.join();
  }

  static String run(String... command) throws IOException, InterruptedException {
    Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
    String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    assertTrue(p.waitFor(30, TimeUnit.SECONDS), String.join(" ", command));
    return out;
  }

  // The frame's title as an xdotool pattern that needs no locale.
  static final String TITLE_PATTERN = "^Corvane X11 .+cran$";

  /** The id of the one client window whose name matches {@code pattern}, by xdotool. */
  static String windowNamed(String pattern) throws Exception {
    String out = run("xdotool", "search", "--name", pattern).trim();
    assertTrue(!out.isEmpty() && !out.contains("\n"), "one window named " + pattern + ": " + out);
    return out;
  }

  /** A pixel as the screen stores it at the test's depth, as 0xRRGGBB. */
  static int onScreen(int argb) {
    if (depth == 16) {
      // 5:6:5: compare the bits the screen keeps.
      return argb & 0xF8FCF8;
    }
    return argb & 0xFFFFFF;
  }

  static int[] screenshot() {
    Rectangle all = new Rectangle(Toolkit.getDefaultToolkit().getScreenSize());
    BufferedImage image = robot.createScreenCapture(all);
    int[] rgb = image.getRGB(0, 0, all.width, all.height, null, 0, all.width);
    for (int i = 0; i < rgb.length; i++) {
      rgb[i] = onScreen(rgb[i]);
    }
    return rgb;
  }

  @Test
  @Order(0)
  void beforeSetUpFramesAndMissingWindowsThrowIllegalState() throws Exception {
    assertThrows(
        IllegalStateException.class, () -> Corvane.pixelsToScreen(0, 0, 1, 1, new int[1], 0, 1));
    IllegalStateException e =
        assertThrows(
            IllegalStateException.class, () -> Corvane.initScreen(640, 480, "No Such Window"));
    assertTrue(e.getMessage().contains("No Such Window"), e.getMessage());
    // Nothing changed: the frame keeps its title.
    windowNamed(TITLE_PATTERN);
  }

  @Test
  @Order(1)
  void setUpTakesOverTheFrame() throws Exception {
    String before = windowNamed(TITLE_PATTERN);
    Corvane.initScreen(631, 479, TITLE);
    assertEquals(before, windowNamed("^Found Window!$"));
    String names = run("xprop", "-id", before, "WM_NAME", "_NET_WM_NAME", "_MOTIF_WM_HINTS");
    assertTrue(names.contains("WM_NAME(STRING) = \"Found Window!\""), names);
    assertTrue(names.contains("_NET_WM_NAME(UTF8_STRING) = \"Found Window!\""), names);
    // No decorations: the Motif hints ask for none.
    assertTrue(names.contains("_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x2, 0x0, 0x0, 0x0, 0x0"), names);
    String geometry = run("xwininfo", "-id", before);
    var screen = Toolkit.getDefaultToolkit().getScreenSize();
    assertTrue(geometry.contains("Absolute upper-left X:  0\n"), geometry);
    assertTrue(geometry.contains("Absolute upper-left Y:  0\n"), geometry);
    assertTrue(geometry.contains("Width: " + screen.width + "\n"), geometry);
    assertTrue(geometry.contains("Height: " + screen.height + "\n"), geometry);
  }

  @Test
  @Order(2)
  void framesReachTheScreenScaledCentredOnBlackWithNoneOfTheToolkitsPaint() throws Exception {
    int width = 631;
    int height = 479;
    int scansize = 650;
    int offset = 13;
    Random random = new Random(depth * 31 + scale);
    int[] pixels = new int[offset + scansize * height];
    for (int i = 0; i < pixels.length; i++) {
      pixels[i] = random.nextInt();
    }
    int paintsBefore = paints.get();
    for (int f = 0; f < 50; f++) {
      Corvane.pixelsToScreen(0, 0, width, height, pixels, offset, scansize);
    }
    // Give the toolkit time to paint many times over (a busy machine may
    // need longer), then look.
    long deadline = System.nanoTime() + 10_000_000_000L;
    while (paints.get() - paintsBefore <= 20 && System.nanoTime() < deadline) {
      Thread.sleep(20);
    }
    Thread.sleep(100);
    int[] shown = screenshot();
    assertTrue(
        paints.get() - paintsBefore > 20,
        "the toolkit went on painting: " + (paints.get() - paintsBefore));

    var screen = Toolkit.getDefaultToolkit().getScreenSize();
    // The frame's margins inside the mode (631x479 in 640x480): 4 left, 0 top.
    int frameLeft = left + 4 * scale;
    int frameTop = top;
    int[] expected = new int[shown.length];
    for (int y = 0; y < height * scale; y++) {
      for (int x = 0; x < width * scale; x++) {
        int source = pixels[offset + (y / scale) * scansize + x / scale];
        expected[(frameTop + y) * screen.width + frameLeft + x] = onScreen(source);
      }
    }
    int mismatches = 0;
    int first = -1;
    for (int i = 0; i < shown.length; i++) {
      if (shown[i] != expected[i]) {
        mismatches++;
        if (first < 0) first = i;
      }
    }
    assertEquals(
        0,
        mismatches,
        first < 0
            ? ""
            : String.format(
                "first at (%d, %d): 0x%06X, expected 0x%06X",
                first % screen.width, first / screen.width, shown[first], expected[first]));
  }

  @Test
  @Order(3)
  void theCursorIsHiddenOverTheScreen() throws Exception {
    var screen = Toolkit.getDefaultToolkit().getScreenSize();
    robot.mouseMove(screen.width / 2, screen.height / 2);
    robot.waitForIdle();
    Thread.sleep(200);
    assertEquals("hidden\n", run(System.getProperty("corvane.probe"), "cursor"));
  }

  @Test
  @Order(4)
  void keysAndClicksReachTheFramesListeners() throws Exception {
    keys.clear();
    clicks.clear();
    robot.keyPress(KeyEvent.VK_Q);
    robot.keyRelease(KeyEvent.VK_Q);
    KeyEvent key = keys.poll(5, TimeUnit.SECONDS);
    assertTrue(key != null, "a key reached the KeyListener");
    assertEquals(KeyEvent.VK_Q, key.getKeyCode());

    robot.mouseMove(123, 97);
    robot.waitForIdle();
    robot.mousePress(InputEvent.BUTTON1_DOWN_MASK);
    robot.mouseRelease(InputEvent.BUTTON1_DOWN_MASK);
    MouseEvent click = clicks.poll(5, TimeUnit.SECONDS);
    assertTrue(click != null, "a click reached the MouseListener");
    assertEquals(123, click.getXOnScreen());
    assertEquals(97, click.getYOnScreen());
    // In the frame's own coordinates, as the toolkit places the frame (a window
    // manager's former decorations may still count as its insets).
    var corner = frame.getLocationOnScreen();
    assertEquals(123 - corner.x, click.getX());
    assertEquals(97 - corner.y, click.getY());
  }

  @Test
  @Order(5)
  void callerMistakesStillThrowAfterSetUp() {
    assertThrows(IllegalStateException.class, () -> Corvane.initScreen(640, 480, TITLE));
    assertThrows(
        IllegalArgumentException.class,
        () -> Corvane.pixelsToScreen(0, 0, MODE_WIDTH + 1, 1, new int[MODE_WIDTH + 1], 0, 0));
    assertThrows(
        ArrayIndexOutOfBoundsException.class,
        () -> Corvane.pixelsToScreen(0, 0, 10, 10, new int[99], 0, 10));
    assertThrows(
        NullPointerException.class, () -> Corvane.pixelsToScreen(0, 0, 1, 1, null, 0, 1));
  }
}

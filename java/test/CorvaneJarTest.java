import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import org.corvane.Screen;
import org.junit.jupiter.api.Test;

/**
 * Run with corvane.jar on the class path and no library path: the native comes out of the jar.
 * Checks only what holds for the product native on any Linux machine, with or without a display.
 */
class CorvaneJarTest {
  @Test
  void theNativeIsExtractedFromTheJarAndAnswers() {
    // Both exports answer: a frame before set-up, and a window no desktop has.
    IllegalStateException early =
        assertThrows(
            IllegalStateException.class,
            () -> Corvane.pixelsToScreen(0, 0, 1, 1, new int[1], 0, 1));
    assertTrue(early.getMessage().contains("initScreen"), early.getMessage());
    IllegalStateException e =
        assertThrows(
            IllegalStateException.class,
            () -> Screen.takeOver("No Window Bears This Title", 640, 480));
    assertTrue(e.getMessage().contains("\"No Window Bears This Title\""), e.getMessage());
    String from = Corvane.loadedFrom;
    assertTrue(from.endsWith(File.separator + "libCorvaneNative.so"), from);
    assertTrue(from.startsWith(System.getProperty("java.io.tmpdir")), from);
  }

  @Test
  void platformNamesTheRunningSystem() {
    assertEquals("linux-x64", Corvane.platform());
  }
}

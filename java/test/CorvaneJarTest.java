import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import org.junit.jupiter.api.Test;

/** Run with corvane.jar on the class path and no library path: the native comes from the jar. */
class CorvaneJarTest {
  @Test
  void theNativeIsExtractedFromTheJarAndWorks() {
    // Both exports answer: frames before set-up, and a window no desktop has.
    IllegalStateException early =
        assertThrows(
            IllegalStateException.class,
            () -> Corvane.pixelsToScreen(0, 0, 1, 1, new int[1], 0, 1));
    assertTrue(early.getMessage().contains("initScreen"), early.getMessage());
    String from = Corvane.loadedFrom;
    assertTrue(from.endsWith(File.separator + "libCorvaneNative.so"), from);
    assertTrue(from.startsWith(System.getProperty("java.io.tmpdir")), from);
    IllegalStateException missing =
        assertThrows(
            IllegalStateException.class,
            () -> Corvane.initScreen(320, 200, "No Window Has This Title 4711"));
    assertTrue(missing.getMessage().contains("No Window Has This Title 4711"), missing.getMessage());
  }

  @Test
  void platformNamesTheRunningSystem() {
    assertEquals("linux-x64", Corvane.platform());
  }
}

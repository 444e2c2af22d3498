import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import org.junit.jupiter.api.Test;

/** Run with corvane.jar on the class path and no library path: the native comes from the jar. */
class CorvaneJarTest {
  @Test
  void theNativeIsExtractedFromTheJarAndWorks() {
    long window = SimulatedDisplay.addWindow("Jar Window");
    String from = Corvane.loadedFrom;
    assertTrue(from.endsWith(File.separator + "libCorvaneNative.so"), from);
    assertTrue(from.startsWith(System.getProperty("java.io.tmpdir")), from);
    Corvane.initScreen(320, 200, "Jar Window");
    assertEquals("Found Window!", SimulatedDisplay.windowTitle(window));
    Corvane.pixelsToScreen(0, 0, 1, 1, new int[] {0xFF00FF00}, 0, 1);
    assertEquals(0xFF00FF00, SimulatedDisplay.readScreen()[99 * 320 + 159]);
  }

  @Test
  void platformNamesTheRunningSystem() {
    assertEquals("linux-x64", Corvane.platform());
  }
}

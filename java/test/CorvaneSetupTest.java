import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;

/** Set-up mistakes as Java exceptions, then a set-up that succeeds, and a fatal set-up. */
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class CorvaneSetupTest {

  @Test
  @Order(1)
  void framesBeforeSetUpThrowIllegalState() {
    IllegalStateException e =
        assertThrows(
            IllegalStateException.class,
            () -> Corvane.pixelsToScreen(0, 0, 1, 1, new int[1], 0, 1));
    assertTrue(e.getMessage().contains("initScreen"), e.getMessage());
  }

  @Test
  @Order(2)
  void aNullTitleThrowsNullPointer() {
    assertThrows(NullPointerException.class, () -> Corvane.initScreen(640, 480, null));
  }

  @Test
  @Order(3)
  void aMissingWindowThrowsIllegalStateNamingTheTitle() {
    long other = SimulatedDisplay.addWindow("Unrelated");
    IllegalStateException e =
        assertThrows(
            IllegalStateException.class, () -> Corvane.initScreen(640, 480, "No Such Window"));
    assertTrue(e.getMessage().contains("\"No Such Window\""), e.getMessage());
    assertEquals("Unrelated", SimulatedDisplay.windowTitle(other));
    assertEquals(0, SimulatedDisplay.width(), "the display mode is not changed");
  }

  @Test
  @Order(4)
  void aTitleIsSoughtByTheLowByteOfEachCharacter() {
    long window = SimulatedDisplay.addWindow("A");
    Corvane.initScreen(320, 200, "\u0141");
    assertEquals("Found Window!", SimulatedDisplay.windowTitle(window));
    assertEquals(320, SimulatedDisplay.width());
    assertEquals(200, SimulatedDisplay.height());
  }

  @Test
  @Order(5)
  void aDisplayThatRefusesEveryDepthEndsTheProcessWithReport174() throws Exception {
    String java = System.getProperty("java.home") + File.separator + "bin" + File.separator + "java";
    Process p =
        new ProcessBuilder(
                java,
                "-cp",
                System.getProperty("corvane.testClassPath"),
                "-Djava.library.path=" + System.getProperty("java.library.path"),
                "FatalScenario")
            .redirectErrorStream(true)
            .start();
    assertTrue(p.waitFor(60, TimeUnit.SECONDS), "the child JVM ended");
    String output = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    assertEquals(1, p.exitValue(), output);
    assertTrue(
        output.contains("[Corvane Native] Error (Corvane line 174): Couldn't set display mode 640x480\n"),
        output);
    assertTrue(!output.contains("returned"), output);
  }
}

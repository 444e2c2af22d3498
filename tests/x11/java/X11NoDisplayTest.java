import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** Run with no DISPLAY at all: set-up finds no window and changes nothing. */
class X11NoDisplayTest {
  @Test
  void setUpWithNoDisplayThrowsIllegalState() {
    assertTrue(System.getenv("DISPLAY") == null, "DISPLAY is unset");
    IllegalStateException e =
        assertThrows(IllegalStateException.class, () -> Corvane.initScreen(640, 480, "Any Window"));
    assertTrue(e.getMessage().contains("Any Window"), e.getMessage());
    // Still not set up: frames are refused, not shown.
    assertThrows(
        IllegalStateException.class, () -> Corvane.pixelsToScreen(0, 0, 1, 1, new int[1], 0, 1));
  }
}

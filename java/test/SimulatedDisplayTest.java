import static org.junit.jupiter.api.Assertions.assertThrows;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;

/** The test natives refuse null arguments with an exception rather than ending the JVM. */
class SimulatedDisplayTest {
  @Test
  void nullArgumentsThrowNullPointer() {
    Executable[] calls = {
      () -> SimulatedDisplay.addWindow(null),
      () -> SimulatedDisplay.acceptDepths(null),
      () -> SimulatedDisplay.windowTitle(0),
      () -> SimulatedDisplay.windowStyle(0),
      () -> SimulatedDisplay.medianBlitNanos(1, 1, null, 0, 1, 1),
    };
    for (Executable call : calls) {
      assertThrows(NullPointerException.class, call);
    }
  }

  @Test
  void readingAScreenThatIsNotSetUpThrowsIllegalState() {
    assertThrows(IllegalStateException.class, SimulatedDisplay::readScreen);
  }
}

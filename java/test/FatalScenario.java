/** A JVM whose display refuses every depth: set-up must end the process with exit code 1. */
public final class FatalScenario {
  public static void main(String[] args) {
    SimulatedDisplay.acceptDepths(new int[0]);
    SimulatedDisplay.addWindow("Fatal Window");
    Corvane.initScreen(640, 480, "Fatal Window");
    System.out.println("initScreen returned");
  }
}

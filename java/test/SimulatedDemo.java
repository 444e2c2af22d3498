import java.io.File;
import org.corvane.Screen;

/**
 * Runs a demo on the simulated display, with the window it takes over, and saves the final
 * screen: {@code java SimulatedDemo CorvaneDemo|CorvaneImageDemo [frames] [png]}. The demo's
 * frames run as in its main; the window is the simulated desktop's rather than an AWT frame.
 */
public final class SimulatedDemo {
  private SimulatedDemo() {}

  public static void main(String[] args) throws Exception {
    String demo = args.length > 0 ? args[0] : "CorvaneDemo";
    int frames = args.length > 1 ? Integer.parseInt(args[1]) : 300;
    File png = new File(args.length > 2 ? args[2] : "corvane-demo.png");
    run(demo, frames);
    SimulatedDisplay.savePng(png);
    System.out.println(demo + ": saved the final screen to " + png.getPath());
  }

  /** Adds the demo's window, takes it over as the demo's main does, and runs the demo. */
  static void run(String demo, int frames) {
    SimulatedDisplay.addWindow(CorvaneDemo.TITLE);
    switch (demo) {
      case "CorvaneDemo":
        CorvaneDemo.run(Screen.takeOver(CorvaneDemo.TITLE, 640, 480), frames);
        break;
      case "CorvaneImageDemo":
        CorvaneImageDemo.run(
            Screen.takeOver(CorvaneDemo.TITLE, CorvaneImageDemo.WIDTH, CorvaneImageDemo.HEIGHT),
            frames);
        break;
      default:
        throw new IllegalArgumentException("no demo named " + demo);
    }
  }
}

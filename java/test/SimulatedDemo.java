import java.io.File;

/**
 * Runs a demo on the simulated display, with the window it takes over, and saves the final
 * screen: {@code java SimulatedDemo CorvaneDemo|CorvaneImageDemo [frames] [png]}.
 */
public final class SimulatedDemo {
  private SimulatedDemo() {}

  public static void main(String[] args) throws Exception {
    String demo = args.length > 0 ? args[0] : "CorvaneDemo";
    String[] frames = {args.length > 1 ? args[1] : "300"};
    File png = new File(args.length > 2 ? args[2] : "corvane-demo.png");
    SimulatedDisplay.addWindow(CorvaneDemo.TITLE);
    switch (demo) {
      case "CorvaneDemo":
        CorvaneDemo.main(frames);
        break;
      case "CorvaneImageDemo":
        CorvaneImageDemo.main(frames);
        break;
      default:
        throw new IllegalArgumentException("no demo named " + demo);
    }
    SimulatedDisplay.savePng(png);
    System.out.println(demo + ": saved the final screen to " + png.getPath());
  }
}

import java.awt.Frame;
import java.awt.Toolkit;

/** An AWT frame set up at a mode larger than the X screen: the process must end with report 174. */
public final class X11FatalScenario {
  private X11FatalScenario() {}

  public static void main(String[] args) throws Exception {
    Frame frame = new Frame("Fatal Frame");
    frame.setSize(300, 200);
    frame.setVisible(true);
    Toolkit.getDefaultToolkit().sync();
    Thread.sleep(500);
    Corvane.initScreen(800, 600, "Fatal Frame");
    System.out.println("initScreen returned");
    System.exit(0);
  }
}

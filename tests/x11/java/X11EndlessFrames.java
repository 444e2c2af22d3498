import java.awt.Frame;
import java.awt.Toolkit;

/** Shows frames on an AWT frame until the process is ended from outside. */
public final class X11EndlessFrames {
  private X11EndlessFrames() {}

  public static void main(String[] args) throws Exception {
    Frame frame = new Frame("Endless Frame");
    frame.setSize(300, 200);
    frame.setVisible(true);
    Toolkit.getDefaultToolkit().sync();
    Thread.sleep(500);
    Corvane.initScreen(320, 200, "Endless Frame");
    int[] pixels = new int[320 * 200];
    for (long f = 0; ; f++) {
      java.util.Arrays.fill(pixels, (int) f * 0x010203);
      Corvane.pixelsToScreen(0, 0, 320, 200, pixels, 0, 320);
      if (f == 10) {
        System.out.println("showing frames");
      }
    }
  }
}

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/**
 * Fatal reports on a 640x480 X screen: a window titled "Corvane Native" shows the text until it is
 * clicked, standard error carries it, and the process ends with exit code 1.
 */
class X11FatalTest {
  static String run(String... command) throws IOException, InterruptedException {
    Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
    String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    assertTrue(p.waitFor(30, TimeUnit.SECONDS), String.join(" ", command));
    return out;
  }

  static Process start(String mainClass) throws IOException {
    String java = System.getProperty("java.home") + File.separator + "bin" + File.separator + "java";
    return new ProcessBuilder(
            java,
            "-cp",
            System.getProperty("corvane.testClassPath"),
            "-Djava.library.path=" + System.getProperty("java.library.path"),
            mainClass)
        .redirectOutput(ProcessBuilder.Redirect.PIPE)
        .redirectError(ProcessBuilder.Redirect.PIPE)
        .start();
  }

  /** Waits for the report window while the child lives; returns its id. */
  static String reportWindow(Process child) throws Exception {
    String box = "";
    for (int i = 0; i < 300 && box.isEmpty() && child.isAlive(); i++) {
      box = run("xdotool", "search", "--name", "^Corvane Native$").trim();
      Thread.sleep(100);
    }
    assertTrue(box.matches("[0-9]+"), "one report window: " + box);
    assertTrue(child.isAlive(), "the process waits while its report is shown");
    String name = run("xprop", "-id", box, "_NET_WM_NAME");
    assertTrue(name.contains("\"Corvane Native\""), name);
    return box;
  }

  /** Dismisses the report and returns the child's standard error, after checking exit code 1. */
  static String dismiss(Process child, String box) throws Exception {
    run("xdotool", "mousemove", "--window", box, "5", "5", "click", "1");
    assertTrue(child.waitFor(30, TimeUnit.SECONDS), "the process ended once the report was read");
    String out = new String(child.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    String err = new String(child.getErrorStream().readAllBytes(), StandardCharsets.UTF_8);
    assertEquals(1, child.exitValue(), out + err);
    return err;
  }

  @Test
  void aModeLargerThanTheScreenEndsWithReport174() throws Exception {
    Process child = start("X11FatalScenario");
    String box = reportWindow(child);
    // The cursor is shown again over the taken-over frame, outside the report.
    run("xdotool", "mousemove", "3", "3");
    Thread.sleep(200);
    assertEquals("visible\n", run(System.getProperty("corvane.probe"), "cursor"));
    String err = dismiss(child, box);
    assertTrue(
        err.contains("Error (Corvane line 174): Couldn't set display mode 800x600\n"), err);
  }

  @Test
  void aBrokenConnectionEndsWithAReportNotSilently() throws Exception {
    Process child = start("X11EndlessFrames");
    byte[] line = new byte["showing frames".length()];
    assertEquals(line.length, child.getInputStream().readNBytes(line, 0, line.length));
    // Close the library's own connection from outside: kill the client that
    // owns the window showing the frames, the one child of the toolkit's
    // content window.
    String tree = run("xwininfo", "-root", "-tree");
    int content = tree.indexOf("\"Content window\"");
    assertTrue(content >= 0, tree);
    java.util.regex.Matcher id =
        java.util.regex.Pattern.compile("0x[0-9a-f]+").matcher(tree.substring(content));
    assertTrue(id.find(), tree);
    run("xdotool", "windowkill", id.group());
    String err = dismiss(child, reportWindow(child));
    assertTrue(err.contains("Error (Corvane): the connection to the X display"), err);
    assertTrue(err.contains(" broke\n"), err);
  }
}

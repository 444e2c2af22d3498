import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/**
 * On a 640x480 X screen, a set-up at 800x600 ends the process with report 174: a window titled
 * "Corvane Native" shows the text until it is clicked, standard error carries it, exit code 1.
 */
class X11FatalTest {
  static String run(String... command) throws IOException, InterruptedException {
    Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
    String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    assertTrue(p.waitFor(30, TimeUnit.SECONDS), String.join(" ", command));
    return out;
  }

  @Test
  void aModeLargerThanTheScreenEndsWithReport174() throws Exception {
    String java = System.getProperty("java.home") + File.separator + "bin" + File.separator + "java";
    Process child =
        new ProcessBuilder(
                java,
                "-cp",
                System.getProperty("corvane.testClassPath"),
                "-Djava.library.path=" + System.getProperty("java.library.path"),
                "X11FatalScenario")
            .redirectOutput(ProcessBuilder.Redirect.PIPE)
            .redirectError(ProcessBuilder.Redirect.PIPE)
            .start();
    // The report waits on the screen until it is dismissed.
    String box = "";
    for (int i = 0; i < 300 && box.isEmpty() && child.isAlive(); i++) {
      box = run("xdotool", "search", "--name", "^Corvane Native$").trim();
      Thread.sleep(100);
    }
    assertTrue(box.matches("[0-9]+"), "one report window: " + box);
    assertTrue(child.isAlive(), "the process waits while its report is shown");
    String name = run("xprop", "-id", box, "_NET_WM_NAME");
    assertTrue(name.contains("\"Corvane Native\""), name);
    // The cursor is shown again over the taken-over frame, outside the report.
    run("xdotool", "mousemove", "3", "3");
    Thread.sleep(200);
    assertEquals("visible\n", run(System.getProperty("corvane.probe"), "cursor"));

    run("xdotool", "mousemove", "--window", box, "5", "5", "click", "1");
    assertTrue(child.waitFor(30, TimeUnit.SECONDS), "the process ended once the report was read");
    String out = new String(child.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    String err = new String(child.getErrorStream().readAllBytes(), StandardCharsets.UTF_8);
    assertEquals(1, child.exitValue(), out + err);
    assertTrue(
        err.contains("Error (Corvane line 174): Couldn't set display mode 800x600\n"), err);
    assertTrue(!out.contains("initScreen returned"), out);
  }
}

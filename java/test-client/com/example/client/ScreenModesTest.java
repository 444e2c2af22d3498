package com.example.client;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/**
 * The display mode a Screen reports is the one the library set, for requests at, between and
 * beyond the modes: each in a child JVM, as a process takes over once.
 */
class ScreenModesTest {
  @Test
  void theScreenKnowsTheModeTheLibrarySet() throws Exception {
    // request width, height, expected mode width, height
    int[][] cases = {
      {320, 200, 320, 200},
      {0, 0, 320, 200},
      {321, 200, 512, 384},
      {320, 400, 320, 400},
      {320, 401, 640, 480},
      {641, 480, 800, 600},
      {800, 600, 800, 600},
      {801, 600, 1024, 768},
      {-5, 700, 1024, 768},
    };
    String java =
        System.getProperty("java.home") + File.separator + "bin" + File.separator + "java";
    for (int[] c : cases) {
      Process p =
          new ProcessBuilder(
                  java,
                  "-cp",
                  System.getProperty("corvane.testClassPath"),
                  "-Djava.library.path=" + System.getProperty("java.library.path"),
                  ModeProbe.class.getName(),
                  Integer.toString(c[0]),
                  Integer.toString(c[1]))
              .redirectErrorStream(true)
              .start();
      String output = readAll(p.getInputStream());
      assertTrue(p.waitFor(60, TimeUnit.SECONDS), "the child JVM ended");
      String mode = c[2] + "x" + c[3];
      assertEquals(
          "screen " + mode + " display " + mode + "\n", output, c[0] + "x" + c[1] + " requested");
    }
  }

  private static String readAll(InputStream in) throws Exception {
    ByteArrayOutputStream out = new ByteArrayOutputStream();
    byte[] chunk = new byte[4096];
    for (int n; (n = in.read(chunk)) != -1; ) {
      out.write(chunk, 0, n);
    }
    return new String(out.toByteArray(), StandardCharsets.UTF_8);
  }
}

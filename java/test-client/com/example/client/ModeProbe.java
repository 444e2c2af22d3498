package com.example.client;

import org.corvane.Screen;

/**
 * Takes over a simulated window for the frame size given as arguments and prints the display
 * mode as the Screen knows it and as the display has it: {@code screen WxH display WxH}.
 */
public final class ModeProbe {
  private ModeProbe() {}

  public static void main(String[] args) {
    Simulated.addWindow("Mode Probe");
    int width = Integer.parseInt(args[0]);
    int height = Integer.parseInt(args[1]);
    Screen screen = Screen.takeOver("Mode Probe", width, height);
    System.out.println(
        "screen "
            + screen.width()
            + "x"
            + screen.height()
            + " display "
            + Simulated.width()
            + "x"
            + Simulated.height());
  }
}

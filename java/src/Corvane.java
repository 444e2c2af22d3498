import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.Arrays;
import java.util.Locale;

/**
 * Full-screen output through the native library CorvaneNative.
 *
 * <p>{@link #initScreen} takes over a top-level window by its exact title and switches the
 * display into full-screen mode; {@link #pixelsToScreen} then shows one frame of ARGB pixels per
 * call, centred on the screen.
 *
 * <p>Both methods may be called from any thread. Calls are serialised: while one call runs, a
 * call from another thread waits until it has returned. A call made from inside another on the
 * same thread (a window procedure run during set-up) throws {@link IllegalStateException}.
 */
public final class Corvane {
  static final String LIBRARY = "CorvaneNative";

  /** Where the native library came from: "java.library.path" or the extracted file. */
  static String loadedFrom;

  static {
    load();
  }

  private Corvane() {}

  /**
   * Takes over the top-level window titled {@code title} and enters full-screen mode at the
   * smallest display mode that holds {@code width} x {@code height}.
   *
   * @param width the widest frame the program will show, in pixels
   * @param height the tallest frame the program will show, in pixels
   * @param title the exact title of the window to take over
   * @throws NullPointerException if {@code title} is null
   * @throws IllegalStateException if no window bears the title, or the screen is already set up
   */
  public static native void initScreen(int width, int height, String title);

  /**
   * Shows one frame: {@code height} rows of {@code width} ARGB pixels, row r starting at {@code
   * pixels[offset + r * scansize]}, centred on the screen. {@code x} and {@code y} are not used.
   *
   * @param x not used
   * @param y not used
   * @param width pixels per row
   * @param height rows
   * @param pixels the frame's ARGB pixels
   * @param offset the index in {@code pixels} of the frame's top-left pixel
   * @param scansize the distance in elements from the start of one row to the start of the next
   * @throws IllegalStateException if the screen is not set up
   * @throws NullPointerException if {@code pixels} is null
   * @throws IllegalArgumentException if the frame is larger than the display mode
   * @throws ArrayIndexOutOfBoundsException if a row lies outside {@code pixels}
   */
  public static native void pixelsToScreen(
      int x, int y, int width, int height, int[] pixels, int offset, int scansize);

  /** Makes sure the native library is loaded (the class's initialiser does it). */
  static void ensureLoaded() {}

  private static void load() {
    UnsatisfiedLinkError notOnLibraryPath;
    try {
      System.loadLibrary(LIBRARY);
      loadedFrom = "java.library.path";
      return;
    } catch (UnsatisfiedLinkError e) {
      notOnLibraryPath = e; // fall back to the native carried inside the jar
    }
    String platform;
    try {
      platform = platform();
    } catch (UnsatisfiedLinkError unsupported) {
      unsupported.addSuppressed(notOnLibraryPath);
      throw unsupported;
    }
    String file = System.mapLibraryName(LIBRARY);
    String resource = "/natives/" + platform + "/" + file;
    try (InputStream in = Corvane.class.getResourceAsStream(resource)) {
      if (in == null) {
        UnsatisfiedLinkError error =
            new UnsatisfiedLinkError(
                "no " + file + " on java.library.path and none for " + platform + " in the jar");
        error.addSuppressed(notOnLibraryPath);
        throw error;
      }
      Path target = extract(readAll(in), file);
      try {
        System.load(target.toString());
      } catch (UnsatisfiedLinkError notLoadable) {
        notLoadable.addSuppressed(notOnLibraryPath);
        throw notLoadable;
      }
      loadedFrom = target.toString();
    } catch (IOException | NoSuchAlgorithmException e) {
      UnsatisfiedLinkError error = new UnsatisfiedLinkError("cannot extract " + resource);
      error.initCause(e);
      error.addSuppressed(notOnLibraryPath);
      throw error;
    }
  }

  private static byte[] readAll(InputStream in) throws IOException {
    ByteArrayOutputStream out = new ByteArrayOutputStream(1 << 20);
    byte[] chunk = new byte[1 << 16];
    for (int n; (n = in.read(chunk)) != -1; ) {
      out.write(chunk, 0, n);
    }
    return out.toByteArray();
  }

  /**
   * Writes the native into a folder of the temporary directory named after its content, or reuses
   * the copy already there. A loaded DLL cannot be deleted on Windows, so rather than leaving a new
   * copy behind on every run, every run of the same native shares one.
   */
  private static Path extract(byte[] bytes, String file)
      throws IOException, NoSuchAlgorithmException {
    byte[] digest = MessageDigest.getInstance("SHA-256").digest(bytes);
    // Per user, so that users sharing one temporary directory do not share files.
    String user = System.getProperty("user.name", "user").replaceAll("[^A-Za-z0-9_.-]", "_");
    StringBuilder name = new StringBuilder("corvane-").append(user).append('-');
    for (int i = 0; i < 8; i++) {
      name.append(String.format("%02x", digest[i]));
    }
    Path dir = Paths.get(System.getProperty("java.io.tmpdir")).resolve(name.toString());
    Path target = dir.resolve(file).toAbsolutePath();
    if (Files.isRegularFile(target) && Arrays.equals(Files.readAllBytes(target), bytes)) {
      return target;
    }
    Files.createDirectories(dir);
    Path partial = Files.createTempFile(dir, file, ".part");
    try {
      Files.write(partial, bytes);
      Files.move(
          partial, target, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
    } catch (IOException e) {
      // Another process may hold the existing copy loaded; it is the same file.
      Files.deleteIfExists(partial);
      if (!(Files.isRegularFile(target) && Arrays.equals(Files.readAllBytes(target), bytes))) {
        throw e;
      }
    }
    return target;
  }

  /** The jar's name for the running OS and architecture, e.g. "windows-x64". */
  static String platform() {
    String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
    String arch = System.getProperty("os.arch", "").toLowerCase(Locale.ROOT);
    String name = null;
    if (os.startsWith("windows")) {
      if (arch.equals("x86") || arch.equals("i386") || arch.equals("i686")) {
        name = "windows-x86";
      } else if (arch.equals("amd64") || arch.equals("x86_64")) {
        name = "windows-x64";
      }
    } else if (os.startsWith("linux") && (arch.equals("amd64") || arch.equals("x86_64"))) {
      name = "linux-x64";
    }
    if (name == null) {
      throw new UnsatisfiedLinkError(
          "CorvaneNative does not support "
              + System.getProperty("os.name")
              + " on "
              + System.getProperty("os.arch")
              + "; supported: windows-x86, windows-x64, linux-x64 (X11)");
    }
    return name;
  }
}

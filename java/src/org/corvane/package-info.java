/**
 * Full-screen output for Java programs: {@link org.corvane.Screen} takes over a window by its title
 * and shows frames of ARGB pixels; {@link org.corvane.ScreenConsumer} shows the frames of any
 * {@link java.awt.image.ImageProducer}, such as a {@link java.awt.image.MemoryImageSource}.
 *
 * <p>Both reach the native library CorvaneNative through the class {@code Corvane} of the
 * unnamed package, which the jar carries beside them and which loads the native for the running
 * platform. Put the jar on the class path: the module system refuses a jar that holds a class of
 * the unnamed package, so it cannot go on the module path.
 *
 * <p>Calls from several threads are safe and serialised: a second caller waits until the first
 * returns.
 */
package org.corvane;

# The X11 platform in a real JVM with a real AWT frame on a real X server:
# each scenario in a JVM and on an Xvfb of its own (tests/x11/on-xvfb), with
# and without a window manager. Uses the X11 build of the library given by
# CORVANE_LINUX_X64_LIB and the classes of the Java build.
if(NOT CORVANE_LINUX_X64_LIB)
  return()
endif()

add_executable(corvane_x11_probe ${CMAKE_CURRENT_LIST_DIR}/probe.cpp)
target_link_libraries(corvane_x11_probe PRIVATE X11::X11 X11::Xfixes)

set(x11_classes ${CMAKE_BINARY_DIR}/java/classes)
set(x11_test_classes ${CMAKE_BINARY_DIR}/x11-test-classes)
file(GLOB x11_java_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/java/*.java)
add_custom_command(
  OUTPUT ${x11_test_classes}/X11ScreenTest.class
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${x11_test_classes}
  COMMAND ${Java_JAVAC_EXECUTABLE} --release 17 -Xlint:all -Werror
          -cp ${x11_classes}:/usr/share/java/junit-jupiter-api.jar -d ${x11_test_classes} ${x11_java_tests}
  DEPENDS ${x11_java_tests}
  COMMENT "Compiling the X11 JVM tests")
add_custom_target(corvane_x11_jvm_tests ALL DEPENDS ${x11_test_classes}/X11ScreenTest.class)
add_dependencies(corvane_x11_jvm_tests corvane_java)

get_filename_component(x11_library_dir "${CORVANE_LINUX_X64_LIB}" DIRECTORY)
set(on_xvfb ${CMAKE_CURRENT_LIST_DIR}/on-xvfb)
set(x11_java java -Djava.library.path=${x11_library_dir}
    -Dcorvane.probe=$<TARGET_FILE:corvane_x11_probe>
    -Dcorvane.testClassPath=${x11_classes}:${x11_test_classes})
set(x11_junit -jar /usr/share/java/junit-platform-console-standalone.jar
    --disable-banner --disable-ansi-colors --fail-if-no-tests --details=tree
    --class-path ${x11_classes}:${x11_test_classes})

# name, screen, window manager, where the 640x480 mode lands: scale, left, top
# (a name ending in .noshm: a server without MIT-SHM, as a remote display is)
set(x11_screens
  "plain 1024x768x24 none 1 192 144"
  "openbox 1024x768x24 openbox 1 192 144"
  "scale2 1280x960x24 openbox 2 0 0"
  "odd 1023x767x24 none 1 191 143"
  "depth16 800x600x16 none 1 80 60"
  "depth16.openbox 800x600x16 openbox 1 80 60"
  "scale2.noshm 1280x960x24 none 2 0 0"
  "depth16.noshm 800x600x16 none 1 80 60")
foreach(entry ${x11_screens})
  separate_arguments(fields UNIX_COMMAND "${entry}")
  list(GET fields 0 name)
  list(GET fields 1 screen)
  list(GET fields 2 wm)
  list(GET fields 3 scale)
  list(GET fields 4 left)
  list(GET fields 5 top)
  string(REGEX MATCH "[0-9]+$" depth "${screen}")
  set(server_args "")
  if(name MATCHES "noshm$")
    set(server_args "CORVANE_XVFB_ARGS=-extension MIT-SHM")
  endif()
  add_test(NAME x11.jvm.screen.${name}
    COMMAND env ${server_args} ${on_xvfb} ${screen} ${wm} ${x11_java}
            -Dcorvane.scale=${scale} -Dcorvane.left=${left} -Dcorvane.top=${top}
            -Dcorvane.depth=${depth} ${x11_junit} --select-class X11ScreenTest)
endforeach()
add_test(NAME x11.jvm.fatal
  COMMAND ${on_xvfb} 640x480x24 openbox ${x11_java} ${x11_junit} --select-class X11FatalTest)
add_test(NAME x11.jvm.nodisplay
  COMMAND env -u DISPLAY ${x11_java} -Djava.awt.headless=true ${x11_junit} --select-class X11NoDisplayTest)
set_tests_properties(x11.jvm.fatal x11.jvm.nodisplay PROPERTIES TIMEOUT 120)

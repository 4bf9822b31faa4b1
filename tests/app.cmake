# The application: text codec, log view, main window and its commands, the
# settings dialog and the standard dialogs.
quenza_add_test(TextCodecTest SOURCES TextCodecTest.cpp LIBS quenza_app)
quenza_add_test(LogViewTest GUI SOURCES LogViewTest.cpp support/AppFixture.cpp LIBS quenza_app)
quenza_add_test(Unit1Test GUI SOURCES Unit1Test.cpp support/AppFixture.cpp LIBS quenza_app)
quenza_add_test(Unit1CaptureTest GUI SOURCES Unit1CaptureTest.cpp support/AppFixture.cpp LIBS quenza_app)
quenza_add_test(AlertsTest GUI SOURCES AlertsTest.cpp support/AppFixture.cpp LIBS quenza_app TIMEOUT 120)
quenza_add_test(Unit1TrayTest GUI SOURCES Unit1TrayTest.cpp support/AppFixture.cpp LIBS quenza_app)
quenza_add_test(Unit1EditCommandsTest GUI SOURCES Unit1EditCommandsTest.cpp support/AppFixture.cpp LIBS quenza_app)
quenza_add_test(Unit1FileCommandsTest GUI SOURCES Unit1FileCommandsTest.cpp support/AppFixture.cpp
                LIBS quenza_app TIMEOUT 120)
quenza_add_test(Unit2Test GUI SOURCES Unit2Test.cpp LIBS quenza_app TIMEOUT 120)
quenza_add_test(FileDialogsTest GUI SOURCES FileDialogsTest.cpp LIBS quenza_app TIMEOUT 120)

# The settings dialog driven in the real program under Xvfb; skipped (77)
# where the X tools are missing.
add_test(NAME e2e_settings_dialog
         COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/e2e_settings_dialog.sh $<TARGET_FILE:quenza>
                 ${CMAKE_BINARY_DIR}/e2e_settings_dialog.png)
set_tests_properties(e2e_settings_dialog PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120 LABELS e2e)

# The font dialog: fixed-pitch faces only, opened on the view's font.
quenza_add_test(FontDialogTest GUI SOURCES FontDialogTest.cpp support/AppFixture.cpp LIBS quenza_app TIMEOUT 120)

# The desktop rules without Qt: where the settings file lives, where the window
# opens; the command line, with the real program run without a display.
quenza_add_test(DesktopTest SOURCES SettingsLocationTest.cpp WindowGeometryTest.cpp CommandLineTest.cpp
                LIBS quenza_desktop TIMEOUT 60)
target_compile_definitions(DesktopTest PRIVATE QUENZA_EXE="$<TARGET_FILE:quenza>")
add_dependencies(DesktopTest quenza)
# The main window as a desktop program: settings location, window placement,
# icon, and Japanese dialogs beside dates by LANG.
quenza_add_test(Unit1DesktopTest GUI SOURCES Unit1DesktopTest.cpp support/AppFixture.cpp LIBS quenza_app)

# What `cmake --install` puts in place: exactly the program and its desktop
# files, valid, and no test or benchmark.
add_test(NAME install_files COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check_install.sh ${CMAKE_BINARY_DIR}
                                         ${PROJECT_VERSION})
set_tests_properties(install_files PROPERTIES TIMEOUT 60)

# Find, filter, follow and colours: the matching logic alone, then the view,
# the engines and the main window's commands.
quenza_add_test(LineFilterTest SOURCES LineFilterTest.cpp LIBS quenza_app)
quenza_add_test(LiveViewTest GUI
  SOURCES LogViewFollowTest.cpp SeverityMarginTest.cpp ViewFindTest.cpp ViewFilterTest.cpp
          Unit1ViewCommandsTest.cpp support/AppFixture.cpp
  LIBS quenza_app TIMEOUT 300)
# Find and filter on worker threads while lines are appended and trimmed;
# labelled net so that `make tsan` runs it under ThreadSanitizer.
quenza_add_test(ViewSearchThreadsTest GUI SOURCES ViewSearchThreadsTest.cpp LIBS quenza_app LABELS net TIMEOUT 300)

# The file commands, their dialogs and the settings dialog.
find_package(Qt6 REQUIRED COMPONENTS Test)

quenza_add_test(Unit2Test GUI SOURCES Unit2Test.cpp LIBS quenza_app Qt6::Test TIMEOUT 120)
quenza_add_test(FileDialogsTest GUI SOURCES FileDialogsTest.cpp LIBS quenza_app Qt6::Test TIMEOUT 120)
quenza_add_test(Unit1FileCommandsTest GUI SOURCES Unit1FileCommandsTest.cpp support/AppFixture.cpp
                LIBS quenza_app Qt6::Test TIMEOUT 120)

# The settings dialog driven in the real program under Xvfb; skipped (77)
# where the X tools are missing.
add_test(NAME e2e_settings_dialog
         COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/e2e_settings_dialog.sh $<TARGET_FILE:quenza>
                 ${CMAKE_BINARY_DIR}/e2e_settings_dialog.png)
set_tests_properties(e2e_settings_dialog PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120 LABELS e2e)

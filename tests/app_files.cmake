# The file commands, their dialogs and the settings dialog.
find_package(Qt6 REQUIRED COMPONENTS Test)

quenza_add_test(Unit2Test GUI SOURCES Unit2Test.cpp LIBS quenza_app Qt6::Test TIMEOUT 120)
quenza_add_test(FileDialogsTest GUI SOURCES FileDialogsTest.cpp LIBS quenza_app Qt6::Test TIMEOUT 120)

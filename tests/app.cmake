# The spine: settings store, text codec, log view, main window.
quenza_add_test(SettingsStoreTest SOURCES SettingsStoreTest.cpp LIBS quenza_app)
quenza_add_test(TextCodecTest SOURCES TextCodecTest.cpp LIBS quenza_app)
quenza_add_test(LogViewTest GUI SOURCES LogViewTest.cpp support/AppFixture.cpp LIBS quenza_app)
quenza_add_test(Unit1Test GUI SOURCES Unit1Test.cpp support/AppFixture.cpp LIBS quenza_app)
include(${CMAKE_CURRENT_SOURCE_DIR}/app_files.cmake OPTIONAL)
quenza_add_test(Unit3Test GUI SOURCES Unit3Test.cpp support/AppFixture.cpp LIBS quenza_app)
quenza_add_test(Unit1EditCommandsTest GUI SOURCES Unit1EditCommandsTest.cpp support/AppFixture.cpp LIBS quenza_app)

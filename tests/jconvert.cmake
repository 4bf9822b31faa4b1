quenza_add_test(jconvertTest SOURCES jconvertTest.cpp LIBS quenza_jconvert TIMEOUT 60)
quenza_add_test(Utf8ToSjisTest SOURCES Utf8ToSjisTest.cpp LIBS quenza_jconvert TIMEOUT 300)
target_compile_definitions(Utf8ToSjisTest PRIVATE QUENZA_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")

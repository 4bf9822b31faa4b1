quenza_add_test(jconvertTest SOURCES jconvertTest.cpp LIBS quenza_jconvert TIMEOUT 60)

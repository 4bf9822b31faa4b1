# The line store, checked against a plain string model.
quenza_add_test(LogStoreTest SOURCES LogStoreTest.cpp LIBS quenza_logstore TIMEOUT 120)

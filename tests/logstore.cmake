# The line store, checked against a plain string model.
quenza_add_test(LogStoreTest SOURCES LogStoreTest.cpp LIBS quenza_logstore TIMEOUT 120)
# The view's grid: columns, wrap rows and words of a Shift_JIS line.
quenza_add_test(LineGridTest SOURCES LineGridTest.cpp LIBS quenza_logstore TIMEOUT 60)
# Files read into the store: breaks, encodings, several files, capacity.
quenza_add_test(FileLoaderTest SOURCES FileLoaderTest.cpp LIBS quenza_logstore LABELS threads TIMEOUT 120)

# The shared byte-level helpers: Shift_JIS text rules, integer texts, atomic file writes.
quenza_add_test(CommonTest SOURCES ShiftJisTextTest.cpp IntegerTextTest.cpp AtomicFileTest.cpp LIBS quenza_common TIMEOUT 60)

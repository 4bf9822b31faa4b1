# The receiver module alone, with a stand-in for the window: it links no Qt
# and nothing of the application.
quenza_add_test(Unit3Test SOURCES Unit3Test.cpp LIBS quenza_receiver LABELS net TIMEOUT 120)
quenza_add_test(LogFileWriterTest SOURCES LogFileWriterTest.cpp LIBS quenza_receiver LABELS net TIMEOUT 120)
quenza_add_test(CaptureStatusTest SOURCES CaptureStatusTest.cpp LIBS quenza_receiver TIMEOUT 60)
# Lines per second by severity and per sender, against streams with known arrival times.
quenza_add_test(CaptureStatsTest SOURCES CaptureStatsTest.cpp LIBS quenza_receiver TIMEOUT 60)
# The advice after a failed Begin log; one case starts the module on a taken port.
quenza_add_test(CaptureAdviceTest SOURCES CaptureAdviceTest.cpp LIBS quenza_receiver LABELS net TIMEOUT 60)
# The message record: headers, the display line made from it, the sender filter's terms.
quenza_add_test(SyslogRecordTest SOURCES SyslogRecordTest.cpp LIBS quenza_receiver TIMEOUT 60)
quenza_add_test(HostTermsTest SOURCES HostTermsTest.cpp LIBS quenza_receiver TIMEOUT 60)
# Encoding detection over the generated Japanese corpus.
quenza_add_test(JapaneseCodeDetectTest SOURCES JapaneseCodeDetectTest.cpp LIBS quenza_receiver TIMEOUT 300)
target_compile_definitions(JapaneseCodeDetectTest PRIVATE QUENZA_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
# Alert rules: matching, the rate limit, the program's arguments, the ALERT keys.
quenza_add_test(AlertRuleTest SOURCES AlertRuleTest.cpp LIBS quenza_receiver TIMEOUT 60)

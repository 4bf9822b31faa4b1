# The receiver module alone, with a stand-in for the window: it links no Qt
# and nothing of the application.
quenza_add_test(Unit3Test SOURCES Unit3Test.cpp LIBS quenza_receiver LABELS net TIMEOUT 120)
# The advice after a failed Begin log; one case starts the module on a taken port.
quenza_add_test(CaptureAdviceTest SOURCES CaptureAdviceTest.cpp LIBS quenza_receiver LABELS net TIMEOUT 60)

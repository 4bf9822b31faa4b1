# The receiver: datagrams from a separate sender process through the real
# receiver module into the real main window, and one datagram on its own.
quenza_add_bench(IngestBench GUI OWN_MAIN SOURCES IngestBench.cpp CaptureBenchSupport.cpp LIBS quenza_app)
add_dependencies(IngestBench IngestSender)
# The same against rsyslogd (Debian package rsyslog, run privately), one table.
quenza_add_bench(CaptureVsRsyslog GUI OWN_MAIN SOURCES CaptureVsRsyslog.cpp CaptureBenchSupport.cpp RsyslogPeer.cpp
                 LIBS quenza_app)
add_dependencies(CaptureVsRsyslog IngestSender)
# A long capture with the view's line limit and automatic log files: memory,
# the files' cost and contents, and what the limit costs per line.
quenza_add_bench(LongCaptureBench GUI OWN_MAIN SOURCES LongCaptureBench.cpp CaptureBenchSupport.cpp LIBS quenza_app)
add_dependencies(LongCaptureBench IngestSender)
# 1,000,000 messages over 4 TCP connections into the receiver module and into
# rsyslogd's imtcp (run privately), one table.
quenza_add_bench(CaptureTCPVsRsyslog OWN_MAIN SOURCES CaptureTCPVsRsyslog.cpp RsyslogPeer.cpp LIBS quenza_receiver)
# The message record and its display line against the line building before it.
quenza_add_bench(SyslogRecordBench SOURCES SyslogRecordBench.cpp LIBS quenza_receiver)
target_include_directories(SyslogRecordBench PRIVATE ${PROJECT_SOURCE_DIR}/tests)

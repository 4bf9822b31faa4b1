# The receiver: datagrams from a separate sender process through the real
# receiver module into the real main window, and one datagram on its own.
# The sender is also the end-to-end flood's, which may have defined it first.
if(NOT TARGET IngestSender)
  add_executable(IngestSender IngestSender.cpp)
  target_link_libraries(IngestSender PRIVATE project_warnings project_options)
  set_target_properties(IngestSender PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()
quenza_add_bench(IngestBench GUI OWN_MAIN SOURCES IngestBench.cpp CaptureBenchSupport.cpp LIBS quenza_app)
add_dependencies(IngestBench IngestSender)
# The same against rsyslogd (Debian package rsyslog, run privately), one table.
quenza_add_bench(CaptureVsRsyslog GUI OWN_MAIN SOURCES CaptureVsRsyslog.cpp CaptureBenchSupport.cpp LIBS quenza_app)
add_dependencies(CaptureVsRsyslog IngestSender)

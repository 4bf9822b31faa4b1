# The receiver: datagrams from a separate sender process through the real
# receiver module into the real main window, and one datagram on its own.
add_executable(IngestSender IngestSender.cpp)
target_link_libraries(IngestSender PRIVATE project_warnings project_options)
quenza_add_bench(IngestBench GUI OWN_MAIN SOURCES IngestBench.cpp LIBS quenza_app)
add_dependencies(IngestBench IngestSender)

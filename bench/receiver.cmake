# The receiver: datagrams from a separate sender process through the real
# receiver module into the real main window, and one datagram on its own.
quenza_add_bench(IngestBench GUI OWN_MAIN SOURCES IngestBench.cpp LIBS quenza_app)
add_dependencies(IngestBench IngestSender)

quenza_add_bench(LogViewBench GUI OWN_MAIN SOURCES LogViewBench.cpp LIBS quenza_app)
quenza_add_bench(LiveViewBench GUI OWN_MAIN SOURCES LiveViewBench.cpp LIBS quenza_app)

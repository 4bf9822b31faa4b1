quenza_add_bench(LogViewBench GUI OWN_MAIN SOURCES LogViewBench.cpp LIBS quenza_app)

quenza_add_bench(LogViewBench GUI SOURCES LogViewBench.cpp LIBS quenza_app)
quenza_add_bench(LiveViewBench GUI SOURCES LiveViewBench.cpp CaptureBenchSupport.cpp LIBS quenza_app)

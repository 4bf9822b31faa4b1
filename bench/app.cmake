quenza_add_bench(LogViewBench GUI SOURCES LogViewBench.cpp LIBS quenza_app)
quenza_add_bench(LiveViewBench GUI SOURCES LiveViewBench.cpp CaptureBenchSupport.cpp LIBS quenza_app)
# Opening 1,000,000- and 5,000,000-line files in the real window, each in a
# fresh process, against glogg and lnav (scripts/setup.sh bench), one table.
quenza_add_bench(OpenFileBench GUI OWN_MAIN SOURCES OpenFileBench.cpp CaptureBenchSupport.cpp LIBS quenza_app)
# Capture with 20 alert rules that match nothing against none, in one run.
quenza_add_bench(AlertIngestBench GUI OWN_MAIN SOURCES AlertIngestBench.cpp CaptureBenchSupport.cpp LIBS quenza_app)
add_dependencies(AlertIngestBench IngestSender)

# Networking benchmarks: the main-thread round trip under a Qt event loop, and
# a flood from a separate sender process through the real UDP server.
quenza_add_bench(SynchronizeBench SOURCES SynchronizeBench.cpp LIBS quenza_net Qt6::Core GUI OWN_MAIN)
quenza_add_bench(NetUDPServerBench SOURCES NetUDPServerBench.cpp LIBS quenza_net Qt6::Core OWN_MAIN)
# The sender (bench/IngestSender.cpp) is defined at the top, for the end-to-end runs too.
add_dependencies(NetUDPServerBench IngestSender)

# Networking benchmarks: the main-thread round trip under a Qt event loop.
quenza_add_bench(SynchronizeBench SOURCES SynchronizeBench.cpp LIBS quenza_net Qt6::Core GUI OWN_MAIN)
quenza_add_bench(NetUDPServerBench SOURCES NetUDPServerBench.cpp LIBS quenza_net)

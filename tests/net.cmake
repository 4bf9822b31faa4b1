# Networking tests. All of them use real sockets on 127.0.0.1 or real threads;
# they carry the label "net" so the ThreadSanitizer build can run just these.
quenza_add_test(NetStackTest SOURCES NetStackTest.cpp LIBS quenza_net LABELS net TIMEOUT 60)
quenza_add_test(NetThreadTest SOURCES NetThreadTest.cpp LIBS quenza_net LABELS net TIMEOUT 60)
quenza_add_test(SynchronizeTest SOURCES SynchronizeTest.cpp LIBS quenza_net LABELS net TIMEOUT 60)
quenza_add_test(NetReceiveQueueTest SOURCES NetReceiveQueueTest.cpp LIBS quenza_net LABELS net TIMEOUT 60)
quenza_add_test(NetUDPServerTest SOURCES NetUDPServerTest.cpp LIBS quenza_net LABELS net TIMEOUT 300)
quenza_add_test(NetFrameParserTest SOURCES NetFrameParserTest.cpp LIBS quenza_net)
quenza_add_test(NetTCPServerTest SOURCES NetTCPServerTest.cpp LIBS quenza_net LABELS net TIMEOUT 300)
quenza_add_test(NetTLSServerTest SOURCES NetTLSServerTest.cpp LIBS quenza_net PkgConfig::GNUTLS LABELS net TIMEOUT 300)
# Not "net": a load run, too slow for the sanitizer builds; ctest -L hostile.
quenza_add_test(NetStreamHostileTest SOURCES NetStreamHostileTest.cpp LIBS quenza_net LABELS hostile TIMEOUT 300)

# The pattern library: characters, scanner, parser, tree, preprocessor, dictionary.
quenza_add_test(sjRegExpParserTests
  SOURCES sjRegExpCharsTest.cpp sjRegExpScannerTest.cpp sjRegExpParserTest.cpp
          sjRegExpPreProcessorTest.cpp sjRegExpCharDicTest.cpp
  LIBS quenza_regexp
  TIMEOUT 120)

# Automata, search and the component, checked against a backtracking matcher.
quenza_add_test(sjRegExpMatchTests
  SOURCES sjRegExpDFATest.cpp TMatchCORETest.cpp TAWKStrTest.cpp sjRegExpDifferentialTest.cpp
  LIBS quenza_regexp
  TIMEOUT 300)

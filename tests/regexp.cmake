# The pattern library: characters, scanner, parser, tree, preprocessor, dictionary.
quenza_add_test(sjRegExpParserTests
  SOURCES sjRegExpCharsTest.cpp sjRegExpScannerTest.cpp sjRegExpParserTest.cpp
          sjRegExpPreProcessorTest.cpp sjRegExpCharDicTest.cpp
  LIBS quenza_regexp
  TIMEOUT 120)

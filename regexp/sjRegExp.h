// The pattern library sjRegExp: Shift_JIS-aware regular expressions with an
// AWK-style string component. Include this header; the stage headers below
// hold one step each (characters, scanner, tree, parser, preprocessor,
// dictionary, NFA, DFA, cache, search, the component).
#pragma once

#include "sjRegExpError.h"
#include "sjRegExpChars.h"
#include "sjRegExpScanner.h"
#include "sjRegExpParseTree.h"
#include "sjRegExpParser.h"
#include "sjRegExpPreProcessor.h"
#include "sjRegExpCharDic.h"
#include "sjRegExpNFA.h"
#include "sjRegExpDFA.h"
#include "sjRegExpRegularExpression.h"
#include "sjRegExpMatchCore.h"
#include "sjRegExpAWKStr.h"

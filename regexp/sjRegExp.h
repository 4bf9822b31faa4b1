// The pattern library sjRegExp: Shift_JIS-aware regular expressions with an
// AWK-style string component. Include this header; the stage headers below
// hold one step each (characters, scanner, tree, parser, preprocessor,
// dictionary, NFA, DFA, cache, search, the component).
#pragma once

#include "sjRegExpAWKStr.h"
#include "sjRegExpCharDic.h"
#include "sjRegExpChars.h"
#include "sjRegExpDFA.h"
#include "sjRegExpError.h"
#include "sjRegExpMatchCore.h"
#include "sjRegExpNFA.h"
#include "sjRegExpParseTree.h"
#include "sjRegExpParser.h"
#include "sjRegExpPreProcessor.h"
#include "sjRegExpRegularExpression.h"
#include "sjRegExpScanner.h"

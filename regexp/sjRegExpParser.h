// The parser: takes a (preprocessed) pattern text, gives a parse tree whose
// range leaves are pairwise disjoint. Recursive descent over the scanner's
// tokens: Expression = Term {'|' Term}; Term = empty | Factor {Factor};
// Factor = Primary ['*' | '+' | '?']; Primary = char | '(' Expression ')' |
// bracket expression | '.' | '^' | '$'. The rules a reader would miss: only
// one postfix operator per operand ("a**" is an error, not a double star), a
// negated bracket expression is computed here as ranges of the any-character
// set, never as a "not" node, and escapes reaching the automaton's reserved
// codes (0xFFFD and up) are clipped below them.
#pragma once

#include <string_view>

#include "sjRegExpParseTree.h"
#include "sjRegExpScanner.h"

namespace quenza {

class TREParser {
 public:
  explicit TREParser(std::string_view pattern) : scanner_(pattern) {}

  // Builds the tree; raises ERegExpParser on a syntax error.
  void Parse();

  TREParseTree& Tree() { return tree_; }
  const TREParseTree& Tree() const { return tree_; }

 private:
  TRENode* Expression();
  TRENode* Term();
  TRENode* Factor();
  TRENode* Primary();
  TRENode* BracketItems(TREParseTree& tree);
  TRENode* NegatedBracket();
  TRENode* LiteralRange(TREParseTree& tree, std::uint16_t low, std::uint16_t high);
  [[noreturn]] void Fail(const char* message) const;

  TREScanner scanner_;
  TREParseTree tree_;
  bool sawLiteralCandidates_ = false;
};

}  // namespace quenza

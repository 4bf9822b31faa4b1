#include "sjRegExpParser.h"

#include <utility>
#include <vector>

#include "sjRegExpError.h"

namespace quenza {

void TREParser::Fail(const char* message) const { throw ERegExpParser(message, scanner_.Position()); }

void TREParser::Parse() {
  tree_.Clear();
  sawLiteralCandidates_ = false;
  scanner_.SetText(std::string(scanner_.Text()));
  scanner_.GetToken();
  TRENode* root = Expression();
  tree_.SetRoot(root);
  if (scanner_.Token() != tkEnd) Fail(re_msg::kSurplus);
  if (sawLiteralCandidates_) {
    // A '^' or '$' that turns out not to anchor becomes the literal
    // character; its range must be split against the others like any leaf,
    // or the automaton would lose transitions to an overlapping label.
    tree_.MakeRange('^', '^');
    tree_.MakeRange('$', '$');
  }
  tree_.SplitRanges();
}

TRENode* TREParser::Expression() {
  TRENode* left = Term();
  while (scanner_.Token() == tkUnion) {
    scanner_.GetToken();
    TRENode* right = Term();
    left = tree_.MakeNode(opUnion, left, right);
  }
  return left;
}

namespace {
bool EndsTerm(TRETokenKind kind) { return kind == tkUnion || kind == tkRParen || kind == tkEnd; }
}  // namespace

TRENode* TREParser::Term() {
  if (EndsTerm(scanner_.Token())) return tree_.MakeNode(opEmpty, nullptr, nullptr);
  TRENode* left = Factor();
  while (!EndsTerm(scanner_.Token())) left = tree_.MakeNode(opConcat, left, Factor());
  return left;
}

TRENode* TREParser::Factor() {
  TRENode* p = Primary();
  switch (scanner_.Token()) {
    case tkStar:
      scanner_.GetToken();
      return tree_.MakeNode(opStar, p, nullptr);
    case tkPlus:
      scanner_.GetToken();
      return tree_.MakeNode(opConcat, p, tree_.MakeNode(opStar, p, nullptr));
    case tkQuestion:
      scanner_.GetToken();
      return tree_.MakeNode(opUnion, p, tree_.MakeNode(opEmpty, nullptr, nullptr));
    default:
      return p;
  }
}

TRENode* TREParser::Primary() {
  TRENode* result = nullptr;
  switch (scanner_.Token()) {
    case tkChar:
      result = LiteralRange(tree_, scanner_.Code(), scanner_.Code());
      scanner_.GetToken();
      return result;
    case tkLParen:
      scanner_.GetToken();
      result = Expression();
      if (scanner_.Token() != tkRParen) Fail(re_msg::kNeedRParen);
      scanner_.GetToken();
      return result;
    case tkLBracket:
      scanner_.GetToken();
      result = BracketItems(tree_);
      break;
    case tkNegLBracket:
      scanner_.GetToken();
      result = NegatedBracket();
      break;
    case tkDot:
      scanner_.GetToken();
      return tree_.MakeAnyChar();
    case tkLineHead:
      sawLiteralCandidates_ = true;
      result = tree_.MakeLineHead(scanner_.Code());
      scanner_.GetToken();
      return result;
    case tkLineTail:
      sawLiteralCandidates_ = true;
      result = tree_.MakeLineTail(scanner_.Code());
      scanner_.GetToken();
      return result;
    default:
      Fail(re_msg::kNeedOperand);
  }
  if (scanner_.Token() != tkRBracket) Fail(re_msg::kNeedRBracket);
  scanner_.GetToken();
  return result;
}

TRENode* TREParser::LiteralRange(TREParseTree& tree, std::uint16_t low, std::uint16_t high) {
  if (low > kHighestCharCode) return tree.MakeNode(opNever, nullptr, nullptr);
  return tree.MakeRange(low, high > kHighestCharCode ? kHighestCharCode : high);
}

// Items up to the closing ']', which stays the current token.
TRENode* TREParser::BracketItems(TREParseTree& tree) {
  if (scanner_.Token() == tkRBracket) Fail(re_msg::kBadClass);
  TRENode* result = nullptr;
  while (scanner_.Token() != tkRBracket) {
    const std::uint16_t low = scanner_.Code();
    const std::uint16_t high = scanner_.Token() == tkRange ? scanner_.RangeEnd() : low;
    TRENode* item = LiteralRange(tree, low, high);
    result = result == nullptr ? item : tree.MakeNode(opUnion, result, item);
    scanner_.GetToken();
  }
  return result;
}

TRENode* TREParser::NegatedBracket() {
  TREParseTree excluded;
  BracketItems(excluded);
  excluded.SplitRanges();

  TREParseTree any;
  any.MakeAnyChar();
  std::vector<std::pair<int, int>> working;
  for (const TRENode* leaf : any.Leaves()) working.emplace_back(leaf->low, leaf->high);

  for (const TRENode* e : excluded.Leaves()) {
    for (std::size_t k = 0; k < working.size();) {
      const auto [low, high] = working[k];
      if (high < e->low || low > e->high) {
        ++k;
        continue;
      }
      working.erase(working.begin() + static_cast<std::ptrdiff_t>(k));
      if (low < e->low) working.emplace_back(low, e->low - 1);
      if (high > e->high) working.emplace_back(e->high + 1, high);
    }
  }

  // Excluding everything leaves an operand that never matches.
  if (working.empty()) return tree_.MakeNode(opNever, nullptr, nullptr);
  TRENode* result = nullptr;
  for (const auto& [low, high] : working) {
    TRENode* item = tree_.MakeRange(static_cast<std::uint16_t>(low), static_cast<std::uint16_t>(high));
    result = result == nullptr ? item : tree_.MakeNode(opUnion, result, item);
  }
  return result;
}

}  // namespace quenza

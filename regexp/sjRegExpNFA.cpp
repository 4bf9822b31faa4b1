#include "sjRegExpNFA.h"

#include "Exception.h"

namespace quenza {

namespace {
// The parser writes p+ as p followed by p*, both reading the same subtree.
bool IsPlus(const TRENode* node) {
  return node->kind == opConcat && node->right != nullptr && node->right->kind == opStar &&
         node->right->left == node->left;
}
}  // namespace

void TRE_NFA::Build() {
  states_.clear();
  beginsWithLineHead_ = false;
  endsWithLineTail_ = false;
  NewState();  // start
  NewState();  // final
  GenerateStateList(parser_.Tree().Root(), StartIndex(), FinalIndex());
}

int TRE_NFA::NewState() {
  states_.emplace_back();
  return static_cast<int>(states_.size()) - 1;
}

void TRE_NFA::Add(int from, std::uint32_t label, int to) { states_[from].push_back(TRE_NFATransition{label, to}); }

void TRE_NFA::GenerateStateList(const TRENode* node, int from, int to) {
  switch (node->kind) {
    case opCharRange:
      Add(from, MakeLabel(node->low, node->high), to);
      return;
    case opLineHead:
      if (from == StartIndex()) {
        beginsWithLineHead_ = true;
        Add(from, MakeLabel(lineHeadCode_, lineHeadCode_), to);
      } else {
        Add(from, MakeLabel(node->low, node->high), to);
      }
      return;
    case opLineTail:
      if (to == FinalIndex()) {
        endsWithLineTail_ = true;
        Add(from, MakeLabel(lineTailCode_, lineTailCode_), to);
      } else {
        Add(from, MakeLabel(node->low, node->high), to);
      }
      return;
    case opConcat: {
      if (IsPlus(node) && from != StartIndex()) {
        // p+ away from the start: no anchor inside p can anchor in either
        // copy, so one copy with a loop reads the same language, and nested
        // '+' no longer doubles the automaton once per level.
        GenerateLoop(node->left, from, to, false);
        return;
      }
      const int c = NewState();
      GenerateStateList(node->left, from, c);
      GenerateStateList(node->right, c, to);
      return;
    }
    case opUnion:
      GenerateStateList(node->left, from, to);
      GenerateStateList(node->right, from, to);
      return;
    case opStar:
      GenerateLoop(node->left, from, to, true);
      return;
    case opEmpty:
      Add(from, kEmptyLabel, to);
      return;
    case opNever:
      return;  // no way from `from` to `to`
  }
  throw Exception("This cannot happen in TRE_NFA.GenerateStateList");
}

void TRE_NFA::GenerateLoop(const TRENode* body, int from, int to, bool skippable) {
  const int c = NewState();
  const int d = NewState();
  Add(from, kEmptyLabel, c);
  GenerateStateList(body, c, d);
  Add(d, kEmptyLabel, c);
  Add(skippable ? c : d, kEmptyLabel, to);
}

}  // namespace quenza

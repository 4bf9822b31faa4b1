#include "sjRegExpDFA.h"

#include <algorithm>

namespace quenza {

int TRE_DFA::WalkTransitions(const TRE_DFAState& state, std::uint16_t code) {
  if (code == 0) return kNone;  // the end of the text
  for (const TRE_DFATransition& t : state.transitions) {
    if (t.low > code) return kNone;
    if (t.high >= code) return t.target;
  }
  return kNone;
}

// Adds every state reachable by empty transitions, depth first.
void TRE_DFA::Close(TRE_NFAStateSet& set) const {
  std::vector<int> stack;
  for (int s = 0; s < nfa_->StateCount(); ++s) {
    if (!set.Has(s)) continue;
    stack.push_back(s);
    while (!stack.empty()) {
      const int from = stack.back();
      stack.pop_back();
      const auto& transitions = nfa_->Transitions(from);
      for (auto t = transitions.rbegin(); t != transitions.rend(); ++t) {
        if (IsEmptyLabel(t->label) && !set.Has(t->target)) {
          set.Include(t->target);
          stack.push_back(t->target);
        }
      }
    }
  }
}

int TRE_DFA::FindOrAdd(TRE_NFAStateSet set) {
  for (std::size_t k = 0; k < states_.size(); ++k)
    if (states_[k]->set == set) return static_cast<int>(k);
  auto state = std::make_unique<TRE_DFAState>(std::move(set));
  state->final = state->set.Has(nfa_->FinalIndex());
  states_.push_back(std::move(state));
  return static_cast<int>(states_.size()) - 1;
}

void TRE_DFA::Build() {
  states_.clear();
  beginsWithLineHead_ = nfa_->BeginsWithLineHead();
  endsWithLineTail_ = nfa_->EndsWithLineTail();
  lineHeadCode_ = nfa_->LineHeadCode();
  lineTailCode_ = nfa_->LineTailCode();
  const int nfaStates = nfa_->StateCount();

  TRE_NFAStateSet start(nfaStates);
  start.Include(nfa_->StartIndex());
  Close(start);
  FindOrAdd(std::move(start));

  struct Group {
    std::uint32_t label;
    TRE_NFAStateSet set;
  };
  std::vector<Group> groups;  // newest at the back; used front to back reversed
  for (std::size_t current = 0; current < states_.size(); ++current) {
    states_[current]->processed = true;
    groups.clear();
    for (int s = 0; s < nfaStates; ++s) {
      if (!states_[current]->set.Has(s)) continue;
      const auto& transitions = nfa_->Transitions(s);
      for (auto t = transitions.rbegin(); t != transitions.rend(); ++t) {
        if (IsEmptyLabel(t->label)) continue;
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const Group& g) { return g.label == t->label; });
        if (group == groups.end()) {
          groups.push_back(Group{t->label, TRE_NFAStateSet(nfaStates)});
          group = groups.end() - 1;
        }
        group->set.Include(t->target);
      }
    }
    for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
      Close(g->set);
      const int target = FindOrAdd(std::move(g->set));
      states_[current]->transitions.push_back(
          TRE_DFATransition{LabelLow(g->label), LabelHigh(g->label), target});
    }
  }

  for (auto& state : states_) {
    std::stable_sort(state->transitions.begin(), state->transitions.end(),
                     [](const TRE_DFATransition& a, const TRE_DFATransition& b) { return a.low < b.low; });
    for (int code = 0; code < 256; ++code)
      state->byteNext[static_cast<std::size_t>(code)] = WalkTransitions(*state, static_cast<std::uint16_t>(code));
  }
  nfa_ = nullptr;
}

}  // namespace quenza

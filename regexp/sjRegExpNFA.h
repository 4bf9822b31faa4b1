// The NFA: takes a finished parse tree, gives a nondeterministic automaton
// with state 0 as start and state 1 as final, transitions labelled by the
// tree's disjoint ranges or by three special labels (empty, line head, line
// tail). The rule a reader would miss: '^' anchors only on a transition that
// leaves the start state and '$' only on one that enters the final state;
// anywhere else they are the literal characters. And because '+' shares its
// operand, the operand is generated twice (with states of its own each time)
// when it leaves the start state, where its first copy may anchor; anywhere
// else once, with a loop, so that nested '+' cannot double the states once
// per level.
#pragma once

#include <cstdint>
#include <vector>

#include "sjRegExpParser.h"

namespace quenza {

// A label is (low, high) in one word, low in the lower half.
inline constexpr std::uint32_t MakeLabel(std::uint16_t low, std::uint16_t high) {
  return static_cast<std::uint32_t>(high) << 16 | low;
}
inline constexpr std::uint16_t LabelLow(std::uint32_t label) { return label & 0xFFFF; }
inline constexpr std::uint16_t LabelHigh(std::uint32_t label) { return label >> 16; }
inline constexpr std::uint32_t kEmptyLabel = 0xFFFFFFFF;
inline constexpr bool IsEmptyLabel(std::uint32_t label) { return LabelLow(label) == 0xFFFF; }

struct TRE_NFATransition {
  std::uint32_t label;
  int target;
};

class TRE_NFA {
 public:
  TRE_NFA(const TREParser& parser, std::uint16_t lineTailCode, std::uint16_t lineHeadCode)
      : parser_(parser), lineTailCode_(lineTailCode), lineHeadCode_(lineHeadCode) {}

  void Build();

  int StateCount() const { return static_cast<int>(states_.size()); }
  // Transitions of a state.
  const std::vector<TRE_NFATransition>& Transitions(int state) const { return states_[state]; }
  int StartIndex() const { return 0; }
  int FinalIndex() const { return 1; }
  bool BeginsWithLineHead() const { return beginsWithLineHead_; }
  bool EndsWithLineTail() const { return endsWithLineTail_; }
  std::uint16_t LineHeadCode() const { return lineHeadCode_; }
  std::uint16_t LineTailCode() const { return lineTailCode_; }

 private:
  int NewState();
  void Add(int from, std::uint32_t label, int to);
  void GenerateStateList(const TRENode* node, int from, int to);
  // body in a loop between from and to: run at least once, or also not at all
  // when `skippable` (p* against p+).
  void GenerateLoop(const TRENode* body, int from, int to, bool skippable);

  const TREParser& parser_;
  std::uint16_t lineTailCode_;
  std::uint16_t lineHeadCode_;
  std::vector<std::vector<TRE_NFATransition>> states_;
  bool beginsWithLineHead_ = false;
  bool endsWithLineTail_ = false;
};

}  // namespace quenza

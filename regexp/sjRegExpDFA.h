// The DFA: takes an NFA, gives a deterministic automaton built eagerly and
// completely by subset construction, so a search never backtracks within
// one start position and allocates nothing. Moves are grouped by exact
// label, which is correct only because every range label is disjoint from
// every other (the parse tree's split). The rule a reader would miss: code 0
// is the end of the text and never takes a transition, whatever the labels
// say; and each state keeps a 256-entry table for single-byte codes beside
// its sorted transition list, so that ASCII text costs one lookup per byte.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "sjRegExpNFA.h"

namespace quenza {

class TRE_NFAStateSet {
 public:
  explicit TRE_NFAStateSet(int stateCount) : bits_(static_cast<std::size_t>(stateCount) / 8 + 1, 0) {}
  void Include(int state) { bits_[static_cast<std::size_t>(state) / 8] |= static_cast<std::uint8_t>(1u << (state % 8)); }
  bool Has(int state) const { return (bits_[static_cast<std::size_t>(state) / 8] >> (state % 8)) & 1u; }
  bool operator==(const TRE_NFAStateSet& other) const { return bits_ == other.bits_; }

 private:
  std::vector<std::uint8_t> bits_;
};

struct TRE_DFATransition {
  std::uint16_t low;
  std::uint16_t high;
  int target;
};

struct TRE_DFAState {
  explicit TRE_DFAState(TRE_NFAStateSet s) : set(std::move(s)) {}
  TRE_NFAStateSet set;
  bool processed = false;
  bool final = false;
  std::vector<TRE_DFATransition> transitions;  // sorted by low code once built
  std::array<std::int32_t, 256> byteNext{};    // NextState for codes 0 to 255
};

class TRE_DFA {
 public:
  explicit TRE_DFA(const TRE_NFA& nfa) : nfa_(&nfa) {}
  TRE_DFA(const TRE_DFA&) = delete;
  TRE_DFA& operator=(const TRE_DFA&) = delete;

  // Builds every reachable state; the NFA is not used afterwards.
  void Build();

  static constexpr int kNone = -1;
  int Initial() const { return 0; }
  int StateCount() const { return static_cast<int>(states_.size()); }
  const TRE_DFAState& State(int s) const { return *states_[static_cast<std::size_t>(s)]; }
  bool BeginsWithLineHead() const { return beginsWithLineHead_; }
  bool EndsWithLineTail() const { return endsWithLineTail_; }
  std::uint16_t LineHeadCode() const { return lineHeadCode_; }
  std::uint16_t LineTailCode() const { return lineTailCode_; }

  // The state reached from s on code, or kNone.
  int NextState(int s, std::uint16_t code) const {
    if (code < 256) return State(s).byteNext[code];
    return WalkTransitions(State(s), code);
  }

 private:
  static int WalkTransitions(const TRE_DFAState& state, std::uint16_t code);
  void Close(TRE_NFAStateSet& set) const;
  int FindOrAdd(TRE_NFAStateSet set);

  const TRE_NFA* nfa_;
  std::vector<std::unique_ptr<TRE_DFAState>> states_;
  bool beginsWithLineHead_ = false;
  bool endsWithLineTail_ = false;
  std::uint16_t lineHeadCode_ = 0;
  std::uint16_t lineTailCode_ = 0;
};

}  // namespace quenza

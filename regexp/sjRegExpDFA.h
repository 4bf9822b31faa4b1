// The DFA: takes an NFA, gives a deterministic automaton built lazily. A
// state is a set of NFA states; a transition is worked out (subset
// construction on demand) the first time a search asks for it, and states
// are found again by hash. The rules a reader would miss: the states live in
// a cache capped by one constant (kCacheBytes, states and their tables
// together), and when a new state would pass the cap every state but the
// initial one is dropped and building goes on, so a state index other than
// Initial() is valid only until the next NextState. The cost of a step is
// therefore bounded by the size of the NFA, never by the number of subsets.
// Code 0 is the end of the text and never takes a transition. Each state
// keeps a 256-entry table for single-byte codes beside a sorted list of
// ranges for the others, both filled one label at a time, so that ASCII
// text costs one lookup per byte once a state is warm. Labels are disjoint
// (the parser splits them), so a code belongs to at most one label.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sjRegExpNFA.h"

namespace quenza {

struct TRE_DFATransition {
  std::uint16_t low;
  std::uint16_t high;
  int target;  // TRE_DFA::kNone for a gap between labels
};

// A non-empty NFA transition.
struct TRE_NFAMove {
  std::uint16_t low;
  std::uint16_t high;
  int target;
  bool Has(std::uint16_t code) const { return low <= code && code <= high; }
};

class TRE_DFA {
 public:
  static constexpr int kNone = -1;
  // The cap on the state cache: some 3,000 states of a small pattern.
  static constexpr std::size_t kCacheBytes = std::size_t{2} << 20;

  explicit TRE_DFA(const TRE_NFA& nfa) : nfa_(&nfa) {}
  TRE_DFA(const TRE_DFA&) = delete;
  TRE_DFA& operator=(const TRE_DFA&) = delete;

  // Copies the NFA's moves and makes the initial state; the NFA is not used
  // afterwards.
  void Build();

  int Initial() const { return 0; }
  bool IsFinal(int s) const { return final_[static_cast<std::size_t>(s)] != 0; }
  // Whether s moves on the line-tail code, without building the target.
  bool MovesOnLineTail(int s) const { return states_[static_cast<std::size_t>(s)].movesOnLineTail; }
  bool BeginsWithLineHead() const { return beginsWithLineHead_; }
  bool EndsWithLineTail() const { return endsWithLineTail_; }
  std::uint16_t LineHeadCode() const { return lineHeadCode_; }
  std::uint16_t LineTailCode() const { return lineTailCode_; }

  // The state reached from s on code, or kNone. May build that state and
  // may drop the cache first (see above). Searching is logically read-only,
  // so the cache is mutable and this is const; one thread at a time.
  int NextState(int s, std::uint16_t code) const {
    const int t = KnownNextState(s, code);
    return t != kUnknown ? t : Resolve(s, code);
  }
  // Its fast half: the answer when the byte table already holds it, else
  // kUnknown (and NextState must work it out).
  static constexpr int kUnknown = -2;
  int KnownNextState(int s, std::uint16_t code) const { return FastTables().KnownNextState(s, code); }

  // The arrays behind IsFinal and KnownNextState, for a search's inner loop
  // to hold in registers: valid until a NextState that they could not
  // answer (which may grow or drop the cache).
  struct Tables {
    const std::uint8_t* finalFlags;
    const std::int16_t* byteNext;
    bool IsFinal(int s) const { return finalFlags[s] != 0; }
    int KnownNextState(int s, std::uint16_t code) const {
      return code < 256 ? byteNext[static_cast<std::size_t>(s) * 256 + code] : kUnknown;
    }
  };
  Tables FastTables() const { return Tables{final_.data(), byteNext_.data()}; }

  // For the search's tight loop over start positions that fail at once,
  // fixed at Build: whether the initial state moves on single-byte code b,
  // and whether the loop must stop at byte b to look closer (true where the
  // initial state moves, at every Shift_JIS lead byte, whose character is
  // read whole elsewhere, and at NUL, where the text ends).
  bool InitialMovesOnByte(unsigned char b) const { return initialMovesOnByte_[b]; }
  // Whether it moves on any double-byte code; most patterns start with ASCII.
  bool InitialMovesOnWide() const { return initialMovesOnWide_; }
  bool SkipStopsAtByte(unsigned char b) const { return skipStopsAtByte_[b]; }
  // The first position at or after `from` whose byte stops the skip, or the
  // text's size. Sixteen bytes at a time while they are ASCII and none is a
  // stop, when the ASCII stops are few (a pattern starting with a letter
  // folded to both cases has two).
  std::size_t SkipFrom(std::string_view text, std::size_t from) const;

  // The NFA underneath, for searches that simulate it directly.
  int NFAStateCount() const { return static_cast<int>(moveStart_.size()) - 1; }
  int NFAStart() const { return nfaStart_; }
  int NFAFinal() const { return nfaFinal_; }
  std::span<const TRE_NFAMove> NFAMoves(int q) const {
    return std::span(moves_).subspan(moveStart_[q], moveStart_[q + 1] - moveStart_[q]);
  }
  std::span<const int> NFAEmptyMoves(int q) const {
    return std::span(emptyMoves_).subspan(emptyStart_[q], emptyStart_[q + 1] - emptyStart_[q]);
  }
  bool NFAMovesOnLineTail(int q) const { return nfaMovesOnLineTail_[static_cast<std::size_t>(q)]; }

  // States built since Build, dropped ones included: what searches have
  // spent on subset construction.
  std::size_t StatesBuilt() const { return built_; }

  // Cache inspection and a smaller cap, for tests.
  int StateCountForTesting() const { return static_cast<int>(states_.size()); }
  std::size_t FlushCountForTesting() const { return flushes_; }
  void SetCacheBytesForTesting(std::size_t bytes) { cacheBytes_ = bytes < kCacheBytes ? bytes : kCacheBytes; }
  // Every label of s with its target (building them), sorted by low code.
  std::vector<TRE_DFATransition> TransitionsForTesting(int s) const;

 private:
  struct State {
    std::size_t hash = 0;
    std::size_t setBegin = 0;  // the NFA states, sorted, in members_
    std::size_t setSize = 0;
    bool movesOnLineTail = false;
    std::vector<TRE_DFATransition> wide;  // codes 256 and up, sorted, disjoint
  };
  // Beside each state, in arrays of their own so that a step is two loads:
  // its final flag and its row of 256 byte-table entries (kUnknown until
  // asked).
  static constexpr std::size_t kStateBytes = sizeof(State) + 256 * sizeof(std::int16_t) + 1;

  // The most states the cap lets in; a byte table entry holds any index.
  static constexpr std::size_t kMostStates = kCacheBytes / kStateBytes + 1;
  static_assert(kMostStates < 0x7FFF);

  int Resolve(int s, std::uint16_t code) const;
  // Fills scratch_ with the closed, sorted set s reaches on code (empty when
  // none) and [low, high] with the label holding code or the gap around it.
  void Step(int s, std::uint16_t code, std::uint16_t& low, std::uint16_t& high) const;
  void AddClosed(int q) const;
  int FindOrAdd() const;
  int Add(std::size_t hash) const;
  void Flush() const;
  void Rehash(std::size_t slots) const;
  std::span<const int> Members(const State& state) const {
    return std::span(members_).subspan(state.setBegin, state.setSize);
  }
  std::size_t StateBytes(std::size_t setSize) const { return kStateBytes + setSize * sizeof(int); }

  const TRE_NFA* nfa_;
  int nfaStart_ = 0;
  int nfaFinal_ = 1;
  std::vector<TRE_NFAMove> moves_;  // per NFA state, from moveStart_[q]
  std::vector<std::size_t> moveStart_;
  std::vector<int> emptyMoves_;
  std::vector<std::size_t> emptyStart_;
  std::vector<bool> nfaMovesOnLineTail_;
  bool beginsWithLineHead_ = false;
  bool endsWithLineTail_ = false;
  std::uint16_t lineHeadCode_ = 0;
  std::uint16_t lineTailCode_ = 0;
  std::size_t cacheBytes_ = kCacheBytes;
  std::array<bool, 256> initialMovesOnByte_{};
  bool initialMovesOnWide_ = false;
  std::array<bool, 256> skipStopsAtByte_{};
  // The ASCII stops but NUL, and whether they are few enough for the skip
  // sixteen bytes at a time.
  static constexpr std::size_t kMostWordStops = 4;
  std::vector<unsigned char> wordStops_;
  bool wordSkip_ = false;

  // The cache.
  mutable std::vector<State> states_;
  mutable std::vector<std::uint8_t> final_;
  mutable std::vector<std::int16_t> byteNext_;
  mutable std::vector<int> members_;
  mutable std::vector<int> slots_;  // open addressing over states_, kNone when free
  mutable std::size_t bytes_ = 0;
  mutable std::size_t flushes_ = 0;
  mutable std::size_t built_ = 0;

  // Scratch for Step.
  mutable std::vector<int> scratch_;
  mutable std::vector<int> stack_;
  mutable std::vector<std::uint32_t> mark_;
  mutable std::uint32_t generation_ = 0;
};

}  // namespace quenza

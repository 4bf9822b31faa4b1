#include "sjRegExpMatchCore.h"

#include <cstring>
#include <vector>

#include "sjRegExpChars.h"

namespace quenza {

namespace {

std::string_view UpToNul(std::string_view text) {
  // An empty view may hold no pointer at all, which memchr must not be given.
  if (text.empty()) return text;
  const void* nul = std::memchr(text.data(), 0, text.size());
  if (nul == nullptr) return text;
  return text.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
}

// Reads the character at p and moves p past it; 0 at the end of the text
// and at a NUL byte. A lead byte before a NUL is a character of its own, as
// at the end.
inline std::uint16_t NextChar(std::string_view text, std::size_t& p) {
  if (p >= text.size()) return 0;
  const auto b = static_cast<unsigned char>(text[p]);
  if (IsShiftJisLeadByte(b) && p + 1 < text.size() && text[p + 1] != '\0') {
    const auto trail = static_cast<unsigned char>(text[p + 1]);
    p += 2;
    return static_cast<std::uint16_t>(b << 8 | trail);
  }
  ++p;
  return b;
}

inline std::size_t NextStart(std::string_view text, std::size_t p) {
  NextChar(text, p);
  return p;
}

// Trying start positions one by one costs up to the rest of the text each,
// and a DFA that keeps meeting new sets of NFA states (dropping its cache
// again and again) costs a subset construction per byte. A search may spend
// this much work per byte of text, plus a little for short texts, counting
// a byte read by a run as 1 and a state built as kStateCost; past that it
// makes one pass with the NFA instead, which costs about one subset
// construction per byte without the hashing and the tables. The budget is
// looked at between runs and whenever a step misses the byte tables, never
// on the fast path.
constexpr std::size_t kWorkPerByte = 4;
constexpr std::size_t kFreeWork = 256;
constexpr std::size_t kStateCost = 64;

// One pass over the text with the NFA itself, every start position at once:
// each live NFA state remembers the leftmost start that reached it, since a
// later start in the same state can do no better from there. Threads are
// kept in order of their start, so the first one that accepts has the
// leftmost start; once a match is known, later starts are dropped and the
// pass goes on only to lengthen it. Linear in the text times the size of
// the NFA, and gives what trying start positions one by one gives, with the
// same seeds: the initial state at every start, plus the states after the
// line-head code at line heads when anchored, plus the initial state at the
// end of the text where the anchored search tries it.
std::optional<TMatchSpan> SimulateNFA(const TRE_DFA& dfa, std::string_view text, bool anchored,
                                      const TMatchCORE& core) {
  struct Thread {
    int state;
    std::size_t start;
  };
  const auto nfaStates = static_cast<std::size_t>(dfa.NFAStateCount());
  std::vector<std::uint32_t> mark(nfaStates, 0);
  std::uint32_t generation = 1;
  std::vector<int> stack;
  const auto add = [&](std::vector<Thread>& list, int q, std::size_t start) {
    if (mark[static_cast<std::size_t>(q)] == generation) return;
    mark[static_cast<std::size_t>(q)] = generation;
    list.push_back(Thread{q, start});
    stack.push_back(q);
    while (!stack.empty()) {
      const int from = stack.back();
      stack.pop_back();
      for (int to : dfa.NFAEmptyMoves(from)) {
        if (mark[static_cast<std::size_t>(to)] == generation) continue;
        mark[static_cast<std::size_t>(to)] = generation;
        list.push_back(Thread{to, start});
        stack.push_back(to);
      }
    }
  };

  std::vector<Thread> now, next;
  now.reserve(nfaStates);
  next.reserve(nfaStates);
  std::vector<int> headTargets;  // where the initial state goes on the line-head code
  if (anchored && dfa.BeginsWithLineHead()) {
    add(now, dfa.NFAStart(), 0);
    for (const Thread& t : now)
      for (const TRE_NFAMove& move : dfa.NFAMoves(t.state))
        if (move.Has(dfa.LineHeadCode())) headTargets.push_back(move.target);
    now.clear();
    ++generation;
  }

  std::optional<TMatchSpan> best;
  bool afterLF = false;
  for (std::size_t at = 0;;) {
    std::size_t cursor = at;
    const std::uint16_t c = NextChar(text, cursor);
    if (!best) {
      const bool lineHead = anchored && dfa.BeginsWithLineHead() && (at == 0 || afterLF);
      bool initial = at < text.size() || at == 0;
      if (anchored && !initial) initial = lineHead || dfa.EndsWithLineTail();
      if (initial) add(now, dfa.NFAStart(), at);
      if (lineHead)
        for (int q : headTargets) add(now, q, at);
    }
    const bool atLineTail = anchored && (c == 0 || core.IsLineTail(c));
    for (const Thread& t : now) {
      if (t.state == dfa.NFAFinal() || (atLineTail && dfa.NFAMovesOnLineTail(t.state))) {
        if (!best || t.start < best->start)
          best = TMatchSpan{t.start, at};
        else
          best->end = at;  // the same start, further on
        break;
      }
    }
    if (best) {
      while (!now.empty() && now.back().start > best->start) now.pop_back();
      if (now.empty()) break;
    }
    if (c == 0) break;
    ++generation;
    next.clear();
    for (const Thread& t : now)
      for (const TRE_NFAMove& move : dfa.NFAMoves(t.state))
        if (move.Has(c)) add(next, move.target, t.start);
    now.swap(next);
    afterLF = c == '\n';
    at = cursor;
  }
  return best;
}

}  // namespace

bool TMatchCORE::BudgetSpent(const TRE_DFA& dfa, std::string_view text, std::size_t steps,
                             std::size_t statesBefore) const {
  if (dfaOnlyForTesting_) return false;
  return steps + kStateCost * (dfa.StatesBuilt() - statesBefore) > kWorkPerByte * text.size() + kFreeWork;
}

std::ptrdiff_t TMatchCORE::MatchHere(std::string_view text, std::size_t p, int state) const {
  if (state == TRE_DFA::kNone) return kNoMatch;
  const TRE_DFA& dfa = CurrentDFA();
  std::ptrdiff_t result = kNoMatch;
  std::size_t cursor = p;
  for (;;) {
    const std::size_t at = cursor;
    const std::uint16_t c = NextChar(text, cursor);
    // '$' matches before any line-tail character and at the end, also where
    // the pattern could go on past that character, so check at every step.
    if (dfa.IsFinal(state) || ((c == 0 || IsLineTail(c)) && dfa.MovesOnLineTail(state))) {
      result = static_cast<std::ptrdiff_t>(at);
    }
    int next = dfa.KnownNextState(state, c);
    if (next < 0) {  // kNone or kUnknown: one test on the fast path
      if (next == TRE_DFA::kUnknown) {
        next = dfa.NextState(state, c);
        if (BudgetSpent(dfa, text, anchored_.steps, anchored_.statesBefore)) return kNoMatch;  // the caller sees it too
      }
      if (next == TRE_DFA::kNone) break;
    }
    state = next;
  }
  anchored_.steps += cursor - p;
  return result;
}

std::ptrdiff_t TMatchCORE::MatchAtLineHead(std::string_view text, std::size_t p, int state) const {
  const TRE_DFA& dfa = CurrentDFA();
  if (!dfa.BeginsWithLineHead()) return MatchHere(text, p, state);
  // Both ways are tried even when the anchored one fails: on an empty text no
  // later start position would give the unanchored alternatives a chance.
  const std::ptrdiff_t e1 = MatchHere(text, p, dfa.NextState(state, dfa.LineHeadCode()));
  const std::ptrdiff_t e2 = MatchHere(text, p, state);
  return e2 != kNoMatch && e2 >= e1 ? e2 : e1;
}

// The text ends at its first NUL, found as the search meets it rather than
// by a pass of its own: a run stops there (code 0 never moves the DFA), and
// so do start positions and the skip over them.
std::optional<TMatchSpan> TMatchCORE::SearchPlain(std::string_view text) const {
  const TRE_DFA& dfa = CurrentDFA();
  const int initial = dfa.Initial();
  const auto endsAt = [&](std::size_t p) { return p == text.size() || text[p] == '\0'; };
  if (endsAt(0)) {
    if (dfa.IsFinal(initial)) return TMatchSpan{0, 0};
    return std::nullopt;
  }
  const std::size_t statesBefore = dfa.StatesBuilt();
  std::size_t steps = 0;
  for (std::size_t s = 0; !endsAt(s); s = NextStart(text, s)) {
    if (!dfa.IsFinal(initial)) {
      // Most start positions fail on their first character: skip those in a
      // tight loop before running the automaton. The loop stops at a NUL too.
      std::size_t probe = s;
      for (;;) {
        probe = dfa.SkipFrom(text, probe);
        if (endsAt(probe)) return std::nullopt;
        const auto b = static_cast<unsigned char>(text[probe]);
        std::size_t next = probe;
        const std::uint16_t c = NextChar(text, next);
        if (c == b ? dfa.InitialMovesOnByte(b)
                   : dfa.InitialMovesOnWide() && dfa.NextState(initial, c) != TRE_DFA::kNone)
          break;
        probe = next;
      }
      s = probe;
    }
    int state = initial;
    std::size_t cursor = s;
    std::ptrdiff_t last = kNoMatch;
    TRE_DFA::Tables tables = dfa.FastTables();
    for (;;) {
      if (tables.IsFinal(state)) last = static_cast<std::ptrdiff_t>(cursor);
      const std::uint16_t c = NextChar(text, cursor);
      int next = tables.KnownNextState(state, c);
      if (next < 0) {  // kNone or kUnknown: one test on the fast path
        if (next == TRE_DFA::kUnknown) {
          next = dfa.NextState(state, c);
          tables = dfa.FastTables();
          if (BudgetSpent(dfa, text, steps, statesBefore)) return SimulateNFA(dfa, UpToNul(text), false, *this);
        }
        if (next == TRE_DFA::kNone) break;
      }
      state = next;
    }
    if (last != kNoMatch) return TMatchSpan{s, static_cast<std::size_t>(last)};
    steps += cursor - s;
    if (BudgetSpent(dfa, text, steps, statesBefore)) return SimulateNFA(dfa, UpToNul(text), false, *this);
  }
  return std::nullopt;
}

std::optional<TMatchSpan> TMatchCORE::SearchByNFAForTesting(std::string_view text, bool anchored) const {
  return SimulateNFA(CurrentDFA(), UpToNul(text), anchored, *this);
}

std::optional<TMatchSpan> TMatchCORE::SearchAnchored(std::string_view whole) const {
  const std::string_view text = UpToNul(whole);
  const TRE_DFA& dfa = CurrentDFA();
  anchored_ = Spending{0, dfa.StatesBuilt()};
  const std::ptrdiff_t end = MatchAtLineHead(text, 0, dfa.Initial());
  if (BudgetSpent(dfa, text, anchored_.steps, anchored_.statesBefore)) return SimulateNFA(dfa, text, true, *this);
  if (end != kNoMatch) return TMatchSpan{0, static_cast<std::size_t>(end)};
  return ScanAnchored(text);
}

std::optional<TMatchSpan> TMatchCORE::ScanAnchored(std::string_view text) const {
  const TRE_DFA& dfa = CurrentDFA();
  const int initial = dfa.Initial();
  for (std::size_t s = 0; s < text.size(); s = NextStart(text, s)) {
    std::ptrdiff_t end = MatchHere(text, s, initial);
    if (BudgetSpent(dfa, text, anchored_.steps, anchored_.statesBefore)) return SimulateNFA(dfa, text, true, *this);
    if (end != kNoMatch) return TMatchSpan{s, static_cast<std::size_t>(end)};
    if (text[s] == '\n' && dfa.BeginsWithLineHead()) {
      end = MatchAtLineHead(text, s + 1, initial);
      if (BudgetSpent(dfa, text, anchored_.steps, anchored_.statesBefore)) return SimulateNFA(dfa, text, true, *this);
      if (end != kNoMatch) return TMatchSpan{s + 1, static_cast<std::size_t>(end)};
    }
  }
  if (dfa.EndsWithLineTail() && dfa.MovesOnLineTail(initial)) return TMatchSpan{text.size(), text.size()};
  return std::nullopt;
}

}  // namespace quenza

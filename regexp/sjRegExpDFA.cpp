#include "sjRegExpDFA.h"

#include <algorithm>
#include <cstring>

#include "sjRegExpChars.h"

namespace quenza {

namespace {

std::size_t HashSet(std::span<const int> set) {
  std::size_t h = 0x9E3779B97F4A7C15u ^ set.size();
  for (int q : set) {
    h ^= static_cast<std::size_t>(q) + 0x9E3779B97F4A7C15u + (h << 6) + (h >> 2);
  }
  return h;
}

}  // namespace

void TRE_DFA::Build() {
  beginsWithLineHead_ = nfa_->BeginsWithLineHead();
  endsWithLineTail_ = nfa_->EndsWithLineTail();
  lineHeadCode_ = nfa_->LineHeadCode();
  lineTailCode_ = nfa_->LineTailCode();
  nfaStart_ = nfa_->StartIndex();
  nfaFinal_ = nfa_->FinalIndex();

  const int nfaStates = nfa_->StateCount();
  moves_.clear();
  emptyMoves_.clear();
  moveStart_.assign(1, 0);
  emptyStart_.assign(1, 0);
  nfaMovesOnLineTail_.assign(static_cast<std::size_t>(nfaStates), false);
  for (int q = 0; q < nfaStates; ++q) {
    for (const TRE_NFATransition& t : nfa_->Transitions(q)) {
      if (IsEmptyLabel(t.label)) {
        emptyMoves_.push_back(t.target);
      } else {
        moves_.push_back(TRE_NFAMove{LabelLow(t.label), LabelHigh(t.label), t.target});
        if (moves_.back().Has(lineTailCode_)) nfaMovesOnLineTail_[static_cast<std::size_t>(q)] = true;
      }
    }
    moveStart_.push_back(moves_.size());
    emptyStart_.push_back(emptyMoves_.size());
  }
  nfa_ = nullptr;

  mark_.assign(static_cast<std::size_t>(nfaStates), 0);
  generation_ = 0;
  states_.clear();
  final_.clear();
  byteNext_.clear();
  members_.clear();
  slots_.assign(16, kNone);
  bytes_ = 0;
  flushes_ = 0;
  built_ = 0;

  ++generation_;
  scratch_.clear();
  AddClosed(nfaStart_);
  std::sort(scratch_.begin(), scratch_.end());
  FindOrAdd();  // the initial state, index 0 for good

  initialMovesOnByte_.fill(false);
  initialMovesOnWide_ = false;
  for (int q : Members(states_.front())) {
    for (const TRE_NFAMove& move : NFAMoves(q)) {
      for (int c = std::max<int>(move.low, 1); c <= std::min<int>(move.high, 255); ++c)
        initialMovesOnByte_[static_cast<std::size_t>(c)] = true;
      initialMovesOnWide_ = initialMovesOnWide_ || move.high >= 256;
    }
  }
  for (int b = 0; b < 256; ++b)
    skipStopsAtByte_[static_cast<std::size_t>(b)] =
        initialMovesOnByte_[static_cast<std::size_t>(b)] || IsShiftJisLeadByte(static_cast<unsigned char>(b)) || b == 0;
  wordStops_.clear();
  for (int b = 1; b < 0x80; ++b) {
    if (skipStopsAtByte_[static_cast<std::size_t>(b)]) wordStops_.push_back(static_cast<unsigned char>(b));
  }
  wordSkip_ = wordStops_.size() <= kMostWordStops;
}

std::size_t TRE_DFA::SkipFrom(std::string_view text, std::size_t from) const {
  // Sixteen bytes at a time with the compiler's vector types (SSE2 on x86).
  typedef unsigned char TBytes __attribute__((vector_size(16)));
  constexpr std::size_t kWidth = sizeof(TBytes);
  std::size_t p = from;
  if (wordSkip_) {
    while (p + kWidth <= text.size()) {
      TBytes v;
      std::memcpy(&v, text.data() + p, kWidth);
      // Bytes of 0x80 and up (lead bytes, kana) are looked at one by one.
      auto look = (v >= 0x80) | (v == 0);
      for (const unsigned char stop : wordStops_) look |= v == stop;
      std::uint64_t halves[2];
      std::memcpy(halves, &look, sizeof halves);
      if ((halves[0] | halves[1]) == 0) {
        p += kWidth;
        continue;
      }
      for (const std::size_t end = p + kWidth; p < end; ++p) {
        if (skipStopsAtByte_[static_cast<unsigned char>(text[p])]) return p;
      }
    }
  }
  while (p < text.size() && !skipStopsAtByte_[static_cast<unsigned char>(text[p])]) ++p;
  return p;
}

// Adds q and every state reachable from it by empty moves, depth first.
void TRE_DFA::AddClosed(int q) const {
  auto& mark = mark_[static_cast<std::size_t>(q)];
  if (mark == generation_) return;
  mark = generation_;
  scratch_.push_back(q);
  stack_.push_back(q);
  while (!stack_.empty()) {
    const int from = stack_.back();
    stack_.pop_back();
    for (int to : NFAEmptyMoves(from)) {
      auto& m = mark_[static_cast<std::size_t>(to)];
      if (m == generation_) continue;
      m = generation_;
      scratch_.push_back(to);
      stack_.push_back(to);
    }
  }
}

void TRE_DFA::Step(int s, std::uint16_t code, std::uint16_t& low, std::uint16_t& high) const {
  if (++generation_ == 0) {  // wrapped: old marks could pass for new ones
    std::fill(mark_.begin(), mark_.end(), 0);
    generation_ = 1;
  }
  scratch_.clear();
  // [low, high] narrows to the codes that every move treats as it treats
  // code: inside the labels holding it, outside all others. With disjoint
  // labels that is the one label holding code, or the gap around it.
  // Written without branches on the bounds: the moves pass in no
  // predictable order.
  int lowest = 0;
  int highest = 0xFFFF;
  for (int q : Members(states_[static_cast<std::size_t>(s)])) {
    for (const TRE_NFAMove& move : NFAMoves(q)) {
      const int from = move.low, to = move.high;
      lowest = std::max(lowest, to < code ? to + 1 : from <= code ? from : 0);
      highest = std::min(highest, from > code ? from - 1 : to >= code ? to : 0xFFFF);
      if (from <= code && code <= to) AddClosed(move.target);
    }
  }
  low = static_cast<std::uint16_t>(lowest);
  high = static_cast<std::uint16_t>(highest);
  std::sort(scratch_.begin(), scratch_.end());
}

int TRE_DFA::Resolve(int s, std::uint16_t code) const {
  if (code == 0) return kNone;  // the end of the text
  if (code >= 256) {
    const auto& wide = states_[static_cast<std::size_t>(s)].wide;
    const auto after = std::upper_bound(wide.begin(), wide.end(), code,
                                        [](std::uint16_t c, const TRE_DFATransition& t) { return c < t.low; });
    if (after != wide.begin() && std::prev(after)->high >= code) return std::prev(after)->target;
  }

  std::uint16_t low = 0, high = 0;
  Step(s, code, low, high);
  const std::size_t flushesBefore = flushes_;
  const int target = scratch_.empty() ? kNone : FindOrAdd();
  // A flush dropped s (unless it is the initial state): nothing to note it in.
  if (flushes_ != flushesBefore && s != Initial()) return target;

  // The whole range takes the same way: note it for every code in it.
  State& state = states_[static_cast<std::size_t>(s)];
  std::int16_t* row = &byteNext_[static_cast<std::size_t>(s) * 256];
  for (int c = std::max<int>(low, 1); c <= std::min<int>(high, 255); ++c) row[c] = static_cast<std::int16_t>(target);
  if (high >= 256) {
    const TRE_DFATransition t{std::max<std::uint16_t>(low, 256), high, target};
    state.wide.insert(
        std::upper_bound(state.wide.begin(), state.wide.end(), t,
                         [](const TRE_DFATransition& a, const TRE_DFATransition& b) { return a.low < b.low; }),
        t);
    bytes_ += sizeof(TRE_DFATransition);
  }
  return target;
}

// The state whose set is scratch_, added when new.
int TRE_DFA::FindOrAdd() const {
  const std::size_t hash = HashSet(scratch_);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t k = hash & mask; slots_[k] != kNone; k = (k + 1) & mask) {
    const State& state = states_[static_cast<std::size_t>(slots_[k])];
    if (state.hash != hash) continue;
    const auto set = Members(state);
    if (std::equal(set.begin(), set.end(), scratch_.begin(), scratch_.end())) return slots_[k];
  }
  if (states_.size() > 1 && bytes_ + StateBytes(scratch_.size()) > cacheBytes_) {
    Flush();
    const auto initial = Members(states_.front());
    if (std::equal(initial.begin(), initial.end(), scratch_.begin(), scratch_.end())) return Initial();
  }
  return Add(hash);
}

int TRE_DFA::Add(std::size_t hash) const {
  // Past a few states, room for all the cap allows at once: the vector then
  // never moves its states, and untouched room costs no memory.
  if (states_.size() == 64) {
    states_.reserve(kMostStates);
    final_.reserve(kMostStates);
    byteNext_.reserve(kMostStates * 256);
  }
  State& state = states_.emplace_back();
  state.hash = hash;
  state.setBegin = members_.size();
  state.setSize = scratch_.size();
  members_.insert(members_.end(), scratch_.begin(), scratch_.end());
  final_.push_back(std::binary_search(scratch_.begin(), scratch_.end(), nfaFinal_) ? 1 : 0);
  for (int q : scratch_)
    state.movesOnLineTail = state.movesOnLineTail || nfaMovesOnLineTail_[static_cast<std::size_t>(q)];
  byteNext_.resize(byteNext_.size() + 256, kUnknown);
  byteNext_[byteNext_.size() - 256] = kNone;
  bytes_ += StateBytes(state.setSize);
  ++built_;

  const int index = static_cast<int>(states_.size()) - 1;
  if (states_.size() * 2 > slots_.size()) {
    Rehash(slots_.size() * 2);
  } else {
    const std::size_t mask = slots_.size() - 1;
    std::size_t k = hash & mask;
    while (slots_[k] != kNone) k = (k + 1) & mask;
    slots_[k] = index;
  }
  return index;
}

void TRE_DFA::Rehash(std::size_t slots) const {
  slots_.assign(slots, kNone);
  const std::size_t mask = slots - 1;
  for (std::size_t s = 0; s < states_.size(); ++s) {
    std::size_t k = states_[s].hash & mask;
    while (slots_[k] != kNone) k = (k + 1) & mask;
    slots_[k] = static_cast<int>(s);
  }
}

// Drops every state but the initial one, whose set sits first in members_.
void TRE_DFA::Flush() const {
  states_.resize(1);
  State& initial = states_.front();
  members_.resize(initial.setSize);
  final_.resize(1);
  byteNext_.assign(256, kUnknown);
  byteNext_[0] = kNone;
  initial.wide.clear();
  bytes_ = StateBytes(initial.setSize);
  Rehash(slots_.size());
  ++flushes_;
}

std::vector<TRE_DFATransition> TRE_DFA::TransitionsForTesting(int s) const {
  std::vector<std::pair<std::uint16_t, std::uint16_t>> labels;
  for (int q : Members(states_[static_cast<std::size_t>(s)]))
    for (const TRE_NFAMove& move : NFAMoves(q)) labels.emplace_back(move.low, move.high);
  std::sort(labels.begin(), labels.end());
  labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
  std::vector<TRE_DFATransition> result;
  for (const auto& [low, high] : labels) {
    std::uint16_t from = 0, to = 0;
    Step(s, low, from, to);
    result.push_back(TRE_DFATransition{low, high, FindOrAdd()});
  }
  return result;
}

}  // namespace quenza

#include "sjRegExpMatchCore.h"

#include <cstring>

#include "sjRegExpChars.h"

namespace quenza {

namespace {

std::string_view UpToNul(std::string_view text) {
  const void* nul = std::memchr(text.data(), 0, text.size());
  if (nul == nullptr) return text;
  return text.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
}

// Reads the character at p and moves p past it; 0 at the end of the text.
inline std::uint16_t NextChar(std::string_view text, std::size_t& p) {
  if (p >= text.size()) return 0;
  const auto b = static_cast<unsigned char>(text[p]);
  if (IsLeadByte(b) && p + 1 < text.size()) {
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

}  // namespace

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
    const int next = dfa.NextState(state, c);
    if (next == TRE_DFA::kNone) break;
    state = next;
  }
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

std::optional<TMatchSpan> TMatchCORE::SearchPlain(std::string_view whole) const {
  const std::string_view text = UpToNul(whole);
  const TRE_DFA& dfa = CurrentDFA();
  const int initial = dfa.Initial();
  if (text.empty()) {
    if (dfa.IsFinal(initial)) return TMatchSpan{0, 0};
    return std::nullopt;
  }
  for (std::size_t s = 0; s < text.size(); s = NextStart(text, s)) {
    if (!dfa.IsFinal(initial)) {
      // Most start positions fail on their first character: skip those in a
      // tight loop before running the automaton.
      std::size_t probe = s;
      while (probe < text.size()) {
        const auto b = static_cast<unsigned char>(text[probe]);
        if (!IsLeadByte(b) || probe + 1 == text.size()) {
          if (dfa.InitialMovesOnByte(b)) break;
          ++probe;
        } else {
          std::size_t next = probe;
          if (dfa.NextState(initial, NextChar(text, next)) != TRE_DFA::kNone) break;
          probe = next;
        }
      }
      if (probe == text.size()) break;
      s = probe;
    }
    int state = initial;
    std::size_t cursor = s;
    std::ptrdiff_t last = kNoMatch;
    for (;;) {
      if (dfa.IsFinal(state)) last = static_cast<std::ptrdiff_t>(cursor);
      const std::uint16_t c = NextChar(text, cursor);
      state = dfa.NextState(state, c);
      if (state == TRE_DFA::kNone) break;
    }
    if (last != kNoMatch) return TMatchSpan{s, static_cast<std::size_t>(last)};
  }
  return std::nullopt;
}

std::optional<TMatchSpan> TMatchCORE::SearchAnchored(std::string_view whole) const {
  const std::string_view text = UpToNul(whole);
  const std::ptrdiff_t end = MatchAtLineHead(text, 0, CurrentDFA().Initial());
  if (end != kNoMatch) return TMatchSpan{0, static_cast<std::size_t>(end)};
  return ScanAnchored(text);
}

std::optional<TMatchSpan> TMatchCORE::ScanAnchored(std::string_view text) const {
  const TRE_DFA& dfa = CurrentDFA();
  const int initial = dfa.Initial();
  for (std::size_t s = 0; s < text.size(); s = NextStart(text, s)) {
    std::ptrdiff_t end = MatchHere(text, s, initial);
    if (end != kNoMatch) return TMatchSpan{s, static_cast<std::size_t>(end)};
    if (text[s] == '\n' && dfa.BeginsWithLineHead()) {
      end = MatchAtLineHead(text, s + 1, initial);
      if (end != kNoMatch) return TMatchSpan{s + 1, static_cast<std::size_t>(end)};
    }
  }
  if (dfa.EndsWithLineTail() && dfa.MovesOnLineTail(initial))
    return TMatchSpan{text.size(), text.size()};
  return std::nullopt;
}

}  // namespace quenza

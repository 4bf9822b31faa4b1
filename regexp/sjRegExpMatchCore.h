// The search: takes Shift_JIS text and the current DFA, gives the leftmost-
// longest match as a half-open byte span. Start positions step by whole
// characters, so a match never starts on a trail byte (trail bytes overlap
// ASCII: the 0x5C ending ソ is not a backslash here either). The anchors are
// two pseudo codes fed to the DFA: the line-head code at the start of the
// text and after each LF, the line-tail code before each line-tail character
// (CR or LF, by LineSeparator) and at the end. The text ends at its first
// NUL byte; a lead byte that is the last byte of the text counts as a
// single-byte character with its own value. Trying start positions one by
// one can cost the rest of the text each, and a DFA whose cache keeps being
// dropped costs a subset construction per byte, so a search that spends more
// than a few steps per byte (a state built counting as many) switches to
// one pass over the NFA with every start at once, which gives the same
// match in linear time. Searching allocates only while the DFA grows its
// cache, or in that pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "sjRegExpRegularExpression.h"

namespace quenza {

enum TMatchCORE_LineSeparator { mcls_CRLF = 0, mcls_LF = 1 };

struct TMatchSpan {
  std::size_t start;  // 0-based byte offset of the first matched byte
  std::size_t end;    // just past the last one
  bool operator==(const TMatchSpan&) const = default;
};

class TMatchCORE : public TRegularExpression {
 public:
  static constexpr std::ptrdiff_t kNoMatch = -1;

  TMatchCORE() = default;

  TMatchCORE_LineSeparator LineSeparator() const { return lineSeparator_; }
  void SetLineSeparator(TMatchCORE_LineSeparator value) { lineSeparator_ = value; }

  // Both search the text up to its first NUL byte with the current DFA.
  std::optional<TMatchSpan> SearchPlain(std::string_view text) const;
  std::optional<TMatchSpan> SearchAnchored(std::string_view text) const;

  bool IsLineTail(std::uint16_t code) const { return code == (lineSeparator_ == mcls_CRLF ? 0x0D : 0x0A); }

  // For tests: the one pass over the NFA that searches fall back on, by
  // itself (anchored as SearchAnchored or not as SearchPlain); and searches
  // that never fall back on it, however much they spend.
  std::optional<TMatchSpan> SearchByNFAForTesting(std::string_view text, bool anchored) const;
  void SetDFAOnlyForTesting(bool on) { dfaOnlyForTesting_ = on; }

 protected:
  // Offsets are into the text the search was given; kNoMatch when none.
  // State indices other than the DFA's initial one are valid only until the
  // next step (the DFA may drop its cache), so these take the initial state
  // or one just reached from it.
  std::ptrdiff_t MatchHere(std::string_view text, std::size_t p, int state) const;
  std::ptrdiff_t MatchAtLineHead(std::string_view text, std::size_t p, int state) const;
  std::optional<TMatchSpan> ScanAnchored(std::string_view text) const;

 private:
  TMatchCORE_LineSeparator lineSeparator_ = mcls_CRLF;
  bool dfaOnlyForTesting_ = false;

  // Whether a search of text that has run this many steps, since the DFA
  // had built statesBefore states, has spent what it may on trying start
  // positions one by one (see the .cpp).
  bool BudgetSpent(const TRE_DFA& dfa, std::string_view text, std::size_t steps, std::size_t statesBefore) const;
  // The anchored search's count, which MatchHere adds to; it gives up (no
  // match) once the budget is spent, and its callers then look themselves.
  struct Spending {
    std::size_t steps = 0;
    std::size_t statesBefore = 0;
  };
  mutable Spending anchored_;
};

}  // namespace quenza

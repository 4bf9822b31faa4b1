// Matching one log line (Shift_JIS bytes) the way the find and filter bars
// ask for it, without Qt. The pattern library has no case-insensitive mode,
// so a pattern is prepared here: letters with a case partner are widened to
// both cases when case does not matter. The rule a reader would miss: the
// library takes the start of any text it is given for a line head, so the
// rest of a line after a match is searched behind one CR, a byte no line of
// the view holds and no '^' can pass.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Exception.h"
#include "sjRegExpMatchCore.h"

namespace quenza {

class TAWKStr;

struct TSearchOptions {
  bool matchCase = false;
  bool regularExpression = false;  // off: the text is searched as it is written
  bool fuzzy = false;              // the character-equivalence dictionary; letters then match either case
  bool operator==(const TSearchOptions&) const = default;
};

// A well-formed pattern the program will not run.
class EPatternRefused : public Exception {
 public:
  using Exception::Exception;
};

// Every letter with a case partner (ASCII, full-width Latin) becomes a
// bracket with both outside brackets; inside brackets the partners of the
// members are added. Escapes stay as written. The pattern must be well formed.
std::string FoldCaseInPattern(std::string_view pattern);

class TLineMatcher {
 public:
  // Raises ERegExpParser (with its position in `text`) for a malformed
  // regular expression, EPatternRefused for one that matches the empty text
  // (it would match everywhere and select nothing).
  TLineMatcher(std::string_view text, const TSearchOptions& options);
  ~TLineMatcher();
  TLineMatcher(const TLineMatcher&) = delete;
  TLineMatcher& operator=(const TLineMatcher&) = delete;

  // The leftmost-longest match starting at byte `from` or later; `from` must
  // be a character boundary.
  std::optional<TMatchSpan> Find(std::string_view line, std::size_t from = 0);
  // The last match starting before byte `before`, counting matches one after
  // another from the line's start, as Find would step through them.
  std::optional<TMatchSpan> FindLast(std::string_view line, std::size_t before);
  bool Matches(std::string_view line) { return Find(line).has_value(); }

 private:
  std::unique_ptr<TAWKStr> awk_;
  std::string rest_;
};

}  // namespace quenza

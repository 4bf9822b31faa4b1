// TAWKStr: the face of the pattern library, in the manner of AWK's match and
// sub. Takes a pattern (RegExp) and texts, gives 1-based match positions and
// texts with the first match replaced. Each assignment of RegExp also picks
// the search routine: the anchored one only when the pattern anchors, since
// the plain one never needs to think about lines. The rule a reader would
// miss: the replacement language runs in three passes, so "\\&" gives a
// literal '&' while an escape that decodes to '&' ("\x26") inserts the match;
// and a malformed replacement raises before the caller's text is touched.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sjRegExpMatchCore.h"

namespace quenza {

class TAWKStr : public TMatchCORE {
 public:
  TAWKStr();

  // start := 1-based index of the match, length := its byte length; both 0
  // when nothing matches. Returns start.
  int Match(std::string_view text, int& start, int& length);
  // Replaces the first match; false (text unchanged) when there is none.
  bool Sub(std::string_view replacement, std::string& text);

  static std::string ExpandReplacement(std::string_view replacement, std::string_view matched);
  static std::string DecodeEscapes(std::string_view text);

 protected:
  void AssignRegExp(std::string_view value) override;

 private:
  using SearchRoutine = std::optional<TMatchSpan> (TMatchCORE::*)(std::string_view) const;
  SearchRoutine search_ = &TMatchCORE::SearchPlain;
};

}  // namespace quenza

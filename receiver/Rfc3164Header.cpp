// Reading the BSD header: the fixed-width time stamp, then words.
#include "Rfc3164Header.h"

#include <array>

#include "ShiftJisText.h"

namespace quenza {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "Mmm dd hh:mm:ss" with the day's first digit a space below 10.
bool IsBsdTimestamp(std::string_view s) {
  if (s.size() < 15) return false;
  bool month = false;
  for (std::string_view m : kMonths) month = month || s.substr(0, 3) == m;
  const bool day = s[3] == ' ' && (s[4] == ' ' || IsDigit(s[4])) && IsDigit(s[5]) && s[6] == ' ';
  const bool time = IsDigit(s[7]) && IsDigit(s[8]) && s[9] == ':' && IsDigit(s[10]) && IsDigit(s[11]) &&
                    s[12] == ':' && IsDigit(s[13]) && IsDigit(s[14]);
  return month && day && time;
}

// The first `c` at or after `from` (a character boundary) that is a
// character of its own: '[' and ']' are also trail bytes of Shift_JIS.
std::size_t FindAscii(std::string_view s, char c, std::size_t from) {
  for (std::size_t i = from; i < s.size(); i += IsShiftJisLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1) {
    if (s[i] == c) return i;
  }
  return std::string_view::npos;
}

// A TAG word: "name:" or "name[pid]:" (the colon may be missing after the
// brackets). Gives the name and the pid within the word.
bool ReadTagWord(std::string_view word, std::size_t at, TTextSpan& tag, TTextSpan& pid) {
  const std::size_t bracket = FindAscii(word, '[', 0);
  if (bracket != std::string_view::npos) {
    const std::size_t close = FindAscii(word, ']', bracket);
    const bool tail = close != std::string_view::npos && (close + 1 == word.size() || word.substr(close + 1) == ":");
    if (bracket == 0 || !tail || close == bracket + 1) return false;
    tag = TTextSpan{at, bracket, true};
    pid = TTextSpan{at + bracket + 1, close - bracket - 1, true};
    return true;
  }
  if (word.size() < 2 || word.back() != ':' || word.find(':') != word.size() - 1) return false;
  tag = TTextSpan{at, word.size() - 1, true};
  return true;
}

}  // namespace

bool ParseRfc3164Header(std::string_view text, std::size_t from, TRfc3164Fields& fields) {
  if (from > text.size() || !IsBsdTimestamp(text.substr(from))) return false;
  TRfc3164Fields f;
  f.timestamp = TTextSpan{from, 15, true};
  std::size_t at = from + 15;
  // The words after the time stamp, one space apart.
  auto next_word = [&](std::size_t& start) -> std::string_view {
    if (at >= text.size() || text[at] != ' ') return {};
    start = at + 1;
    const std::size_t end = std::min(text.find(' ', start), text.size());
    return text.substr(start, end - start);
  };
  std::size_t start = 0;
  std::string_view word = next_word(start);
  if (!word.empty()) {
    if (ReadTagWord(word, start, f.tag, f.pid)) {
      at = start + word.size();
    } else {
      f.hostname = TTextSpan{start, word.size(), true};
      at = start + word.size();
      std::size_t tagStart = 0;
      const std::string_view second = next_word(tagStart);
      if (!second.empty() && ReadTagWord(second, tagStart, f.tag, f.pid)) at = tagStart + second.size();
    }
  }
  if (at < text.size() && text[at] == ' ') ++at;
  f.msg = TTextSpan{at, text.size() - at, at < text.size()};
  fields = f;
  return true;
}

}  // namespace quenza

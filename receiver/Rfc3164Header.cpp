// Reading the BSD header: the fixed-width time stamp, then words.
#include "Rfc3164Header.h"

#include <array>
#include <cstdint>

#include "ShiftJisText.h"

namespace quenza {
namespace {

// The month names as three-byte numbers: twelve integer compares, not twelve string compares.
constexpr std::uint32_t Month(const char* m) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(m[0])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(m[1])) << 8 | static_cast<unsigned char>(m[2]);
}
constexpr std::array<std::uint32_t, 12> kMonths = {Month("Jan"), Month("Feb"), Month("Mar"), Month("Apr"),
                                                   Month("May"), Month("Jun"), Month("Jul"), Month("Aug"),
                                                   Month("Sep"), Month("Oct"), Month("Nov"), Month("Dec")};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "Mmm dd hh:mm:ss" with the day's first digit a space below 10.
bool IsBsdTimestamp(std::string_view s) {
  if (s.size() < 15) return false;
  const std::uint32_t name = Month(s.data());
  bool month = false;
  for (std::uint32_t m : kMonths) {
    if (name == m) {
      month = true;
      break;
    }
  }
  const bool day = s[3] == ' ' && (s[4] == ' ' || IsDigit(s[4])) && IsDigit(s[5]) && s[6] == ' ';
  const bool time = IsDigit(s[7]) && IsDigit(s[8]) && s[9] == ':' && IsDigit(s[10]) && IsDigit(s[11]) &&
                    s[12] == ':' && IsDigit(s[13]) && IsDigit(s[14]);
  return month && day && time;
}

// What a tag word's reader stops at: its three marks, and a lead byte, whose
// trail byte may look like a mark.
enum : std::uint8_t { kOther, kOpen, kClose, kColon, kLead };
constexpr std::array<std::uint8_t, 256> kTagBytes = [] {
  std::array<std::uint8_t, 256> t{};
  t['['] = kOpen;
  t[']'] = kClose;
  t[':'] = kColon;
  for (int b = 0; b < 256; ++b) {
    if (IsShiftJisLeadByte(static_cast<unsigned char>(b))) t[static_cast<std::size_t>(b)] = kLead;
  }
  return t;
}();

// A TAG word: "name:" or "name[pid]:" (the colon may be missing after the
// brackets). Gives the name and the pid within the word. Read in one pass,
// by characters: '[' and ']' are also trail bytes of Shift_JIS.
bool ReadTagWord(std::string_view word, std::size_t at, TTextSpan& tag, TTextSpan& pid) {
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t open = kNone, close = kNone, colon = kNone;
  for (std::size_t i = 0; i < word.size(); ++i) {
    switch (kTagBytes[static_cast<unsigned char>(word[i])]) {
      case kOpen:
        if (open == kNone) open = i;
        break;
      case kClose:
        if (open != kNone && close == kNone) close = i;
        break;
      case kColon:
        if (colon == kNone) colon = i;
        break;
      case kLead:
        ++i;  // its trail byte
        break;
      default:
        break;
    }
  }
  if (open != kNone) {
    const bool tail = close != kNone && (close + 1 == word.size() || (close + 2 == word.size() && word[close + 1] == ':'));
    if (open == 0 || !tail || close == open + 1) return false;
    tag = TTextSpan{at, open, true};
    pid = TTextSpan{at + open + 1, close - open - 1, true};
    return true;
  }
  if (word.size() < 2 || colon != word.size() - 1) return false;
  tag = TTextSpan{at, word.size() - 1, true};
  return true;
}

}  // namespace

bool ParseRfc3164Header(std::string_view text, std::size_t from, TRfc3164Fields& fields) {
  if (from > text.size() || !IsBsdTimestamp(text.substr(from))) return false;
  // Filled in place: the record's fields start cleared.
  TRfc3164Fields& f = fields;
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
  return true;
}

}  // namespace quenza

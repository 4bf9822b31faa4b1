// A quick no for most lines before any automaton runs. For each rule it
// keeps what every match must contain: pairs of neighbouring ASCII bytes
// (case folded) from a plain pattern, or from the literal runs a regular
// expression cannot do without; or, for a fuzzy pattern all of whose
// characters and their dictionary forms are double-byte or kana, at least
// one byte of 0x80 or above. A line is read once into a bit set of the byte
// pairs it holds; a rule whose pairs are not all there cannot match (its
// rarest pair, the key, is looked for first by TAlertKeyScan). The
// answer may be a false yes, never a false no: the rule's matcher decides.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "AlertOptions.h"

namespace quenza {

// What a line holds, read once for all rules.
class TLineBytePairs {
 public:
  static constexpr unsigned kBits = 4096;

  void Read(std::string_view line);
  bool Has(std::uint16_t pair) const { return stamps_[pair] == stamp_; }
  bool HasHighByte() const { return high_; }

 private:
  // A pair is there when its stamp is this line's: nothing is cleared
  // between lines, and each byte costs one independent store.
  std::array<std::uint8_t, kBits> stamps_{};  // small, to stay in the cache beside the view's data
  std::uint8_t stamp_ = 0;
  bool high_ = false;
};

class TAlertPrefilter {
 public:
  explicit TAlertPrefilter(const TAlertRuleSettings& rule);

  // The pair every match holds that lines hold least often, by a rough
  // guess at the bytes of log text: the first byte in the low half, the
  // second in the high half, each with 0x20 set; false when there is none.
  bool KeyPair(std::uint16_t& pair) const {
    if (pairs_.empty()) return false;
    pair = key_;
    return true;
  }
  // True when a line is asked for more pairs than the key.
  bool MoreThanKey() const { return pairs_.size() > 1; }
  bool NeedsHighByte() const { return needsHighByte_; }
  // False when nothing is known that every match contains.
  bool Useful() const { return needsHighByte_ || !pairs_.empty(); }
  // False when the line cannot hold a match.
  bool MayMatch(const TLineBytePairs& line) const {
    if (needsHighByte_ && !line.HasHighByte()) return false;
    for (const std::uint16_t pair : pairs_) {
      if (!line.Has(pair)) return false;
    }
    return true;
  }

  // The hash of two neighbouring bytes, ASCII case folded.
  static std::uint16_t Pair(unsigned char a, unsigned char b);

 private:
  void AddLiteral(std::string_view literal);

  std::vector<std::uint16_t> pairs_;
  std::uint16_t key_ = 0;
  int keyCommonness_ = 0;
  bool needsHighByte_ = false;
};

// The runs of ordinary characters outside groups and brackets that every
// match of a regular expression contains, a character before a quantifier
// left out; none when the expression has an alternative at its top level.
std::vector<std::string_view> RequiredLiterals(std::string_view regex);

}  // namespace quenza

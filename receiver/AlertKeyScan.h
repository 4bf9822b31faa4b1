// The first look the alert rules take at a line: one pass that tells which
// of the rules' key pairs (one rare pair of neighbouring ASCII bytes per
// rule, case folded) the line holds, and whether it holds a byte of 0x80 or
// above. Most lines hold none of the keys, and then no rule with a prefilter
// is asked anything more, and nothing is written per byte.
//
// The keys are spread over eight groups; a small table per nibble of each
// byte of a pair says which groups a byte may belong to, so sixteen
// positions are looked up with four byte shuffles where the processor has
// them (SSSE3), or one position at a time with the same tables elsewhere.
// Where the tables say a group may be there, the pair's bytes are compared
// with that group's keys, so the answer is exact either way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quenza {

class TAlertKeyScan {
 public:
  static constexpr std::size_t kMaxKeys = 63;

  // Each key: the first byte in the low half, the second in the high half,
  // both with 0x20 set (as TAlertPrefilter::KeyPair gives them). Keys past
  // kMaxKeys are ignored; the caller must not depend on them.
  explicit TAlertKeyScan(std::vector<std::uint16_t> keys = {});

  struct TFound {
    std::uint64_t keys = 0;  // bit k: key k is in the line
    bool highByte = false;
  };
  TFound Scan(std::string_view line) const;
  // The same answer without vector instructions, as a processor without them gets it.
  TFound ScanPortable(std::string_view line) const;

  // The scan loops' part at a position the tables let through: the pair
  // there (two bytes, folded) against the keys of `groups`.
  void Verify(const unsigned char* pair, unsigned groups, TFound& found) const;

 private:
  std::vector<std::uint16_t> keys_;
  std::array<std::uint64_t, 8> groupKeys_{};  // the keys in each group
  // Group bits by the low and the high nibble of the first byte, then of
  // the second, sixteen entries each.
  alignas(16) std::array<std::uint8_t, 64> nibbles_{};
};

}  // namespace quenza

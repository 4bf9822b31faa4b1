#include "AlertKeyScan.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#if defined(__x86_64__) || defined(__i386__)
#define QUENZA_KEY_SCAN_SSSE3 1
#include <immintrin.h>
#endif

namespace quenza {
namespace {

constexpr unsigned char kFold = 0x20;
constexpr std::size_t kGroups = 8;

unsigned GroupsAt(const std::uint8_t* nibbles, unsigned char first, unsigned char second) {
  return nibbles[first & 15] & nibbles[16 + (first >> 4)] & nibbles[32 + (second & 15)] & nibbles[48 + (second >> 4)];
}

#if QUENZA_KEY_SCAN_SSSE3
bool HaveSsse3() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return have;
}

// The tables, one per nibble of each byte of a pair.
struct TNibbleTables {
  __m128i firstLow, firstHigh, secondLow, secondHigh;
};

// 16 bytes from `p` and the 16 after each, folded, against the tables: the
// group bits of the 16 pairs, and the bytes' high bits OR'd into `high`.
__attribute__((target("ssse3"))) inline __m128i GroupsOf16(const unsigned char* p, const TNibbleTables& t,
                                                           __m128i& high) {
  const __m128i fold = _mm_set1_epi8(kFold);
  const __m128i low = _mm_set1_epi8(15);
  const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  high = _mm_or_si128(high, raw);
  const __m128i a = _mm_or_si128(raw, fold);
  const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)), fold);
  __m128i g = _mm_shuffle_epi8(t.firstLow, _mm_and_si128(a, low));
  g = _mm_and_si128(g, _mm_shuffle_epi8(t.firstHigh, _mm_and_si128(_mm_srli_epi16(a, 4), low)));
  g = _mm_and_si128(g, _mm_shuffle_epi8(t.secondLow, _mm_and_si128(b, low)));
  return _mm_and_si128(g, _mm_shuffle_epi8(t.secondHigh, _mm_and_si128(_mm_srli_epi16(b, 4), low)));
}

// Verifies the positions of `mask` (bit j: the pair at p + j) whose groups are in `g`.
__attribute__((target("ssse3"))) inline void VerifyMask(const TAlertKeyScan& scan, const unsigned char* p,
                                                        unsigned mask, __m128i g, TAlertKeyScan::TFound& found) {
  alignas(16) std::uint8_t groups[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(groups), g);
  for (; mask != 0; mask &= mask - 1) {
    const auto j = static_cast<unsigned>(__builtin_ctz(mask));
    scan.Verify(p + j, groups[j], found);
  }
}

__attribute__((target("ssse3"))) inline unsigned NonZero(__m128i g) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(g, _mm_setzero_si128()))) ^ 0xFFFFU;
}

__attribute__((target("ssse3"))) TAlertKeyScan::TFound ScanSsse3(const TAlertKeyScan& scan, const std::uint8_t* nibbles,
                                                                 const unsigned char* p, std::size_t n) {
  TAlertKeyScan::TFound found;
  const auto* tables = reinterpret_cast<const __m128i*>(nibbles);
  const TNibbleTables t{_mm_load_si128(tables), _mm_load_si128(tables + 1), _mm_load_si128(tables + 2),
                        _mm_load_si128(tables + 3)};
  __m128i high = _mm_setzero_si128();
  std::size_t i = 0;
  // The second load reads one byte further than the first.
  for (; i + 17 <= n; i += 16) {
    const __m128i g = GroupsOf16(p + i, t, high);
    if (const unsigned mask = NonZero(g); mask != 0) VerifyMask(scan, p + i, mask, g, found);
  }
  if (i < n) {
    // The rest, at most 16 bytes: the last 17 of the line again when it has
    // them, else a copy with room after it; only pairs from i to the last
    // byte count.
    alignas(16) unsigned char copy[32] = {};
    const std::size_t start = n < 17 ? 0 : n - 17;
    const unsigned char* from = p + start;
    if (n < 17) {
      from = static_cast<const unsigned char*>(std::memcpy(copy, p, n));
    } else {
      // The last byte is only in the second load.
      high = _mm_or_si128(high, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16)));
    }
    const __m128i g = GroupsOf16(from, t, high);
    const unsigned inside = (1U << (n - 1 - start)) - 1;
    const unsigned done = (1U << (i - start)) - 1;
    if (const unsigned mask = NonZero(g) & inside & ~done; mask != 0) VerifyMask(scan, from, mask, g, found);
  }
  found.highByte = _mm_movemask_epi8(high) != 0;
  return found;
}
#endif

}  // namespace

TAlertKeyScan::TAlertKeyScan(std::vector<std::uint16_t> keys) : keys_(std::move(keys)) {
  if (keys_.size() > kMaxKeys) keys_.resize(kMaxKeys);
  // Keys in byte order share their groups with keys of like bytes, so fewer
  // pairs that are no key pass the tables.
  std::vector<std::size_t> order(keys_.size());
  std::iota(order.begin(), order.end(), 0);
  auto bytes = [&](std::size_t k) { return ((keys_[k] & 0xFFU) << 8) | (keys_[k] >> 8); };
  std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return bytes(x) < bytes(y); });
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    const std::size_t k = order[rank];
    const std::size_t group = rank * kGroups / order.size();
    const auto bit = static_cast<std::uint8_t>(1U << group);
    const unsigned first = keys_[k] & 0xFFU, second = keys_[k] >> 8;
    nibbles_[first & 15] |= bit;
    nibbles_[16 + (first >> 4)] |= bit;
    nibbles_[32 + (second & 15)] |= bit;
    nibbles_[48 + (second >> 4)] |= bit;
    groupKeys_[group] |= std::uint64_t{1} << k;
  }
}

void TAlertKeyScan::Verify(const unsigned char* pair, unsigned groups, TFound& found) const {
  std::uint64_t candidates = 0;
  for (; groups != 0; groups &= groups - 1) candidates |= groupKeys_[static_cast<unsigned>(__builtin_ctz(groups))];
  const auto word = static_cast<std::uint16_t>((pair[0] | kFold) | ((pair[1] | kFold) << 8));
  for (; candidates != 0; candidates &= candidates - 1) {
    const auto k = static_cast<unsigned>(__builtin_ctzll(candidates));
    if (keys_[k] == word) found.keys |= std::uint64_t{1} << k;
  }
}

TAlertKeyScan::TFound TAlertKeyScan::Scan(std::string_view line) const {
  const auto* p = reinterpret_cast<const unsigned char*>(line.data());
#if QUENZA_KEY_SCAN_SSSE3
  if (HaveSsse3()) return ScanSsse3(*this, nibbles_.data(), p, line.size());
#endif
  return ScanPortable(line);
}

TAlertKeyScan::TFound TAlertKeyScan::ScanPortable(std::string_view line) const {
  TFound found;
  const auto* p = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t n = line.size();
  unsigned high = 0;
  for (std::size_t i = 0; i < n; ++i) {
    high |= p[i];
    if (i + 1 == n) break;
    const unsigned groups = GroupsAt(nibbles_.data(), p[i] | kFold, p[i + 1] | kFold);
    if (groups != 0) Verify(p + i, groups, found);
  }
  found.highByte = (high & 0x80U) != 0;
  return found;
}

}  // namespace quenza

// The sender filter's terms: which lines' senders a typed text asks for.
//
// Takes the text of the filter's 送信元 box (Shift_JIS): terms separated by
// spaces or commas. A term is a name, where '*' stands for any run of
// characters and '?' for one, compared ignoring ASCII case; an IPv4 or IPv6
// address; a CIDR prefix ("10.0.0.0/8", "fe80::/10"), or an IPv4 address cut
// after a dot ("127.0.0." is 127.0.0.0/24). Gives whether a line matches, and
// which terms matched no line, so the bar can name them.
//
// A line is matched by its host (the header's HOSTNAME, or the address when
// the message names none) and by its sender's address: a name matches either
// text, an address or prefix either one that is an address. An IPv4-mapped
// IPv6 address ("::ffff:10.0.0.1") is the IPv4 address it carries.
//
// Matches is const, so several threads may filter with one set of terms,
// each keeping its own THostTermsSeen and merging them at the end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Exception.h"

namespace quenza {

class EHostTerms : public Exception {
 public:
  using Exception::Exception;
};

// An IPv4 (4 bytes used) or IPv6 address.
struct TIpAddress {
  bool v6 = false;
  std::array<std::uint8_t, 16> bytes{};
};

// False when `text` is not an address; IPv4-mapped IPv6 comes back as IPv4.
bool ParseIpAddress(std::string_view text, TIpAddress& address);

// One flag per term: has it matched a line yet.
using THostTermsSeen = std::vector<bool>;

class THostTerms {
 public:
  // Raises EHostTerms for a prefix that cannot be one ("10.0.0.0/33").
  explicit THostTerms(std::string_view text);

  bool Empty() const { return terms_.empty(); }
  std::size_t Count() const { return terms_.size(); }
  // The terms as typed.
  std::string_view Term(std::size_t i) const { return terms_[i].text; }

  // Whether a line from `host` sent from `address` matches any term. With
  // `seen` (Count() flags), every term that matches is marked.
  bool Matches(std::string_view host, std::string_view address, THostTermsSeen* seen = nullptr) const;

  // The terms `seen` has not marked, as typed.
  std::vector<std::string> Unmatched(const THostTermsSeen& seen) const;

 private:
  enum class TKind { Name, Address, Prefix };
  struct TTerm {
    std::string text;     // as typed
    TKind kind = TKind::Name;
    std::string pattern;  // Name: upper-cased
    TIpAddress address;   // Address, Prefix
    int bits = 0;         // Prefix
  };

  static TTerm ReadTerm(std::string_view text);
  bool TermMatches(const TTerm& term, std::string_view upperHost, std::string_view upperAddress,
                   const TIpAddress* hostIp, const TIpAddress* addressIp) const;

  std::vector<TTerm> terms_;
};

}  // namespace quenza

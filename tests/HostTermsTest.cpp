// The sender filter's terms: names with wildcards, addresses and prefixes,
// several at once, and the terms that matched nothing.
#include "HostTerms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quenza {
namespace {

TEST(HostTerms, WhichLinesMatch) {
  const struct {
    const char* terms;
    const char* host;
    const char* address;
    bool match;
  } rows[] = {
      {"core-sw01", "core-sw01", "10.0.0.1", true},
      {"core-sw01", "CORE-SW01", "10.0.0.1", true},  // ASCII case ignored
      {"core-sw01", "core-sw011", "10.0.0.1", false},
      {"core-*", "core-sw01", "10.0.0.1", true},
      {"*-sw0?", "core-sw01", "10.0.0.1", true},
      {"*-sw0?", "core-sw012", "10.0.0.1", false},
      {"c*r*e", "core", "10.0.0.1", true},
      {"c*x*e", "core", "10.0.0.1", false},
      {"*", "", "10.0.0.1", true},
      {"10.0.0.*", "core", "10.0.0.7", true},  // a name matches the address text too
      {"\x83\x65?", "\x83\x65\x83\x58", "10.0.0.1", true},  // '?' takes a double-byte character whole
      {"10.0.0.7", "10.0.0.7", "10.0.0.7", true},
      {"10.0.0.7", "core", "10.0.0.70", false},
      {"10.0.0.7", "core", "::ffff:10.0.0.7", true},  // IPv4-mapped
      {"10.0.0.7", "10.0.0.7", "192.0.2.1", true},     // the header's host is an address
      {"2001:db8::1", "core", "2001:DB8:0:0::1", true},
      {"2001:db8::1", "core", "2001:db8::2", false},
      {"127.0.0.0/24", "core", "127.0.0.255", true},
      {"127.0.0.0/24", "core", "127.0.1.0", false},
      {"10.0.0.0/9", "core", "10.127.0.1", true},
      {"10.0.0.0/9", "core", "10.128.0.1", false},
      {"0.0.0.0/0", "core", "203.0.113.9", true},
      {"0.0.0.0/0", "core", "2001:db8::1", false},
      {"2001:db8::/32", "core", "2001:db8:ffff::1", true},
      {"2001:db8::/33", "core", "2001:db8:8000::1", false},
      {"127.0.0.", "core", "127.0.0.42", true},  // an address cut after a dot
      {"127.", "core", "128.0.0.1", false},
      {"edge1, core-*  10.9.9.9", "core-sw01", "10.0.0.1", true},
      {"edge1, core-*  10.9.9.9", "x", "10.9.9.9", true},
      {"edge1, core-*  10.9.9.9", "edge2", "10.0.0.1", false},
      {"", "core", "10.0.0.1", false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(THostTerms(r.terms).Matches(r.host, r.address), r.match)
        << r.terms << " / " << r.host << " / " << r.address;
  }
}

TEST(HostTerms, TermsThatMatchedNothingAreNamed) {
  const THostTerms terms("core-sw01,edge* 10.0.0.0/8 2001:db8::1");
  ASSERT_EQ(terms.Count(), 4u);
  THostTermsSeen seen;
  const struct {
    const char* host;
    const char* address;
  } lines[] = {{"edge1", "192.0.2.1"}, {"web", "10.1.2.3"}, {"edge2", "10.1.2.4"}, {"db", "192.0.2.2"}};
  int matched = 0;
  for (const auto& l : lines) matched += terms.Matches(l.host, l.address, &seen);
  EXPECT_EQ(matched, 3);
  EXPECT_EQ(terms.Unmatched(seen), (std::vector<std::string>{"core-sw01", "2001:db8::1"}));
  // Every matching term is marked, not only the first.
  THostTermsSeen both;
  THostTerms("edge* 10.0.0.0/8").Matches("edge1", "10.0.0.1", &both);
  EXPECT_EQ(both, (THostTermsSeen{true, true}));
}

TEST(HostTerms, PrefixesThatCannotBeOneAreRefused) {
  for (const char* bad : {"10.0.0.0/33", "2001:db8::/129", "10.0.0.0/", "10.0.0.0/x", "core/8"}) {
    EXPECT_THROW(THostTerms{bad}, EHostTerms) << bad;
  }
}

}  // namespace
}  // namespace quenza

// An alert rule and a line, both chosen by the fuzzer: a rule that cannot be
// one raises the program's own Exception and nothing else; a rule that can
// is never refused by its prefilter on a line its matcher matches, and the
// engine agrees with the rule on its own, alone or among other rules; the
// key scan gives the same answer with and without vector instructions. The
// program's argument list is split from the same bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "AlertKeyScan.h"
#include "AlertPrefilter.h"
#include "AlertRule.h"
#include "Exception.h"
#include "ProgramArguments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quenza;
  FuzzedDataProvider in(data, size);
  TAlertRuleSettings rule;
  rule.regex = in.ConsumeBool();
  rule.fuzzy = in.ConsumeBool();
  rule.severity = in.ConsumeIntegralInRange(-1, 7);
  rule.pattern = in.ConsumeRandomLengthString(64);
  rule.host = in.ConsumeRandomLengthString(32);
  const int severity = in.ConsumeIntegralInRange(-1, 7);
  const std::string line = in.ConsumeRemainingBytesAsString();
  try {
    SplitProgramArguments(rule.pattern);
  } catch (const Exception&) {
  }
  for (const std::string_view literal : RequiredLiterals(rule.pattern)) {
    if (literal.empty()) std::abort();
  }
  try {
    TAlertRule single(rule);
    TAlertEngine engine({rule});
    const TAlertLine at{severity, 1, rule.host, "10.0.0.1", line};
    const bool match = single.Matches(at);
    TLineBytePairs pairs;
    pairs.Read(line);
    if (match && !TAlertPrefilter(rule).MayMatch(pairs)) {
      std::fprintf(stderr, "refused: regex %d fuzzy %d pattern", rule.regex, rule.fuzzy);
      for (const char c : rule.pattern) std::fprintf(stderr, " %02X", static_cast<unsigned char>(c));
      std::fprintf(stderr, "\nline");
      for (const char c : line) std::fprintf(stderr, " %02X", static_cast<unsigned char>(c));
      std::fprintf(stderr, "\n");
      std::abort();
    }
    std::vector<TAlertHit> hits;
    engine.Judge(at, hits);
    if (hits.size() != (match ? 1U : 0U)) std::abort();
    // Among rules whose keys share the scan's groups with its own.
    std::vector<TAlertRuleSettings> rules;
    for (const char* other : {"disk failure", "OSPF", "link down", "k:", "segfault", "CRC"}) {
      TAlertRuleSettings r;
      r.pattern = other;
      rules.push_back(r);
    }
    rules.push_back(rule);
    TAlertEngine crowd(rules);
    crowd.Judge(at, hits);
    if (match != (!hits.empty() && hits.back().rule == rules.size() - 1)) std::abort();
    std::uint16_t key = 0;
    if (TAlertPrefilter(rule).KeyPair(key)) {
      const TAlertKeyScan scan({0x6b73, key, 0x3a6b});
      const TAlertKeyScan::TFound vector = scan.Scan(line), portable = scan.ScanPortable(line);
      if (vector.keys != portable.keys || vector.highByte != portable.highByte) std::abort();
    }
  } catch (const Exception&) {
  }
  return 0;
}

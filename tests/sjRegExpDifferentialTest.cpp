// The DFA search against a small backtracking matcher written from the same
// rules: leftmost start by whole characters, then the longest end. Patterns
// are generated as trees, printed, and handed to the library; the reference
// walks the tree it generated, so the two share nothing but the rules. The
// library is run three ways: as it comes; through its DFA only, with the
// DFA's cache capped so low that it is dropped at nearly every step; and
// with every search made by the one pass over the NFA that costly searches
// fall back on.
// QUENZA_DIFFERENTIAL_ROUNDS sets the number of random patterns (3000).
#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sjRegExpAWKStr.h"
#include "sjRegExpError.h"

namespace quenza {
namespace {

// A double-byte character whose trail byte is 'a'.
constexpr std::uint16_t kWide = 0x8361;
const std::string kWideText = "\x83\x61";

struct Node;
using NodePtr = std::unique_ptr<Node>;
enum class Kind { Char, Dot, Bracket, Group, Union, Concat, Star, Plus, Quest, Head, Tail };

struct Node {
  Kind kind;
  std::uint16_t code = 0;                                      // Char
  bool negated = false;                                        // Bracket
  std::vector<std::pair<std::uint16_t, std::uint16_t>> items;  // Bracket
  std::vector<NodePtr> kids;                                   // Group 1, Union terms, Concat factors, postfix 1
};

NodePtr Make(Kind kind) {
  auto n = std::make_unique<Node>();
  n->kind = kind;
  return n;
}

std::string CharText(std::uint16_t code) {
  switch (code) {
    case '\r':
      return "\\r";
    case '\n':
      return "\\n";
    case kWide:
      return kWideText;
    default:
      return std::string(1, static_cast<char>(code));
  }
}

std::string Print(const Node& n) {
  std::string s;
  switch (n.kind) {
    case Kind::Char:
      return CharText(n.code);
    case Kind::Dot:
      return ".";
    case Kind::Head:
      return "^";
    case Kind::Tail:
      return "$";
    case Kind::Bracket:
      s = n.negated ? "[^" : "[";
      for (const auto& [low, high] : n.items) {
        s += CharText(low);
        if (high != low) s += "-" + CharText(high);
      }
      return s + "]";
    case Kind::Group:
      return "(" + Print(*n.kids[0]) + ")";
    case Kind::Union:
      for (std::size_t k = 0; k < n.kids.size(); ++k) s += (k ? "|" : "") + Print(*n.kids[k]);
      return s;
    case Kind::Concat:
      for (const NodePtr& kid : n.kids) s += Print(*kid);
      return s;
    case Kind::Star:
      return Print(*n.kids[0]) + "*";
    case Kind::Plus:
      return Print(*n.kids[0]) + "+";
    case Kind::Quest:
      return Print(*n.kids[0]) + "?";
  }
  return s;
}

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  NodePtr Pattern() {
    NodePtr root = Union(0);
    if (Chance(4)) root->kids.front()->kids.insert(root->kids.front()->kids.begin(), Make(Kind::Head));
    if (Chance(4)) root->kids.back()->kids.push_back(Make(Kind::Tail));
    return root;
  }

  std::string Text() {
    static const std::uint16_t chars[] = {'a', 'b', 'c', '\r', '\n', kWide};
    std::string text;
    const int n = Pick(9);
    for (int k = 0; k < n; ++k) {
      const std::uint16_t c = chars[Pick(6)];
      text += c == kWide ? kWideText : std::string(1, static_cast<char>(c));
    }
    return text;
  }

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool Chance(int oneIn) { return Pick(oneIn) == 0; }

 private:
  std::uint16_t Atom() {
    static const std::uint16_t atoms[] = {'a', 'b', 'a', 'b', '\r', '\n', kWide};
    return atoms[Pick(7)];
  }

  NodePtr Union(int depth) {
    NodePtr u = Make(Kind::Union);
    const int terms = Chance(3) ? 2 + Pick(2) : 1;
    for (int k = 0; k < terms; ++k) u->kids.push_back(Concat(depth));
    return u;
  }

  NodePtr Concat(int depth) {
    NodePtr c = Make(Kind::Concat);
    const int factors = Chance(8) ? 0 : 1 + Pick(3);
    for (int k = 0; k < factors; ++k) c->kids.push_back(Factor(depth));
    return c;
  }

  NodePtr Factor(int depth) {
    NodePtr p = Primary(depth);
    switch (Pick(6)) {
      case 0: {
        NodePtr s = Make(Kind::Star);
        s->kids.push_back(std::move(p));
        return s;
      }
      case 1: {
        NodePtr s = Make(Kind::Plus);
        s->kids.push_back(std::move(p));
        return s;
      }
      case 2: {
        NodePtr s = Make(Kind::Quest);
        s->kids.push_back(std::move(p));
        return s;
      }
      default:
        return p;
    }
  }

  NodePtr Primary(int depth) {
    const int kind = Pick(depth < 3 ? 8 : 6);
    if (kind < 4) {
      NodePtr n = Make(Kind::Char);
      n->code = Atom();
      return n;
    }
    if (kind == 4) return Make(Kind::Dot);
    if (kind == 5) {
      NodePtr n = Make(Kind::Bracket);
      n->negated = Chance(2);
      const int items = 1 + Pick(3);
      for (int k = 0; k < items; ++k) {
        if (Chance(4)) {
          n->items.emplace_back('a', 'b');
        } else {
          const std::uint16_t c = Atom();
          n->items.emplace_back(c, c);
        }
      }
      return n;
    }
    NodePtr g = Make(Kind::Group);
    g->kids.push_back(Union(depth + 1));
    return g;
  }

  std::mt19937 rng_;
};

// --- the reference ------------------------------------------------------------------

class Reference {
 public:
  Reference(const std::string& text, TMatchCORE_LineSeparator separator) : text_(text), separator_(separator) {
    for (std::size_t p = 0; p < text.size(); p += Width(p)) starts_.push_back(p);
  }

  std::optional<TMatchSpan> Search(const Node& root) const {
    std::vector<std::size_t> candidates = starts_;
    candidates.push_back(text_.size());
    for (std::size_t s : candidates) {
      const Ends ends = Match(root, s, true, true);
      if (ends.any()) {
        std::size_t last = 0;
        for (std::size_t e = 0; e <= text_.size(); ++e)
          if (ends.test(e)) last = e;
        return TMatchSpan{s, last};
      }
    }
    return std::nullopt;
  }

 private:
  using Ends = std::bitset<64>;

  std::size_t Width(std::size_t p) const {
    const auto b = static_cast<unsigned char>(text_[p]);
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return lead && p + 1 < text_.size() ? 2 : 1;
  }

  // The code at p, 0 at the end.
  std::uint16_t CodeAt(std::size_t p) const {
    if (p >= text_.size()) return 0;
    if (Width(p) == 2)
      return static_cast<std::uint16_t>(static_cast<unsigned char>(text_[p]) << 8 |
                                        static_cast<unsigned char>(text_[p + 1]));
    return static_cast<unsigned char>(text_[p]);
  }

  static bool InAnySet(std::uint16_t c) {
    return (c >= 0x01 && c <= 0x09) || (c >= 0x0B && c <= 0x0C) || (c >= 0x0E && c <= 0xFCFC);
  }

  Ends One(std::size_t p, bool accepted) const {
    Ends e;
    if (accepted && p < text_.size()) e.set(p + Width(p));
    return e;
  }

  Ends Match(const Node& n, std::size_t p, bool atStart, bool atEnd) const {
    const std::uint16_t c = CodeAt(p);
    Ends out;
    switch (n.kind) {
      case Kind::Char:
        return One(p, c != 0 && c == n.code);
      case Kind::Dot:
        return One(p, InAnySet(c));
      case Kind::Bracket: {
        bool in = false;
        for (const auto& [low, high] : n.items) in = in || (c >= low && c <= high);
        return One(p, c != 0 && (n.negated ? InAnySet(c) && !in : in));
      }
      case Kind::Head:
        if (!atStart) return One(p, c == '^');
        if (p == 0 || (text_[p - 1] == '\n' && IsCharStart(p - 1))) out.set(p);
        return out;
      case Kind::Tail:
        if (!atEnd) return One(p, c == '$');
        if (p == text_.size() || c == (separator_ == mcls_CRLF ? '\r' : '\n')) out.set(p);
        return out;
      case Kind::Group:
        return Match(*n.kids[0], p, atStart, atEnd);
      case Kind::Union:
        for (const NodePtr& kid : n.kids) out |= Match(*kid, p, atStart, atEnd);
        return out;
      case Kind::Concat: {
        out.set(p);
        const std::size_t count = n.kids.size();
        for (std::size_t k = 0; k < count; ++k) {
          Ends next;
          for (std::size_t q = 0; q <= text_.size(); ++q)
            if (out.test(q)) next |= Match(*n.kids[k], q, atStart && k == 0, atEnd && k + 1 == count);
          out = next;
        }
        return out;
      }
      case Kind::Star:
        return Closure(*n.kids[0], Ends().set(p));
      case Kind::Plus: {
        // p then p*: only the first copy may leave the start.
        const Ends first = Match(*n.kids[0], p, atStart, false);
        return Closure(*n.kids[0], first);
      }
      case Kind::Quest:
        out = Match(*n.kids[0], p, atStart, atEnd);
        out.set(p);
        return out;
    }
    return out;
  }

  Ends Closure(const Node& body, Ends reached) const {
    Ends frontier = reached;
    while (frontier.any()) {
      Ends next;
      for (std::size_t q = 0; q <= text_.size(); ++q)
        if (frontier.test(q)) next |= Match(body, q, false, false);
      frontier = next & ~reached;
      reached |= next;
    }
    return reached;
  }

  bool IsCharStart(std::size_t p) const {
    for (std::size_t s : starts_)
      if (s == p) return true;
    return false;
  }

  const std::string& text_;
  TMatchCORE_LineSeparator separator_;
  std::vector<std::size_t> starts_;
};

enum class Engine { AsItComes, TinyCache, NFASimulation };  // see the top

const char* EngineName(Engine engine) {
  switch (engine) {
    case Engine::AsItComes:
      return "as it comes";
    case Engine::TinyCache:
      return "DFA only, tiny cache";
    case Engine::NFASimulation:
      return "NFA simulation";
  }
  return "";
}

void Configure(TAWKStr& awk, Engine engine) {
  awk.SetDFACacheBytesForTesting(engine == Engine::TinyCache ? 1 : 0);
  awk.SetDFAOnlyForTesting(engine == Engine::TinyCache);
}

// Match's start and length, from Match itself or from the NFA pass with the
// anchoring Match would choose.
std::pair<int, int> MatchBy(TAWKStr& awk, Engine engine, const std::string& text) {
  int start = 0, length = 0;
  if (engine != Engine::NFASimulation) {
    awk.Match(text, start, length);
    return {start, length};
  }
  const auto span = awk.SearchByNFAForTesting(text, awk.LineHeadAnchored() || awk.LineTailAnchored());
  if (!span) return {0, 0};
  return {static_cast<int>(span->start) + 1, static_cast<int>(span->end - span->start)};
}

// Matches text with the library and with the reference; fails the test with
// the case spelled out when they differ.
void ExpectSameMatch(TAWKStr& awk, const Node& pattern, const std::string& printed, const std::string& text,
                     TMatchCORE_LineSeparator separator, Engine engine) {
  awk.SetLineSeparator(separator);
  const std::optional<TMatchSpan> expected = Reference(text, separator).Search(pattern);
  const int wantStart = expected ? static_cast<int>(expected->start) + 1 : 0;
  const int wantLength = expected ? static_cast<int>(expected->end - expected->start) : 0;
  ASSERT_EQ(MatchBy(awk, engine, text), std::make_pair(wantStart, wantLength))
      << "pattern " << printed << " text " << ::testing::PrintToString(text)
      << (separator == mcls_CRLF ? " CRLF" : " LF") << ", " << EngineName(engine);
}

int RandomRounds() {
  const char* value = std::getenv("QUENZA_DIFFERENTIAL_ROUNDS");
  return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : 3000;
}

TEST(sjRegExpDifferential, DFASearchMatchesTheBacktrackingReference) {
  const int rounds = RandomRounds();
  for (Engine engine : {Engine::AsItComes, Engine::TinyCache, Engine::NFASimulation}) {
    Generator gen(20261207);
    TAWKStr awk;
    Configure(awk, engine);
    int compared = 0;
    for (int round = 0; round < rounds; ++round) {
      const NodePtr pattern = gen.Pattern();
      const std::string printed = Print(*pattern);
      ASSERT_NO_THROW(awk.SetRegExp(printed)) << printed;
      for (int t = 0; t < 6; ++t) {
        const std::string text = gen.Text();
        const auto separator = gen.Chance(2) ? mcls_CRLF : mcls_LF;
        ExpectSameMatch(awk, *pattern, printed, text, separator, engine);
        if (::testing::Test::HasFatalFailure()) return;
        ++compared;
      }
    }
    EXPECT_EQ(compared, rounds * 6);
  }
}

// ".*a" and k dots: 2^(k+1) DFA states if built eagerly. Small texts, so
// the reference can follow; with and without anchors around it.
TEST(sjRegExpDifferential, FormerBugsDotStarAThenDots) {
  std::mt19937 rng(18);
  std::vector<std::string> texts = {"",
                                    "a",
                                    "ab",
                                    std::string(41, 'a'),
                                    std::string(60, 'b'),
                                    "b" + std::string(40, 'x') + "a" + std::string(21, 'y')};
  const std::string alphabet[] = {"a", "b", "a", "\n", "\r", kWideText};
  for (int n = 0; n < 24; ++n) {
    std::string text;
    const std::size_t size = std::uniform_int_distribution<std::size_t>(10, 60)(rng);
    while (text.size() < size) text += alphabet[rng() % 6];
    if (text.size() > 63) text.resize(63);
    texts.push_back(text);
  }
  for (Engine engine : {Engine::AsItComes, Engine::TinyCache, Engine::NFASimulation}) {
    TAWKStr awk;
    Configure(awk, engine);
    for (int k = 0; k <= 40; ++k) {
      for (const bool anchored : {false, true}) {
        NodePtr concat = Make(Kind::Concat);
        if (anchored) concat->kids.push_back(Make(Kind::Head));
        NodePtr star = Make(Kind::Star);
        star->kids.push_back(Make(Kind::Dot));
        concat->kids.push_back(std::move(star));
        NodePtr a = Make(Kind::Char);
        a->code = 'a';
        concat->kids.push_back(std::move(a));
        for (int d = 0; d < k; ++d) concat->kids.push_back(Make(Kind::Dot));
        if (anchored) concat->kids.push_back(Make(Kind::Tail));
        NodePtr pattern = Make(Kind::Union);
        pattern->kids.push_back(std::move(concat));
        const std::string printed = Print(*pattern);
        ASSERT_NO_THROW(awk.SetRegExp(printed)) << printed;
        for (const std::string& text : texts) {
          for (const auto separator : {mcls_CRLF, mcls_LF}) {
            ExpectSameMatch(awk, *pattern, printed, text, separator, engine);
            if (::testing::Test::HasFatalFailure()) return;
          }
        }
      }
    }
  }
}

TEST(sjRegExpDifferential, RandomBytesCompileOrRaiseTheParserError) {
  std::mt19937 rng(7);
  const std::string specials = "()[]^$|*+?.\\-xa09";
  TAWKStr awk;
  int compiled = 0, rejected = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string pattern;
    const int n = std::uniform_int_distribution<int>(0, 12)(rng);
    for (int k = 0; k < n; ++k) {
      if (rng() % 2 == 0) {
        pattern += specials[rng() % specials.size()];
      } else {
        pattern += static_cast<char>(rng() % 256);
      }
    }
    try {
      awk.SetRegExp(pattern);
      ++compiled;
      // The pattern's own bytes as the text: a span inside the text up to
      // its first NUL, and the same from the one pass over the NFA.
      int start = -1, length = -1;
      EXPECT_EQ(awk.Match(pattern, start, length), start);
      const std::size_t textSize = std::min(pattern.find('\0'), pattern.size());
      if (start == 0) {
        EXPECT_EQ(length, 0) << ::testing::PrintToString(pattern);
      } else {
        EXPECT_GE(start, 1) << ::testing::PrintToString(pattern);
        EXPECT_GE(length, 0) << ::testing::PrintToString(pattern);
        EXPECT_LE(static_cast<std::size_t>(start - 1 + length), textSize) << ::testing::PrintToString(pattern);
      }
      EXPECT_EQ(MatchBy(awk, Engine::NFASimulation, pattern), std::make_pair(start, length))
          << ::testing::PrintToString(pattern);
    } catch (const ERegExpParser& e) {
      ++rejected;
      EXPECT_GE(e.ErrorPos(), 1u) << ::testing::PrintToString(pattern);
      EXPECT_LE(e.ErrorPos(), pattern.size() + 1) << ::testing::PrintToString(pattern);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "unexpected " << e.what() << " for " << ::testing::PrintToString(pattern);
    }
  }
  EXPECT_GT(compiled, 100);
  EXPECT_GT(rejected, 100);
}

}  // namespace
}  // namespace quenza

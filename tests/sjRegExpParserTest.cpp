#include "sjRegExpParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "sjRegExpError.h"
#include "sjRegExpTestText.h"

namespace quenza {
namespace {

using Range = std::pair<unsigned, unsigned>;

std::vector<Range> LeafRanges(const TREParseTree& tree) {
  std::vector<Range> ranges;
  for (const TRENode* leaf : tree.Leaves()) {
    EXPECT_EQ(leaf->kind, opCharRange);
    ranges.emplace_back(leaf->low, leaf->high);
  }
  std::sort(ranges.begin(), ranges.end());
  return ranges;
}

// The codes a union of ranges accepts, as sorted merged ranges.
void Collect(const TRENode* node, std::vector<Range>& out) {
  if (node->kind == opCharRange) {
    out.emplace_back(node->low, node->high);
  } else if (node->kind == opUnion) {
    Collect(node->left, out);
    Collect(node->right, out);
  } else if (node->kind != opNever) {
    ADD_FAILURE() << "unexpected node kind " << int(node->kind);
  }
}

std::vector<Range> CodeSet(const TRENode* node) {
  std::vector<Range> raw;
  Collect(node, raw);
  std::sort(raw.begin(), raw.end());
  std::vector<Range> merged;
  for (const Range& r : raw) {
    if (!merged.empty() && r.first <= merged.back().second + 1) {
      merged.back().second = std::max(merged.back().second, r.second);
    } else {
      merged.push_back(r);
    }
  }
  return merged;
}

void ExpectDisjoint(const TREParseTree& tree, const std::string& pattern) {
  const std::vector<Range> ranges = LeafRanges(tree);
  for (std::size_t k = 1; k < ranges.size(); ++k) EXPECT_GT(ranges[k].first, ranges[k - 1].second) << pattern;
}

struct Parsed {
  explicit Parsed(std::string_view pattern) : parser(pattern) { parser.Parse(); }
  const TRENode* Root() const { return parser.Tree().Root(); }
  TREParser parser;
};

const std::vector<Range> kAny = {{0x01, 0x09}, {0x0B, 0x0C}, {0x0E, 0xFCFC}};

// --- the grammar ---------------------------------------------------------------

TEST(TREParser, AcceptedForms) {
  const char* accepted[] = {"",    "()",  "a|", "|a",    "a||b", "(a|b)*c", "[a-]",  "[-a]",    "\\.", "a.b", "^a$",
                            "a^b", "x*^", "^*", "[\\]]", "a+b?", "((a))",   "[^a]*", "\\xFFFF", "(|)", "$$"};
  for (const char* pattern : accepted) {
    TREParser parser(pattern);
    EXPECT_NO_THROW(parser.Parse()) << pattern;
  }
}

struct ErrorRow {
  const char* pattern;
  const char* message;
  unsigned pos;
};

TEST(TREParser, RejectedFormsWithMessageAndPosition) {
  const ErrorRow rows[] = {
      {"a**", "普通の文字、または左括弧\"(\"が必要です", 4},
      {"a+?", "普通の文字、または左括弧\"(\"が必要です", 4},
      {"*a", "普通の文字、または左括弧\"(\"が必要です", 2},
      {"+", "普通の文字、または左括弧\"(\"が必要です", 2},
      {"]", "普通の文字、または左括弧\"(\"が必要です", 2},
      {"a|?", "普通の文字、または左括弧\"(\"が必要です", 4},
      {"a)", "正規表現に余分な文字があります", 3},
      {"a)b", "正規表現に余分な文字があります", 3},
      {"(a", "右(閉じ)括弧が必要です", 3},
      {"(", "右(閉じ)括弧が必要です", 2},
      {"a(b|c", "右(閉じ)括弧が必要です", 6},
      {"[]", "不正なキャラクタクラス指定です。", 3},
      {"[]a]", "不正なキャラクタクラス指定です。", 3},
      {"[^]", "不正なキャラクタクラス指定です。", 4},
      {"[z-a]", "不正なキャラクタ範囲です", 5},
      {"abc\x82", "不正な２バイト文字コードです。", 4},  // scanner errors pass through
  };
  for (const ErrorRow& row : rows) {
    TREParser parser(row.pattern);
    try {
      parser.Parse();
      ADD_FAILURE() << "no error for " << row.pattern;
    } catch (const ERegExpParser& e) {
      EXPECT_STREQ(e.what(), row.message) << row.pattern;
      EXPECT_EQ(e.ErrorPos(), row.pos) << row.pattern;
    }
  }
}

// --- tree shapes -----------------------------------------------------------------

TEST(TREParseTree, EmptyFormsAreOneEmptyNode) {
  EXPECT_EQ(Parsed("").Root()->kind, opEmpty);
  EXPECT_EQ(Parsed("()").Root()->kind, opEmpty);
  const Parsed p("a||b");
  ASSERT_EQ(p.Root()->kind, opUnion);
  ASSERT_EQ(p.Root()->left->kind, opUnion);
  EXPECT_EQ(p.Root()->left->right->kind, opEmpty);
}

TEST(TREParseTree, PostfixShapesShareTheirOperand) {
  const Parsed plus("a+");
  const TRENode* root = plus.Root();
  ASSERT_EQ(root->kind, opConcat);
  ASSERT_EQ(root->right->kind, opStar);
  EXPECT_EQ(root->left, root->right->left);  // one and the same leaf
  EXPECT_EQ(root->left->kind, opCharRange);

  const Parsed group("(ab)+");
  EXPECT_EQ(group.Root()->left, group.Root()->right->left);  // one subtree
  EXPECT_EQ(group.Root()->left->kind, opConcat);

  const Parsed question("a?");
  ASSERT_EQ(question.Root()->kind, opUnion);
  EXPECT_EQ(question.Root()->left->kind, opCharRange);
  EXPECT_EQ(question.Root()->right->kind, opEmpty);
}

TEST(TREParseTree, EqualRangesAreOneLeaf) {
  const Parsed p("a[a]\\x61");
  EXPECT_EQ(p.parser.Tree().Leaves().size(), 1u);
  const TRENode* root = p.Root();
  EXPECT_EQ(root->left->left, root->left->right);
  EXPECT_EQ(root->left->left, root->right);
}

TEST(TREParseTree, AnyCharacterExcludesNulLineBreaksAndReservedCodes) {
  const Parsed dot(".");
  EXPECT_EQ(CodeSet(dot.Root()), kAny);
}

TEST(TREParseTree, NegationStaysInsideTheAnyCharacterSet) {
  struct Row {
    std::string pattern;
    std::vector<Range> codes;
  };
  const Row rows[] = {
      {"[^a]", {{0x01, 0x09}, {0x0B, 0x0C}, {0x0E, 0x60}, {0x62, 0xFCFC}}},
      {"[^\\n]", kAny},
      {"[^\\x00-\\x20]", {{0x21, 0xFCFC}}},
      {"[^b-za]", {{0x01, 0x09}, {0x0B, 0x0C}, {0x0E, 0x60}, {0x7B, 0xFCFC}}},
      {"[^a-ca-c]", {{0x01, 0x09}, {0x0B, 0x0C}, {0x0E, 0x60}, {0x64, 0xFCFC}}},
      {"[^\\x8140-\\xFFFF]", {{0x01, 0x09}, {0x0B, 0x0C}, {0x0E, 0x813F}}},
      {"[^" + test::Sj("ソ") + "]", {{0x01, 0x09}, {0x0B, 0x0C}, {0x0E, 0x835B}, {0x835D, 0xFCFC}}},
  };
  for (const Row& row : rows) {
    const Parsed p(row.pattern);
    EXPECT_EQ(CodeSet(p.Root()), row.codes) << row.pattern;
    ExpectDisjoint(p.parser.Tree(), row.pattern);
  }
}

TEST(TREParseTree, NegationOfEverythingNeverMatches) {
  const Parsed p("[^\\x01-\\xFFFF]");
  EXPECT_EQ(p.Root()->kind, opNever);
  const Parsed inGroup("a[^\\x00-\\xFCFC]|b");
  EXPECT_EQ(inGroup.Root()->left->right->kind, opNever);
}

TEST(TREParseTree, RangesReachingReservedCodesAreClippedBelowThem) {
  EXPECT_EQ(Parsed("\\xFFFD").Root()->kind, opNever);
  EXPECT_EQ(Parsed("\\177777").Root()->kind, opNever);
  EXPECT_EQ(CodeSet(Parsed("[\\xFFF0-\\xFFFF]").Root()), (std::vector<Range>{{0xFFF0, 0xFFFC}}));
  EXPECT_EQ(CodeSet(Parsed("\\xFFFC").Root()), (std::vector<Range>{{0xFFFC, 0xFFFC}}));
}

// --- splitting ---------------------------------------------------------------------

TEST(TREParseTree, OverlappingRangesSplitTheSameWhateverTheOrder) {
  const std::vector<Range> expected = {{'a', 'b'}, {'c', 'f'}, {'g', 'z'}};
  for (const char* pattern : {"[a-z]|[c-f]", "[c-f]|[a-z]"}) {
    const Parsed p(pattern);
    EXPECT_EQ(LeafRanges(p.parser.Tree()), expected) << pattern;
    // Each occurrence still stands for what was written.
    const bool wideFirst = pattern[3] == 'z';
    EXPECT_EQ(CodeSet(p.Root()->left), (std::vector<Range>{wideFirst ? Range{'a', 'z'} : Range{'c', 'f'}}));
    EXPECT_EQ(CodeSet(p.Root()->right), (std::vector<Range>{wideFirst ? Range{'c', 'f'} : Range{'a', 'z'}}));
  }
}

TEST(TREParseTree, SplitRewritesLeavesInPlace) {
  // Both occurrences of [a-z] are one leaf; splitting turns that very node
  // into a union, so neither reference needs updating.
  const Parsed p("[a-z]x|[a-z]y|[c-f]");
  const TRENode* first = p.Root()->left->left->left;
  const TRENode* second = p.Root()->left->right->left;
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->kind, opUnion);
  EXPECT_EQ(CodeSet(first), (std::vector<Range>{{'a', 'z'}}));
  const auto& nodes = p.parser.Tree().Nodes();
  EXPECT_NE(std::find(nodes.begin(), nodes.end(), first), nodes.end());
  const auto& leaves = p.parser.Tree().Leaves();
  EXPECT_EQ(std::find(leaves.begin(), leaves.end(), first), leaves.end());
}

TEST(TREParseTree, SplitKeepsEveryOccurrenceMeaningWhatWasWritten) {
  // Each pattern is an alternation of bracket expressions; after splitting,
  // leaves are pairwise disjoint and every alternative accepts its own codes.
  struct Row {
    std::string pattern;
    std::vector<std::vector<Range>> alternatives;  // in order written
  };
  const Row rows[] = {
      {"[a-m]|[f-z]", {{{'a', 'm'}}, {{'f', 'z'}}}},
      {"[a-m]|[a-z]", {{{'a', 'm'}}, {{'a', 'z'}}}},
      {"[a-z]|[m-z]", {{{'a', 'z'}}, {{'m', 'z'}}}},
      {"[a-z]|[m]|[c-p]", {{{'a', 'z'}}, {{'m', 'm'}}, {{'c', 'p'}}}},
      {"[a-e]|[c-h]|[g-k]|[a-k]", {{{'a', 'e'}}, {{'c', 'h'}}, {{'g', 'k'}}, {{'a', 'k'}}}},
      {"[\\x00-b]|a", {{{0, 'b'}}, {{'a', 'a'}}}},
  };
  for (const Row& row : rows) {
    const Parsed p(row.pattern);
    ExpectDisjoint(p.parser.Tree(), row.pattern);
    std::vector<const TRENode*> alternatives;
    const TRENode* node = p.Root();
    while (alternatives.size() + 1 < row.alternatives.size()) {
      alternatives.insert(alternatives.begin(), node->right);
      node = node->left;
    }
    alternatives.insert(alternatives.begin(), node);
    for (std::size_t k = 0; k < alternatives.size(); ++k)
      EXPECT_EQ(CodeSet(alternatives[k]), row.alternatives[k]) << row.pattern << " #" << k;
  }
}

TEST(TREParseTree, LiteralAnchorCharactersTakePartInTheSplit) {
  // '^' (0x5E) and '$' (0x24) that do not anchor become literal labels later;
  // ranges around them must be cut so no label overlaps another.
  const Parsed p("a^b|[X-a]|[!-&]$");
  ExpectDisjoint(p.parser.Tree(), "a^b|[X-a]|[!-&]$");
  const std::vector<Range> ranges = LeafRanges(p.parser.Tree());
  EXPECT_NE(std::find(ranges.begin(), ranges.end(), Range{'^', '^'}), ranges.end());
  EXPECT_NE(std::find(ranges.begin(), ranges.end(), Range{'$', '$'}), ranges.end());
}

TEST(TREParseTree, AnchorNodesCarryTheirCharacter) {
  const Parsed p("^a$");
  const TRENode* root = p.Root();
  ASSERT_EQ(root->kind, opConcat);
  EXPECT_EQ(root->right->kind, opLineTail);
  EXPECT_EQ(root->right->low, '$');
  EXPECT_EQ(root->left->left->kind, opLineHead);
  EXPECT_EQ(root->left->left->low, '^');
}

}  // namespace
}  // namespace quenza

// The parse tree: operator nodes over character-range leaves. Takes node and
// range requests from the parser, gives a directed acyclic graph whose leaves
// are pairwise disjoint after SplitRanges, ready to label NFA transitions.
// The rules a reader would miss: a range is interned (asking twice for the
// same range returns the same leaf), '+' shares one subtree twice, and
// SplitRanges rewrites a leaf *in place* into a union of its parts, so every
// reference to it sees the split without being told.
#pragma once

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

namespace quenza {

enum TREOpKind : std::uint8_t {
  opCharRange = 0,
  opLineHead = 1,
  opLineTail = 2,
  opConcat = 3,
  opUnion = 4,
  opStar = 5,   // left child only
  opEmpty = 6,  // matches the empty string
  opNever = 7,  // matches nothing: a negation or escape that leaves no code
};

struct TRENode {
  TREOpKind kind = opEmpty;
  TRENode* left = nullptr;
  TRENode* right = nullptr;
  std::uint16_t low = 0;  // ranges; for the anchors the code of '^' or '$'
  std::uint16_t high = 0;
};

// Codes 0xFFFD to 0xFFFF are the automaton's own labels; no range reaches them.
inline constexpr std::uint16_t kHighestCharCode = 0xFFFC;

class TREParseTree {
 public:
  TREParseTree() = default;
  TREParseTree(const TREParseTree&) = delete;
  TREParseTree& operator=(const TREParseTree&) = delete;
  virtual ~TREParseTree() = default;

  TRENode* MakeNode(TREOpKind kind, TRENode* left, TRENode* right);
  TRENode* MakeRange(std::uint16_t low, std::uint16_t high);
  TRENode* MakeRangeOrNone(int low, int high);  // none when high < low
  TRENode* MakeLineHead(std::uint16_t code);
  TRENode* MakeLineTail(std::uint16_t code);
  virtual TRENode* MakeAnyChar();

  void SplitRanges();
  void Clear();

  TRENode* Root() const { return root_; }
  void SetRoot(TRENode* root) { root_ = root; }
  const std::vector<TRENode*>& Leaves() const { return leaves_; }
  const std::vector<TRENode*>& Nodes() const { return nodes_; }

 private:
  bool SplitPair(TRENode* a, TRENode* b);
  void BecomeUnion(TRENode* leaf, TRENode* left, TRENode* right);

  std::deque<TRENode> store_;  // owns every node and leaf; addresses stay put
  std::vector<TRENode*> nodes_;
  std::vector<TRENode*> leaves_;
  std::unordered_map<std::uint32_t, TRENode*> interned_;
  TRENode* root_ = nullptr;
};

}  // namespace quenza

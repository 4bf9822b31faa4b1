#include "sjRegExpParseTree.h"

#include <algorithm>

#include "Exception.h"
#include "sjRegExpError.h"

namespace quenza {

namespace {
std::uint32_t RangeKey(std::uint16_t low, std::uint16_t high) { return static_cast<std::uint32_t>(high) << 16 | low; }
}  // namespace

TRENode* TREParseTree::MakeNode(TREOpKind kind, TRENode* left, TRENode* right) {
  TRENode& node = store_.emplace_back();
  node.kind = kind;
  node.left = left;
  node.right = right;
  nodes_.push_back(&node);
  return &node;
}

TRENode* TREParseTree::MakeRange(std::uint16_t low, std::uint16_t high) {
  const auto found = interned_.find(RangeKey(low, high));
  if (found != interned_.end()) return found->second;
  TRENode& leaf = store_.emplace_back();
  leaf.kind = opCharRange;
  leaf.low = low;
  leaf.high = high;
  leaves_.push_back(&leaf);
  interned_.emplace(RangeKey(low, high), &leaf);
  return &leaf;
}

TRENode* TREParseTree::MakeRangeOrNone(int low, int high) {
  if (high < low || low < 0 || high > 0xFFFF) return nullptr;
  return MakeRange(static_cast<std::uint16_t>(low), static_cast<std::uint16_t>(high));
}

TRENode* TREParseTree::MakeLineHead(std::uint16_t code) {
  TRENode* node = MakeNode(opLineHead, nullptr, nullptr);
  node->low = node->high = code;
  return node;
}

TRENode* TREParseTree::MakeLineTail(std::uint16_t code) {
  TRENode* node = MakeNode(opLineTail, nullptr, nullptr);
  node->low = node->high = code;
  return node;
}

TRENode* TREParseTree::MakeAnyChar() {
  // Everything but 0 (end of text), LF, CR and the codes above the last
  // double-byte character.
  return MakeNode(opUnion, MakeNode(opUnion, MakeRange(0x01, 0x09), MakeRange(0x0B, 0x0C)), MakeRange(0x0E, 0xFCFC));
}

void TREParseTree::Clear() {
  root_ = nullptr;
  interned_.clear();
  leaves_.clear();
  nodes_.clear();
  store_.clear();
}

void TREParseTree::BecomeUnion(TRENode* leaf, TRENode* left, TRENode* right) {
  if (left == nullptr || right == nullptr) throw Exception(re_msg::kTreeFatal);
  const auto key = interned_.find(RangeKey(leaf->low, leaf->high));
  if (key != interned_.end() && key->second == leaf) interned_.erase(key);
  leaves_.erase(std::find(leaves_.begin(), leaves_.end(), leaf));
  leaf->kind = opUnion;
  leaf->left = left;
  leaf->right = right;
  nodes_.push_back(leaf);
}

bool TREParseTree::SplitPair(TRENode* a, TRENode* b) {
  if (a->low > b->low) std::swap(a, b);
  if (b->low > a->high) return false;
  if (a->low == b->low && a->high == b->high) return false;
  const int m = std::min(a->high, b->high);
  const int bigM = std::max(a->high, b->high);
  const std::uint16_t aLow = a->low, aHigh = a->high, bLow = b->low;
  TRENode* left = MakeRangeOrNone(aLow, bLow - 1);
  TRENode* middle = MakeRangeOrNone(bLow, m);
  TRENode* right = MakeRangeOrNone(m + 1, bigM);
  if (left == nullptr) {
    // Same low: the shorter one is the middle part itself.
    BecomeUnion(a->high == bigM ? a : b, middle, right);
  } else if (right == nullptr) {
    BecomeUnion(a, left, middle);  // same high: b is the middle part
  } else if (bigM == aHigh) {
    BecomeUnion(a, MakeNode(opUnion, left, middle), right);  // a holds b
  } else {
    BecomeUnion(a, left, middle);
    BecomeUnion(b, middle, right);
  }
  return true;
}

void TREParseTree::SplitRanges() {
  std::size_t i = 0;
  while (i < leaves_.size()) {
    bool split = false;
    for (std::size_t j = i + 1; j < leaves_.size(); ++j) {
      if (SplitPair(leaves_[i], leaves_[j])) {
        split = true;
        break;
      }
    }
    if (!split) ++i;
  }
}

}  // namespace quenza

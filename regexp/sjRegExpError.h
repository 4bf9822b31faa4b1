// The pattern library's error: a syntax error in a pattern or in a
// replacement text, with the 1-based byte position at which it was found.
// Positions are reported in full, also beyond 65535.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "Exception.h"

namespace quenza {

class ERegExpParser : public Exception {
 public:
  ERegExpParser(std::string message, std::size_t pos)
      : Exception(std::move(message)), pos_(static_cast<unsigned>(pos)) {}

  unsigned ErrorPos() const { return pos_; }

 private:
  unsigned pos_;
};

// The syntax errors' texts, shared by every stage that raises them.
namespace re_msg {
inline constexpr const char* kBadDoubleByte = "不正な２バイト文字コードです。";
inline constexpr const char* kNeedCharAfterBackslash = "\"\\\"の次には文字が必要です。";
inline constexpr const char* kBadHex = "不正な１６進数コード表記です。";
inline constexpr const char* kBadOctal = "不正な８進数コード表記です。";
inline constexpr const char* kNeedRBracket = "右ブラケット\"]\"が必要です";
inline constexpr const char* kBadRange = "不正なキャラクタ範囲です";
inline constexpr const char* kBadClass = "不正なキャラクタクラス指定です。";
inline constexpr const char* kNeedRParen = "右(閉じ)括弧が必要です";
inline constexpr const char* kNeedOperand = "普通の文字、または左括弧\"(\"が必要です";
inline constexpr const char* kSurplus = "正規表現に余分な文字があります";
inline constexpr const char* kTreeFatal = "TREParseTree : 致命的エラー";
}  // namespace re_msg

}  // namespace quenza

// The scanner: takes a pattern text, gives one token at a time. Two modes:
// outside brackets every operator character is a token; inside brackets only
// ']' (closing), '\\' (escape) and '-' (between two items) are special, and
// items come back as single characters or ranges. '[' switches to bracket
// mode and ']' back. The rule a reader would miss: '-' followed by ']' is two
// members ("[a-]" holds 'a' and '-'), so the scanner reads ahead and puts
// both characters back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quenza {

enum TRETokenKind : std::uint8_t {
  tkChar = 0,
  tkRange = 1,
  tkUnion = 2,
  tkLParen = 3,
  tkRParen = 4,
  tkStar = 5,
  tkPlus = 6,
  tkQuestion = 7,
  tkLBracket = 8,
  tkNegLBracket = 9,
  tkRBracket = 10,
  tkDot = 11,
  tkLineHead = 12,
  tkLineTail = 13,
  tkEnd = 14,
};

class TREScanner {
 public:
  TREScanner() = default;
  explicit TREScanner(std::string_view text) { SetText(text); }
  virtual ~TREScanner() = default;

  // Stores the text, goes back to its first byte and to normal mode.
  void SetText(std::string_view text);
  const std::string& Text() const { return text_; }

  TRETokenKind GetToken();

  TRETokenKind Token() const { return token_; }
  std::uint16_t Code() const { return code_; }
  std::uint16_t RangeEnd() const { return rangeEnd_; }
  std::size_t Position() const { return pos_; }  // 1-based, next byte to read
  bool InBrackets() const { return inBrackets_; }

 protected:
  virtual TRETokenKind ScanNormalToken();
  virtual TRETokenKind ScanClassToken();

 private:
  std::string text_;
  std::size_t pos_ = 1;
  TRETokenKind token_ = tkEnd;
  std::uint16_t code_ = 0;
  std::uint16_t rangeEnd_ = 0;
  bool inBrackets_ = false;
};

}  // namespace quenza

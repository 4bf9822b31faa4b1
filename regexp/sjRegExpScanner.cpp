#include "sjRegExpScanner.h"

#include "sjRegExpChars.h"
#include "sjRegExpError.h"

namespace quenza {

void TREScanner::SetText(std::string_view text) {
  text_.assign(text);
  pos_ = 1;
  inBrackets_ = false;
  token_ = tkEnd;
  code_ = 0;
  rangeEnd_ = 0;
}

TRETokenKind TREScanner::GetToken() {
  if (inBrackets_) {
    token_ = ScanClassToken();
    if (token_ == tkRBracket) inBrackets_ = false;
  } else {
    token_ = ScanNormalToken();
    if (token_ == tkLBracket || token_ == tkNegLBracket) inBrackets_ = true;
  }
  return token_;
}

TRETokenKind TREScanner::ScanNormalToken() {
  const std::uint16_t c = ReadChar(text_, pos_);
  code_ = c;
  rangeEnd_ = 0;
  switch (c) {
    case 0:
      return tkEnd;
    case '$':
      return tkLineTail;
    case '(':
      return tkLParen;
    case ')':
      return tkRParen;
    case '*':
      return tkStar;
    case '+':
      return tkPlus;
    case '.':
      return tkDot;
    case '?':
      return tkQuestion;
    case '|':
      return tkUnion;
    case ']':
      return tkRBracket;
    case '^':
      return tkLineHead;
    case '[': {
      const std::uint16_t next = ReadChar(text_, pos_);
      if (next == 0) throw ERegExpParser(re_msg::kNeedRBracket, pos_);
      if (next == '^') return tkNegLBracket;
      UnreadChar(text_, pos_);
      return tkLBracket;
    }
    case '\\':
      code_ = ReadEscape(text_, pos_);
      return tkChar;
    default:
      return tkChar;
  }
}

TRETokenKind TREScanner::ScanClassToken() {
  std::uint16_t a = ReadChar(text_, pos_);
  code_ = a;
  rangeEnd_ = 0;
  if (a == 0) throw ERegExpParser(re_msg::kNeedRBracket, pos_);
  if (a == ']') return tkRBracket;
  if (a == '\\') a = ReadEscape(text_, pos_);
  code_ = a;

  const std::uint16_t b = ReadChar(text_, pos_);
  if (b == 0) throw ERegExpParser(re_msg::kNeedRBracket, pos_);
  if (b != '-') {
    UnreadChar(text_, pos_);
    return tkChar;
  }
  std::uint16_t c = ReadChar(text_, pos_);
  if (c == 0) throw ERegExpParser(re_msg::kNeedRBracket, pos_);
  if (c == ']') {  // "a-]": the '-' is a member, read it again
    UnreadChar(text_, pos_);
    UnreadChar(text_, pos_);
    return tkChar;
  }
  if (c == '\\') c = ReadEscape(text_, pos_);
  if (c < a) throw ERegExpParser(re_msg::kBadRange, pos_);
  rangeEnd_ = c;
  return tkRange;
}

}  // namespace quenza

#include "sjRegExpPreProcessor.h"

#include "sjRegExpChars.h"

namespace quenza {

const std::string& TREPreProcessor::Run() {
  output_ = scanner_.Text();
  if (useSynonymDic_) {
    output_ = Substitute(scanner_.Text(), synonymDics_);
    scanner_.SetText(output_);
  }
  if (useFuzzyCharDic_) output_ = Substitute(scanner_.Text(), fuzzyCharDics_);
  return output_;
}

// The first row, in dictionary and row order, holding a member whose
// characters equal the codes of tokens first, first + 1, ... before runEnd.
const TREDictionaryRow* TREPreProcessor::FindRow(const std::vector<const TREDictionary*>& dics, std::size_t first,
                                                 std::size_t runEnd, std::size_t& matched) const {
  for (const TREDictionary* dic : dics) {
    for (const TREDictionaryRow& row : *dic) {
      for (const std::string& member : row) {
        std::size_t pos = 1;
        std::size_t k = first;
        bool equal = !member.empty();
        while (equal && pos <= member.size()) {
          const std::uint16_t c = ReadChar(member, pos);
          equal = k < runEnd && c != 0 && tokens_[k].code == c;
          ++k;
        }
        if (equal) {
          matched = k - first;
          return &row;
        }
      }
    }
  }
  return nullptr;
}

std::string TREPreProcessor::Substitute(std::string text, const std::vector<const TREDictionary*>& dics) {
  // Tokenize everything first, so that any syntax error surfaces here.
  scanner_.SetText(text);
  tokens_.clear();
  for (;;) {
    TRETokenRecord record;
    record.start = scanner_.Position();
    record.kind = scanner_.GetToken();
    if (record.kind == tkEnd) {
      tokens_.push_back(TRETokenRecord{});
      break;
    }
    record.code = scanner_.Code();
    record.rangeEnd = scanner_.RangeEnd();
    record.end = scanner_.Position();
    tokens_.push_back(record);
  }

  const auto source = [&](const TRETokenRecord& r) {
    return std::string_view(text).substr(r.start - 1, r.end - r.start);
  };
  std::string out;
  bool inBrackets = false;
  std::size_t i = 0;
  while (tokens_[i].kind != tkEnd) {
    const TRETokenRecord& r = tokens_[i];
    if (r.kind == tkLBracket || r.kind == tkNegLBracket) inBrackets = true;
    if (r.kind == tkRBracket) inBrackets = false;
    if (r.kind != tkChar || inBrackets) {
      out += source(r);
      ++i;
      continue;
    }
    std::size_t runEnd = i;
    while (tokens_[runEnd].kind == tkChar) ++runEnd;
    while (i < runEnd) {
      std::size_t matched = 0;
      const TREDictionaryRow* row = FindRow(dics, i, runEnd, matched);
      if (row == nullptr) {
        out += source(tokens_[i]);
        ++i;
        continue;
      }
      out += '(';
      for (std::size_t m = 0; m < row->size(); ++m) {
        if (m > 0) out += '|';
        out += EscapeLiteral((*row)[m]);
      }
      out += ')';
      i += matched;
    }
  }
  return out;
}

}  // namespace quenza

// The preprocessor: takes a pattern text, gives the text the parser compiles.
// With a dictionary flag on, every maximal run of literal characters outside
// brackets is rewritten: where a row member matches the characters starting
// here, they become "(m1|m2|...)" over the whole row, each member escaped.
// The rules a reader would miss: the first row with any matching member wins
// even if a later row would match more characters; an empty member never
// matches but stays in the alternation as an empty alternative; and with both
// flags off the pattern is passed on untouched, without being tokenized.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sjRegExpScanner.h"

namespace quenza {

// A row is an ordered list of members held as Shift_JIS bytes.
using TREDictionaryRow = std::vector<std::string>;
using TREDictionary = std::vector<TREDictionaryRow>;

struct TRETokenRecord {
  TRETokenKind kind = tkEnd;
  std::uint16_t code = 0;
  std::uint16_t rangeEnd = 0;
  std::size_t start = 0;  // 1-based index of the first byte
  std::size_t end = 0;    // 1-based index just past the token
};

class TREPreProcessor {
 public:
  void SetText(std::string_view pattern) { scanner_.SetText(pattern); }
  const std::string& Run();

  bool UseSynonymDic() const { return useSynonymDic_; }
  void SetUseSynonymDic(bool on) { useSynonymDic_ = on; }
  bool UseFuzzyCharDic() const { return useFuzzyCharDic_; }
  void SetUseFuzzyCharDic(bool on) { useFuzzyCharDic_ = on; }

  // Registered dictionaries are not owned; they must outlive the preprocessor.
  std::vector<const TREDictionary*>& SynonymDics() { return synonymDics_; }
  std::vector<const TREDictionary*>& FuzzyCharDics() { return fuzzyCharDics_; }

  const std::vector<TRETokenRecord>& Tokens() const { return tokens_; }

 private:
  std::string Substitute(std::string text, const std::vector<const TREDictionary*>& dics);
  const TREDictionaryRow* FindRow(const std::vector<const TREDictionary*>& dics, std::size_t first, std::size_t runEnd,
                                  std::size_t& matched) const;

  TREScanner scanner_;
  std::vector<TRETokenRecord> tokens_;
  std::string output_;
  std::vector<const TREDictionary*> synonymDics_;
  std::vector<const TREDictionary*> fuzzyCharDics_;
  bool useSynonymDic_ = false;
  bool useFuzzyCharDic_ = false;
};

}  // namespace quenza

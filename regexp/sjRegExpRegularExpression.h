// TRegularExpression: takes pattern texts, gives compiled automata through a
// small cache. Every assignment runs the preprocessor, then looks for the
// processed text among at most 30 compiled entries; entry 0 is the empty
// pattern and is never removed. The rules a reader would miss: a new pattern
// always enters at entry 1 and the one inserted longest ago leaves first,
// however often it is used; and after a failed compile the current entry is
// 0 and the pattern text reads empty, so searches then match the empty
// string at the start of every text. Compiling builds the NFA and only the
// initial DFA state; searches grow each DFA as they go, within the DFA's own
// cap (2 MiB), so a compiled pattern never costs more than that however it
// is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sjRegExpDFA.h"
#include "sjRegExpPreProcessor.h"

namespace quenza {

class TRegularExpression {
 public:
  static constexpr std::size_t kCacheCapacity = 30;

  TRegularExpression();
  TRegularExpression(const TRegularExpression&) = delete;
  TRegularExpression& operator=(const TRegularExpression&) = delete;
  virtual ~TRegularExpression();

  std::string RegExp() const { return regExpText_; }
  void SetRegExp(std::string_view pattern) { AssignRegExp(pattern); }

  bool UseFuzzyCharDic() const { return preProcessor_->UseFuzzyCharDic(); }
  void SetUseFuzzyCharDic(bool on);
  bool UseSynonymDic() const { return preProcessor_->UseSynonymDic(); }
  void SetUseSynonymDic(bool on);

  virtual std::uint16_t LineHeadCode() const { return 0xFFFD; }
  virtual std::uint16_t LineTailCode() const { return 0xFFFE; }
  bool LineHeadAnchored() const { return CurrentDFA().BeginsWithLineHead(); }
  bool LineTailAnchored() const { return CurrentDFA().EndsWithLineTail(); }

  TREPreProcessor& PreProcessor() { return *preProcessor_; }

  // Cache inspection, for tests.
  std::size_t CacheSizeForTesting() const { return cache_.size(); }
  std::size_t CurrentEntryForTesting() const { return current_; }
  const std::string& CacheTextForTesting(std::size_t entry) const { return cache_[entry].text; }
  std::size_t CompileCountForTesting() const { return compileCount_; }
  // A smaller cap on the state cache of every DFA, cached and to come; 0
  // gives back the DFA's own.
  void SetDFACacheBytesForTesting(std::size_t bytes);

 protected:
  virtual void Compile(const std::string& processed);
  virtual void AssignRegExp(std::string_view value);
  const TRE_DFA& CurrentDFA() const { return *cache_[current_].dfa; }

 private:
  struct Entry {
    std::string text;
    std::unique_ptr<TRE_DFA> dfa;
  };

  std::string regExpText_;
  std::vector<Entry> cache_;
  std::size_t current_ = 0;
  std::unique_ptr<TREPreProcessor> preProcessor_;
  std::size_t compileCount_ = 0;
  std::size_t dfaCacheBytesForTesting_ = 0;  // 0: the DFA's own cap
};

}  // namespace quenza

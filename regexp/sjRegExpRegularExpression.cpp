#include "sjRegExpRegularExpression.h"

#include <algorithm>

#include "sjRegExpNFA.h"
#include "sjRegExpParser.h"

namespace quenza {

TRegularExpression::TRegularExpression() : preProcessor_(std::make_unique<TREPreProcessor>()) {
  cache_.reserve(kCacheCapacity);
  cache_.push_back(Entry{std::string(), nullptr});
  current_ = 0;
  TRegularExpression::Compile(cache_[0].text);
}

TRegularExpression::~TRegularExpression() = default;

void TRegularExpression::SetUseFuzzyCharDic(bool on) {
  preProcessor_->SetUseFuzzyCharDic(on);
  const std::string text = regExpText_;
  AssignRegExp(text);
}

void TRegularExpression::SetUseSynonymDic(bool on) {
  preProcessor_->SetUseSynonymDic(on);
  const std::string text = regExpText_;
  AssignRegExp(text);
}

void TRegularExpression::SetDFACacheBytesForTesting(std::size_t bytes) {
  dfaCacheBytesForTesting_ = bytes;
  for (Entry& entry : cache_)
    if (entry.dfa != nullptr) entry.dfa->SetCacheBytesForTesting(bytes != 0 ? bytes : TRE_DFA::kCacheBytes);
}

void TRegularExpression::AssignRegExp(std::string_view value) {
  preProcessor_->SetText(value);
  const std::string& processed = preProcessor_->Run();  // a syntax error here changes nothing
  try {
    const auto found = std::find_if(cache_.begin(), cache_.end(), [&](const Entry& e) { return e.text == processed; });
    if (found != cache_.end()) {
      current_ = static_cast<std::size_t>(found - cache_.begin());
    } else {
      if (cache_.size() == kCacheCapacity) cache_.pop_back();
      cache_.insert(cache_.begin() + 1, Entry{processed, nullptr});
      current_ = 1;
      Compile(processed);
    }
    regExpText_.assign(value);
  } catch (...) {
    current_ = 0;
    regExpText_.clear();
    throw;
  }
}

void TRegularExpression::Compile(const std::string& processed) {
  ++compileCount_;
  try {
    TREParser parser(processed);
    parser.Parse();
    TRE_NFA nfa(parser, LineTailCode(), LineHeadCode());
    nfa.Build();
    auto dfa = std::make_unique<TRE_DFA>(nfa);
    dfa->Build();
    if (dfaCacheBytesForTesting_ != 0) dfa->SetCacheBytesForTesting(dfaCacheBytesForTesting_);
    cache_[current_].dfa = std::move(dfa);
  } catch (...) {
    cache_.erase(cache_.begin() + static_cast<std::ptrdiff_t>(current_));
    current_ = 0;
    throw;
  }
}

}  // namespace quenza

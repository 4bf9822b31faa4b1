// Compile-side costs of the pattern library: the receiver's pattern parsed
// and split, and the preprocessor pass every assignment of a pattern runs.
#include <benchmark/benchmark.h>

#include "sjRegExp.h"

namespace quenza {
namespace {

void BM_ParseAndSplitPriorityTag(benchmark::State& state) {
  for (auto _ : state) {
    TREParser parser("<[0-9]+>");
    parser.Parse();
    benchmark::DoNotOptimize(parser.Tree().Root());
  }
}
BENCHMARK(BM_ParseAndSplitPriorityTag);

void BM_PreProcessorFlagsOff(benchmark::State& state) {
  TREPreProcessor pre;
  pre.FuzzyCharDics().push_back(&CharEquivalenceDic());
  for (auto _ : state) {
    pre.SetText("<[0-9]+>");
    benchmark::DoNotOptimize(pre.Run().data());
  }
}
BENCHMARK(BM_PreProcessorFlagsOff);

void BM_PreProcessorFuzzy(benchmark::State& state) {
  TREPreProcessor pre;
  pre.FuzzyCharDics().push_back(&CharEquivalenceDic());
  pre.SetUseFuzzyCharDic(true);
  for (auto _ : state) {
    pre.SetText("<[0-9]+>");
    benchmark::DoNotOptimize(pre.Run().data());
  }
}
BENCHMARK(BM_PreProcessorFuzzy);

}  // namespace
}  // namespace quenza

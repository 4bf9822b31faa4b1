// A file's bytes through the line indexer, cut into chunks where the fuzzer
// chooses (so CR LF pairs and UTF-8 characters fall across the cuts), against
// a plain splitter over the whole text; the lines packed by the store's
// builder into tiny blocks must give the same text back; the UTF-8 check fed
// the same chunks must answer as IsUtf8Text does for the whole.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "LineIndexer.h"
#include "LogStoreBuilder.h"
#include "jconvert.h"

namespace {

using namespace quenza;

std::vector<std::string> SplitWhole(const std::string& text) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<std::size_t> cuts;
  for (int n = input.ConsumeIntegralInRange(0, 16); n > 0; --n) cuts.push_back(input.ConsumeIntegralInRange(1, 64));
  const std::string raw = input.ConsumeRemainingBytesAsString();
  // Breaks are rare in random bytes: the top bytes stand for them here.
  std::string text = raw;
  for (char& c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0xFB)
      c = '\r';
    else if (b >= 0xF6)
      c = '\n';
  }

  std::vector<std::string> chunks;
  for (std::size_t at = 0, k = 0; at < text.size(); ++k) {
    const std::size_t n = cuts.empty() ? text.size() : cuts[k % cuts.size()];
    chunks.push_back(text.substr(at, n));
    at += n;
  }
  TLineIndexer indexer;
  std::vector<std::string> lines(1);
  for (const std::string& chunk : chunks) {
    indexer.Feed(
        chunk,
        [&](std::string_view piece) {
          if (piece.empty()) std::abort();
          lines.back() += piece;
        },
        [&] { lines.emplace_back(); });
  }
  if (lines != SplitWhole(text)) std::abort();

  TLogStore::TBuilder builder(nullptr, TLogStore::kMaxSize, 16);
  for (const std::string& line : lines) builder.AddLine(line);
  TLogStore store;
  store.TESTING_ONLY_SetBlockBytes(16);
  store.TakeText(std::move(builder));
  store.TESTING_ONLY_CheckBlocks();
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) joined += (i ? "\r\n" : "") + lines[i];
  if (store.Text() != joined) std::abort();

  TUtf8TextCheck check;
  for (std::size_t at = 0, k = 0; at < raw.size(); ++k) {
    const std::size_t n = cuts.empty() ? raw.size() : cuts[k % cuts.size()];
    check.Feed(std::string_view(raw).substr(at, n));
    at += n;
  }
  if (check.Result() != IsUtf8Text(raw)) std::abort();
  return 0;
}

// The generated Japanese test text (tests/data, made by
// scripts/gen_japanese_corpus.py with glibc's iconv): real sentences in
// UTF-8, code page 932, EUC-JP and ISO-2022-JP, and a character pool from
// which texts of any length are drawn in Shift_JIS and EUC-JP.
#pragma once

#include <algorithm>
#include <array>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quenza::test {

inline std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

// Tab-separated rows of a generated data file, comment lines skipped.
inline std::vector<std::vector<std::string>> ReadRows(const std::string& name) {
  std::ifstream file(std::string(QUENZA_TEST_DATA_DIR) + "/" + name);
  if (!file) throw std::runtime_error("cannot read test data " + name);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream fieldStream(line);
    std::string field;
    while (std::getline(fieldStream, field, '\t')) fields.push_back(field);
    rows.push_back(std::move(fields));
  }
  return rows;
}

struct Sentence {
  int japanese;  // non-ASCII characters
  std::string utf8, sjis, euc, jis;
};

inline const std::vector<Sentence>& Sentences() {
  static const std::vector<Sentence> sentences = [] {
    std::vector<Sentence> result;
    for (const auto& row : ReadRows("japanese_sentences.tsv")) {
      if (row.size() != 5) throw std::runtime_error("bad sentence row");
      result.push_back({std::stoi(row[0]), FromHex(row[1]), FromHex(row[2]), FromHex(row[3]), FromHex(row[4])});
    }
    return result;
  }();
  return sentences;
}

// A large sample built from the generated character pool, with runs of one
// kind of character as in the sentences. The rate of legacy texts taken for
// UTF-8, by the number of Japanese characters.
class PoolSample {
 public:
  PoolSample() {
    for (const auto& row : ReadRows("japanese_pool.tsv")) {
      if (row.size() != 4 || row[0].size() != 1) throw std::runtime_error("bad pool row");
      const auto kind = std::string("HCKWPA").find(row[0][0]);
      if (kind == std::string::npos) throw std::runtime_error("bad pool kind");
      kinds_[kind].push_back({FromHex(row[2]), FromHex(row[3])});
    }
    for (const auto& k : kinds_) {
      if (k.empty()) throw std::runtime_error("pool kind missing");
    }
  }

  // One text with exactly `japanese` non-ASCII characters, in Shift_JIS and EUC-JP.
  void Make(int japanese, std::string& sjis, std::string& euc) {
    sjis.clear();
    euc.clear();
    int count = 0, total = 0;
    while (count < japanese) {
      const std::size_t kind = PickKind();
      const int run = 1 + static_cast<int>(rng_() % 8);
      if (kind == kAscii) {
        if (total + run + japanese - count > 200) continue;
        total += run;
      } else {
        const int take = std::min(run, japanese - count);
        count += take;
        total += take;
        for (int i = 0; i < take; ++i) Append(kind, sjis, euc);
        continue;
      }
      for (int i = 0; i < run; ++i) Append(kind, sjis, euc);
    }
  }

 private:
  struct Encoded {
    std::string sjis, euc;
  };
  static constexpr std::size_t kAscii = 5;

  std::size_t PickKind() {
    // hiragana, kanji, katakana, half-width, punctuation, ASCII
    static constexpr std::array<unsigned, 6> kWeights = {34, 28, 14, 10, 6, 8};
    unsigned r = rng_() % 100;
    std::size_t k = 0;
    while (r >= kWeights[k]) r -= kWeights[k++];
    return k;
  }
  void Append(std::size_t kind, std::string& sjis, std::string& euc) {
    const auto& e = kinds_[kind][rng_() % kinds_[kind].size()];
    sjis += e.sjis;
    euc += e.euc;
  }

  std::array<std::vector<Encoded>, 6> kinds_;
  std::mt19937 rng_{20240614};
};

}  // namespace quenza::test

// Files read into the line store: the breaks, the encoding rule and the
// joining of several files, each checked with chunks so small that every
// line, CR LF and UTF-8 character is cut somewhere, read ahead on a thread
// and without; the capacity; the metadata a label gives; failures.
#include "FileLoader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quenza {
namespace {

namespace fs = std::filesystem;

class FileLoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quenza-loader-" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  // The text Run built, CR LF between lines, as the store gives it.
  static std::string Load(const std::vector<std::string>& paths, const TFileLoadOptions& options,
                          bool* utf8 = nullptr) {
    TFileLoader loader(paths, options);
    loader.Run();
    TLogStore store;
    store.TakeText(std::move(loader.Text()));
    store.TESTING_ONLY_CheckBlocks();
    if (utf8 != nullptr) *utf8 = loader.Utf8();
    return store.Text();
  }

  // Chunks of 1, 2, 3 and 5 bytes, each read ahead and not, and whole.
  static std::vector<TFileLoadOptions> Ways() {
    std::vector<TFileLoadOptions> ways;
    for (const std::size_t chunk : {1, 2, 3, 5, 1 << 20}) {
      for (const bool ahead : {false, true}) {
        TFileLoadOptions o;
        o.chunkBytes = chunk;
        o.readAhead = ahead;
        o.blockBytes = 8;  // a block every line or two
        ways.push_back(o);
      }
    }
    return ways;
  }

  fs::path dir_;
};

const std::string kLogSjis = "\x83\x8D\x83\x4F";  // ログ

TEST_F(FileLoaderTest, BreaksAndEncodingWhereverTheChunksCut) {
  struct Row {
    const char* label;
    std::string bytes;
    std::string text;
    bool utf8;
  } rows[] = {
      {"empty", "", "", false},
      {"CR LF, CR and LF, no final break", "a\r\nb\rc\nd", "a\r\nb\r\nc\r\nd", false},
      {"final break: an empty last line", "a\r\n\r\n", "a\r\n\r\n", false},
      {"LF CR is two breaks", "a\n\rb", "a\r\n\r\nb", false},
      {"CR CR LF", "a\r\r\nb", "a\r\n\r\nb", false},
      {"Shift_JIS: not well-formed UTF-8", kLogSjis + "\r\n" + kLogSjis, kLogSjis + "\r\n" + kLogSjis, false},
      {"UTF-8 Japanese, no mark", "x\nログ\r\n", "x\r\n" + kLogSjis + "\r\n", true},
      {"byte-order mark, ASCII after it", "\xEF\xBB\xBFplain\n", "plain\r\n", true},
      {"byte-order mark, broken bytes after it", "\xEF\xBB\xBF\x83\x8D", "<0x83><0x8D>", true},
      {"well-formed but a byte short at the end", "ログ\xE3\x83", "ログ\xE3\x83", false},
      {"two-byte characters alone", "caf\xC3\xA9", "caf\xC3\xA9", false},
      {"a character CP932 lacks", "日本\n😀", "\x93\xFA\x96\x7B\r\n<U+1F600>", true},
  };
  for (const Row& row : rows) {
    const std::string path = Write("in.log", row.bytes);
    for (const TFileLoadOptions& way : Ways()) {
      SCOPED_TRACE(std::string(row.label) + ", chunk " + std::to_string(way.chunkBytes) +
                   (way.readAhead ? " ahead" : ""));
      bool utf8 = !row.utf8;
      EXPECT_EQ(Load({path}, way, &utf8), row.text);
      EXPECT_EQ(utf8, row.utf8);
    }
  }
}

TEST_F(FileLoaderTest, SeveralFilesAreOneTextEachJudgedOnItsOwn) {
  const std::string a = Write("a.log", "a1\r\na2\r\n");
  const std::string b = Write("b.log", "b1 ログ\r\n");           // UTF-8
  const std::string c = Write("c.log", kLogSjis + " c1\r\nc2");  // no final break
  const std::string empty = Write("e.log", "");
  const std::string d = Write("d.log", "d1\n");
  for (const TFileLoadOptions& way : Ways()) {
    SCOPED_TRACE(std::to_string(way.chunkBytes) + (way.readAhead ? " ahead" : ""));
    bool utf8 = false;
    EXPECT_EQ(Load({a, b, c, empty, d}, way, &utf8),
              "a1\r\na2\r\nb1 " + kLogSjis + "\r\n" + kLogSjis + " c1\r\nc2\r\nd1\r\n");
    EXPECT_TRUE(utf8);
    EXPECT_EQ(Load({a, c}, way, &utf8), "a1\r\na2\r\n" + kLogSjis + " c1\r\nc2");
    EXPECT_FALSE(utf8);
  }
}

TLineMeta LabelMeta(std::string_view line) {
  TLineMeta meta;
  if (line.rfind("[E]", 0) == 0) meta.severity = 3;
  return meta;
}

TEST_F(FileLoaderTest, EachLineGetsItsMetadataFromItsOwnBytes) {
  const std::string path = Write("labels.log", "[E] one\r\nplain\r\n[E] three\r\n[E]");
  for (const bool utf8 : {false, true}) {
    const std::string p = utf8 ? Write("labels8.log", "ログ\n" + std::string("[E] x\n")) : path;
    TFileLoadOptions options;
    options.metaOf = &LabelMeta;
    options.chunkBytes = 3;
    TFileLoader loader({p}, options);
    loader.Run();
    TLogStore store;
    store.TakeText(std::move(loader.Text()));
    std::vector<int> severities;
    for (std::size_t i = 0; i < store.LineCount(); ++i) severities.push_back(store.Meta(i).severity);
    EXPECT_EQ(severities, utf8 ? std::vector<int>({-1, 3, -1}) : std::vector<int>({3, -1, 3, 3}));
  }
}

TEST_F(FileLoaderTest, CapacityRefusesBeforeOrWhileReading) {
  // 10 bytes and 3 breaks count 13; the file is 16 bytes.
  const std::string path = Write("big.log", "ab\r\ncd\r\nef\r\nghij");
  struct Row {
    std::uint64_t capacity;
    bool refused;
  } rows[] = {{13, false}, {12, true}, {7, true}};  // 7: fewer than half the size, refused unread
  for (const Row& row : rows) {
    for (const TFileLoadOptions& way : Ways()) {
      SCOPED_TRACE(std::to_string(row.capacity) + ", chunk " + std::to_string(way.chunkBytes));
      TFileLoadOptions options = way;
      options.capacity = row.capacity;
      TFileLoader loader({path}, options);
      if (!row.refused) {
        EXPECT_NO_THROW(loader.Run());
        continue;
      }
      try {
        loader.Run();
        ADD_FAILURE() << "not refused";
      } catch (const EFileTooLarge& e) {
        EXPECT_NE(std::string(e.what()).find("big.log\" は大きすぎるため開けません"), std::string::npos) << e.what();
      }
      if (row.capacity == 7) {
        EXPECT_EQ(loader.BytesRead(), 0u);
      }
    }
  }
}

TEST_F(FileLoaderTest, FailuresRaiseTheOpenErrorTextAndCancelStops) {
  TFileLoader missing({(dir_ / "missing.log").string()});
  try {
    missing.Run();
    ADD_FAILURE() << "no failure";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()),
              "ファイル \"" + (dir_ / "missing.log").string() + "\". No such file or directory は開けません");
  }
  TFileLoader folder({dir_.string()});
  EXPECT_THROW(folder.Run(), Exception);

  const std::string path = Write("some.log", std::string(100, 'x') + "\n");
  for (const TFileLoadOptions& way : Ways()) {
    TFileLoader cancelled({path}, way);
    cancelled.Cancel();
    EXPECT_THROW(cancelled.Run(), ELoadCancelled);
  }
}

}  // namespace
}  // namespace quenza

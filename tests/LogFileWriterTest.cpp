// Automatic log files: the same bytes as the view's lines, one file per
// arrival date, appended to, and a failing disk that costs no line.
#include "LogFileWriter.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"
#include "support/WaitUntil.h"

namespace quenza {
namespace {

namespace fs = std::filesystem;

constexpr TDateTimeValue kDay1{2026, 12, 7, 23, 59, 59, 999};
constexpr TDateTimeValue kDay2{2026, 12, 8, 0, 0, 0, 0};

class LogFileWriterTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/logfilewriter-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    root_ = name;
    folder_ = root_ / "logs";
  }
  void TearDown() override {
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add);
    if (fs::exists(folder_)) fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(root_);
  }
  std::string Read(const char* name) const { return FileBytes(folder_ / name); }

  fs::path root_, folder_;
};

TEST_F(LogFileWriterTest, LinesAreTheSameBytesWithCrLf) {
  TLogFileWriter writer(folder_.string());
  const std::string sjis = "2026/12/07 10.0.0.1 [USER/NOTICE] \x93\xfa\x96\x7b\x8c\xea";
  writer.Append(sjis, kDay1);
  writer.Append("", kDay1);  // an empty line stays a line
  writer.Append(std::string("nul\0byte", 8), kDay1);
  writer.Sync();
  EXPECT_EQ(Read("quenza-20261207.log"), sjis + "\r\n\r\n" + std::string("nul\0byte\r\n", 10));
  const TLogFileWriter::TStatus status = writer.Status();
  EXPECT_EQ(status.written, 3u);
  EXPECT_EQ(status.waiting, 0u);
  EXPECT_EQ(status.currentPath, (folder_ / "quenza-20261207.log").string());
  EXPECT_TRUE(writer.TakeNewFailure().empty());
}

TEST_F(LogFileWriterTest, Utf8FilesHoldTheLinesConverted) {
  struct Row {
    std::string line, written;
  } rows[] = {
      {"plain ascii", "plain ascii"},
      {"\x93\xfa\x96\x7b\x8c\xea \xb1\xb2", "日本語 ｱｲ"},
      {"\x87\x40\x81\x60", "①～"},
      {"\xf0\x40", "\xee\x80\x80"},  // the user-defined area, U+E000
      // A byte that is no character is marked, and a lone lead byte never takes the line break.
      {"bad \x80 byte", "bad <0x80> byte"},
      {"cut\x82", "cut<0x82>"},
      {"", ""},
  };
  std::string expected;
  {
    TLogFileWriter writer(folder_.string(), TLogFileWriter::TEncoding::Utf8);
    for (const Row& row : rows) {
      writer.Append(row.line, kDay1);
      expected += row.written + "\r\n";
    }
    writer.Sync();
    EXPECT_EQ(writer.Status().written, std::size(rows));
  }
  EXPECT_EQ(Read("quenza-20261207.log"), expected);
}

TEST_F(LogFileWriterTest, LocalMidnightStartsANewFile) {
  TLogFileWriter writer(folder_.string());
  writer.Append("last of the day", kDay1);
  writer.Append("first of the next", kDay2);
  writer.Append("and another", kDay2);
  writer.Sync();
  EXPECT_EQ(Read("quenza-20261207.log"), "last of the day\r\n");
  EXPECT_EQ(Read("quenza-20261208.log"), "first of the next\r\nand another\r\n");
  EXPECT_EQ(writer.Status().currentPath, (folder_ / "quenza-20261208.log").string());
  EXPECT_EQ(TLogFileWriter::FileNameFor({2027, 1, 2, 3, 4, 5, 6}), "quenza-20270102.log");
}

TEST_F(LogFileWriterTest, AnExistingFileIsAppendedToNeverTruncated) {
  fs::create_directories(folder_);
  std::ofstream(folder_ / "quenza-20261207.log", std::ios::binary) << "yesterday's capture\r\n";
  {
    TLogFileWriter writer(folder_.string());
    writer.Append("today", kDay1);
  }  // the destructor writes and syncs
  EXPECT_EQ(Read("quenza-20261207.log"), "yesterday's capture\r\ntoday\r\n");
}

TEST_F(LogFileWriterTest, LinesAreWrittenWithinTheIntervalWithoutSync) {
  TLogFileWriter writer(folder_.string());
  writer.TESTING_ONLY_SetInterval(20);
  writer.Append("soon", kDay1);
  EXPECT_TRUE(WaitUntil([&] { return Read("quenza-20261207.log") == "soon\r\n"; }));
}

// The folder cannot be made (a file stands in its place), then can: one
// report, the lines wait, and they all arrive once the cause is gone.
TEST_F(LogFileWriterTest, MissingFolderFailsOnceAndRecoversByItself) {
  fs::create_directories(root_);
  std::ofstream(folder_) << "a file where the folder should be";
  TLogFileWriter writer(folder_.string());
  writer.TESTING_ONLY_SetInterval(20);
  writer.Append("one", kDay1);
  writer.Append("two", kDay1);
  ASSERT_TRUE(WaitUntil([&] { return writer.Status().failures >= 2; }));
  const std::string failure = writer.TakeNewFailure();
  EXPECT_NE(failure.find(folder_.string()), std::string::npos) << failure;
  EXPECT_TRUE(writer.TakeNewFailure().empty());  // once per episode
  TLogFileWriter::TStatus status = writer.Status();
  EXPECT_EQ(status.waiting, 2u);
  EXPECT_EQ(status.written, 0u);
  EXPECT_EQ(status.lost, 0u);
  EXPECT_FALSE(status.lastError.empty());

  fs::remove(folder_);
  writer.Append("three", kDay1);
  ASSERT_TRUE(WaitUntil([&] { return writer.Status().written == 3; }));
  EXPECT_EQ(Read("quenza-20261207.log"), "one\r\ntwo\r\nthree\r\n");
  status = writer.Status();
  EXPECT_TRUE(status.lastError.empty());
  EXPECT_EQ(status.waiting, 0u);
  EXPECT_TRUE(writer.TakeNewFailure().empty());
}

// A file-size limit stands in for a full disk: the batch that does not fit
// is taken back whole, so the file never holds half a line.
TEST_F(LogFileWriterTest, FullDiskLeavesNoBrokenLineAndResumes) {
  TLogFileWriter writer(folder_.string());
  writer.TESTING_ONLY_SetInterval(20);
  writer.Append("fits", kDay1);
  writer.Sync();
  TFileSizeLimit full_disk(4096);
  ASSERT_TRUE(full_disk.Active());
  const std::string long_line(1000, 'x');
  for (int i = 0; i < 10; ++i) writer.Append(long_line, kDay1);
  const bool failed = WaitUntil([&] { return writer.Status().failures >= 1; });
  const std::string while_full = Read("quenza-20261207.log");
  full_disk.Lift();
  ASSERT_TRUE(failed);
  EXPECT_EQ(while_full, "fits\r\n");
  EXPECT_FALSE(writer.TakeNewFailure().empty());
  ASSERT_TRUE(WaitUntil([&] { return writer.Status().written == 11; }));
  std::string expected = "fits\r\n";
  for (int i = 0; i < 10; ++i) expected += long_line + "\r\n";
  EXPECT_EQ(Read("quenza-20261207.log"), expected);
}

TEST_F(LogFileWriterTest, ReadOnlyFolderMadeWritableAgain) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  fs::create_directories(folder_);
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  TLogFileWriter writer(folder_.string());
  writer.TESTING_ONLY_SetInterval(20);
  writer.Append("kept", kDay1);
  ASSERT_TRUE(WaitUntil([&] { return writer.Status().failures >= 1; }));
  EXPECT_NE(writer.TakeNewFailure().find("quenza-20261207.log"), std::string::npos);
  fs::permissions(folder_, fs::perms::owner_all);
  ASSERT_TRUE(WaitUntil([&] { return writer.Status().written == 1; }));
  EXPECT_EQ(Read("quenza-20261207.log"), "kept\r\n");
}

}  // namespace
}  // namespace quenza

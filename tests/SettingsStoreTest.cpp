#include "SettingsStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "Exception.h"
#include "support/FileBytes.h"

namespace quenza {
namespace {

namespace fs = std::filesystem;

class SettingsStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quenza-settings-" + std::to_string(getpid()) + "-" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "quenza.ini").string();
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  void WriteFile(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string ReadFile() { return FileBytes(path_); }

  fs::path dir_;
  std::string path_;
};

TEST(ParseSettingsIntTest, AcceptsDecimalHexAndSignsWithinRange) {
  struct Row {
    const char* text;
    bool ok;
    int32_t value;
  } rows[] = {
      {"514", true, 514},
      {"  42", true, 42},
      {"+7", true, 7},
      {"-1", true, -1},
      {"0x1F", true, 31},
      {"0X1f", true, 31},
      {"$10", true, 16},
      {"x10", true, 16},
      {"-0x10", true, -16},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},
      {"0xFFFFFFFF", false, 0},
      {"", false, 0},
      {"1e3", false, 0},
      {"70000x", false, 0},
      {"12 ", false, 0},
      {"0x", false, 0},
      {"$", false, 0},
      {"-", false, 0},
      {"True", false, 0},
      {"0x10000000000", false, 0},
  };
  for (const Row& row : rows) {
    int32_t value = 0;
    EXPECT_EQ(ParseSettingsInt(row.text, value), row.ok) << row.text;
    if (row.ok) {
      EXPECT_EQ(value, row.value) << row.text;
    }
  }
}

TEST_F(SettingsStoreTest, MissingFileGivesEmptyStoreAndDefaults) {
  TSettingsStore store(path_);
  EXPECT_TRUE(store.LoadError().empty());
  EXPECT_EQ(store.ReadInt("SYSLOG", "Port", 514), 514);
  EXPECT_EQ(store.ReadText("SYSLOG", "DateFormat", "yyyy"), "yyyy");
  EXPECT_TRUE(store.ReadFlag("SYSLOG", "EnableDate", true));
  EXPECT_EQ(store.FileText(), "");
}

TEST_F(SettingsStoreTest, LoadTrimsFoldsCaseAndKeepsBareLines) {
  WriteFile(
      "junk before any section\r\n"
      "; a comment\r\n"
      "[syslog]\r\n"
      "port = 0x1F\r\n"
      "\r\n"
      "  DateFormat=yyyy=mm \t\r\n"
      "a bare line\n"
      "EnableIP=-1\r"
      "EnableDate=True\r\n"
      "EnablePriority=0\r\n"
      "Empty=\r\n"
      "[ POS ]\r\n"
      "Top=1\r\n"
      "[POS]\r\n"
      "Top=2\r\n");
  TSettingsStore store(path_);
  EXPECT_EQ(store.ReadInt("SYSLOG", "Port", 514), 31);
  EXPECT_EQ(store.ReadInt("Syslog", "PORT", 514), 31);
  EXPECT_EQ(store.ReadText("SYSLOG", "DateFormat", ""), "yyyy=mm");
  EXPECT_TRUE(store.ReadFlag("SYSLOG", "EnableIP", false));
  EXPECT_TRUE(store.ReadFlag("SYSLOG", "EnableDate", true));    // unreadable: default
  EXPECT_FALSE(store.ReadFlag("SYSLOG", "EnableDate", false));  // ... whatever it is
  EXPECT_FALSE(store.ReadFlag("SYSLOG", "EnablePriority", true));
  EXPECT_EQ(store.ReadText("SYSLOG", "Empty", "def"), "");
  EXPECT_EQ(store.ReadText("SYSLOG", "a bare line", "def"), "def");
  EXPECT_EQ(store.ReadInt("POS", "Top", 0), 1);  // the first of two sections wins

  store.WriteInt("SYSLOG", "Port", 5514);
  store.WriteInt("POS", "Top", 10);
  EXPECT_EQ(store.FileText(),
            "[syslog]\r\n"
            "Port=5514\r\n"
            "DateFormat=yyyy=mm\r\n"
            "a bare line\r\n"
            "EnableIP=-1\r\n"
            "EnableDate=True\r\n"
            "EnablePriority=0\r\n"
            "Empty=\r\n"
            "\r\n"
            "[POS]\r\n"
            "Top=10\r\n"
            "\r\n"
            "[POS]\r\n"
            "Top=2\r\n"
            "\r\n");
}

TEST_F(SettingsStoreTest, NulEndsTheFileAndByteOrderMarkHidesFirstSection) {
  static const char kBytes[] = "\xEF\xBB\xBF[FONT]\r\nSize=14\r\n[EDIT]\r\nWordWrap=1\r\n\0[X]\r\nY=1\r\n";
  WriteFile(std::string(kBytes, sizeof kBytes - 1));
  TSettingsStore store(path_);
  EXPECT_EQ(store.ReadInt("FONT", "Size", 9), 9);
  EXPECT_TRUE(store.ReadFlag("EDIT", "WordWrap", false));
  EXPECT_EQ(store.ReadInt("X", "Y", 0), 0);
  EXPECT_EQ(store.FileText(), "[EDIT]\r\nWordWrap=1\r\n\r\n");
}

TEST_F(SettingsStoreTest, WritesAppendInOrderAndReplaceInPlace) {
  TSettingsStore store(path_);
  store.WriteText("SYSLOG", "DateFormat", "hh:mm ");
  store.WriteFlag("SYSLOG", "EnableDate", false);
  store.WriteInt("POS", "Top", -5);
  store.WriteText("syslog", "DATEFORMAT", "yy");
  EXPECT_EQ(store.ReadText("SYSLOG", "dateformat", ""), "yy");
  EXPECT_FALSE(store.ReadFlag("SYSLOG", "EnableDate", true));
  EXPECT_EQ(store.ReadInt("POS", "Top", 0), -5);
  EXPECT_EQ(store.FileText(), "[SYSLOG]\r\nDATEFORMAT=yy\r\nEnableDate=0\r\n\r\n[POS]\r\nTop=-5\r\n\r\n");
}

TEST_F(SettingsStoreTest, TrailingBlankSurvivesTheRunButNotTheNextLoad) {
  {
    TSettingsStore store(path_);
    store.WriteText("SYSLOG", "DateFormat", " hh:mm ");
    EXPECT_EQ(store.ReadText("SYSLOG", "DateFormat", ""), " hh:mm ");
    store.WriteBack();
  }
  TSettingsStore again(path_);
  EXPECT_EQ(again.ReadText("SYSLOG", "DateFormat", ""), "hh:mm");
}

TEST_F(SettingsStoreTest, ManyKeysStayFindableAcrossHashBuckets) {
  TSettingsStore store(path_);
  for (int i = 0; i < 2000; ++i) store.WriteInt("S" + std::to_string(i % 7), "Key" + std::to_string(i), i);
  for (int i = 0; i < 2000; ++i)
    EXPECT_EQ(store.ReadInt("s" + std::to_string(i % 7), "KEY" + std::to_string(i), -1), i);
}

TEST_F(SettingsStoreTest, WriteBackReplacesTheFileWholeAndKeepsItsMode) {
  WriteFile("[A]\r\nk=v\r\n");
  chmod(path_.c_str(), 0600);
  TSettingsStore store(path_);
  store.WriteText("B", "x", "1");
  store.WriteBack();
  EXPECT_EQ(ReadFile(), "[A]\r\nk=v\r\n\r\n[B]\r\nx=1\r\n\r\n");
  struct stat st;
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SettingsStoreTest, WriteBackFailureRaisesAndLeavesTheOldFile) {
  WriteFile("[A]\r\nk=old\r\n");
  TSettingsStore store(path_);
  store.WriteText("A", "k", "new");
  if (geteuid() == 0) {
    // Root writes into any folder; make the target a folder so the rename fails.
    TSettingsStore blocked((dir_ / "sub").string());
    fs::create_directories(dir_ / "sub" / "inside");
    blocked.WriteText("A", "k", "v");
    try {
      blocked.WriteBack();
      FAIL() << "no exception";
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find("を作成できません"), std::string::npos);
      EXPECT_NE(std::string(e.what()).find((dir_ / "sub").string()), std::string::npos);
    }
  } else {
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(store.WriteBack(), Exception);
  }
  EXPECT_EQ(ReadFile(), "[A]\r\nk=old\r\n");
}

TEST_F(SettingsStoreTest, WriteBackThroughALinkKeepsTheLink) {
  fs::create_directories(dir_ / "real");
  const fs::path target = dir_ / "real" / "quenza.ini";
  std::ofstream(target, std::ios::binary) << "[A]\r\nk=old\r\n";
  fs::create_symlink(target, path_);
  TSettingsStore store(path_);
  EXPECT_EQ(store.ReadText("A", "k", ""), "old");
  store.WriteText("A", "k", "new");
  store.WriteBack();
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(ReadFile(), "[A]\r\nk=new\r\n\r\n");
}

// Former bugs: upper-casing for the name comparison changed the trail byte of
// a double-byte character, so ア (83 41) and ヂ (83 61) were one key.
TEST_F(SettingsStoreTest, DoubleByteNamesDifferingInATrailByteStayApart) {
  TSettingsStore store(path_);
  store.WriteText("S", "\x83\x41", "a");
  store.WriteText("S", "\x83\x61", "di");
  EXPECT_EQ(store.ReadText("S", "\x83\x41", ""), "a");
  EXPECT_EQ(store.ReadText("S", "\x83\x61", ""), "di");
  store.WriteText("\x83\x41", "k", "1");
  store.WriteText("\x83\x61", "k", "2");
  EXPECT_EQ(store.ReadInt("\x83\x41", "k", 0), 1);
  EXPECT_EQ(store.ReadInt("\x83\x61", "k", 0), 2);
  // ASCII letters still compare without case, also beside a double-byte character.
  EXPECT_EQ(store.ReadText("s", "\x83\x61", ""), "di");
  store.WriteText("S", "x\x83\x41y", "v");
  EXPECT_EQ(store.ReadText("S", "X\x83\x41Y", ""), "v");
}

TEST_F(SettingsStoreTest, UnreadableFileIsReportedAndNeverOverwritten) {
  fs::create_directories(path_);  // exists, but cannot be read as a file
  TSettingsStore store(path_);
  EXPECT_NE(store.LoadError().find("は開けません"), std::string::npos);
  EXPECT_NE(store.LoadError().find(path_), std::string::npos);
  EXPECT_EQ(store.LoadError().rfind("ファイル \"" + path_ + "\". ", 0), 0u) << store.LoadError();
  EXPECT_FALSE(store.WriteBackAllowed());
  EXPECT_EQ(store.ReadInt("SYSLOG", "Port", 514), 514);
}

}  // namespace
}  // namespace quenza

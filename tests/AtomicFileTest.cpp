// Whole-file replacement: the new bytes or the old file, never a mixture;
// links are written through; no temporary file is ever left behind.
#include "AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "FileError.h"
#include "FilePath.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"

namespace quenza {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/atomicfile-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all);
    fs::remove_all(dir_);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {})); }
  static unsigned Mode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
  }

  fs::path dir_;
};

TEST(FilePath, FolderAndNameOfEveryShapeOfPath) {
  EXPECT_EQ(FolderOf("quenza.ini"), ".");
  EXPECT_EQ(FolderOf("/quenza.ini"), "/");
  EXPECT_EQ(FolderOf("/home/u/.config/quenza/quenza.ini"), "/home/u/.config/quenza");
  EXPECT_EQ(FolderOf("logs/"), "logs");
  EXPECT_EQ(FileNameOf("/usr/bin/quenza"), "quenza");
  EXPECT_EQ(FileNameOf("quenza"), "quenza");
  EXPECT_EQ(FileNameOf("logs/"), "");
}

TEST_F(AtomicFileTest, ReplacesTheWholeFileAndKeepsItsMode) {
  const std::string path = Path("a.log");
  Write(path, "a much longer old text");
  chmod(path.c_str(), 0640);
  WriteFileAtomically(path, std::string("new\0bytes", 9));
  EXPECT_EQ(FileBytes(path), std::string("new\0bytes", 9));
  EXPECT_EQ(Mode(path), 0640u);
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(AtomicFileTest, NewFileGetsTheUmasksMode) {
  const mode_t old = umask(027);
  WriteFileAtomically(Path("new.log"), "x");
  umask(old);
  EXPECT_EQ(Mode(Path("new.log")), 0640u);
}

TEST_F(AtomicFileTest, LinksAreWrittenThroughToTheirTarget) {
  fs::create_directory(dir_ / "real");
  const std::string target = Path("real/target.ini");
  Write(target, "old");
  chmod(target.c_str(), 0600);
  // A relative link, and a link to that link.
  fs::create_symlink("real/target.ini", dir_ / "link1");
  fs::create_symlink(Path("link1"), dir_ / "link2");
  WriteFileAtomically(Path("link2"), "new");
  EXPECT_TRUE(fs::is_symlink(dir_ / "link1"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link2"));
  EXPECT_EQ(FileBytes(target), "new");
  EXPECT_EQ(Mode(target), 0600u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "real"), {}), 1);
}

TEST_F(AtomicFileTest, DanglingLinkCreatesItsTarget) {
  fs::create_symlink("made.log", dir_ / "dangling");
  WriteFileAtomically(Path("dangling"), "x");
  EXPECT_TRUE(fs::is_symlink(dir_ / "dangling"));
  EXPECT_EQ(FileBytes(Path("made.log")), "x");
}

TEST_F(AtomicFileTest, MissingFolderIsACreateError) {
  const std::string path = Path("gone/file.log");
  try {
    WriteFileAtomically(path, "x");
    FAIL() << "no exception";
  } catch (const EFileCreateError& e) {
    EXPECT_EQ(e.Path(), path);
    EXPECT_EQ(std::string(e.what()), "ファイル \"" + path + "\". " + e.Reason() + " を作成できません");
    EXPECT_FALSE(e.Reason().empty());
  }
}

// Both readers of files (the settings store, the view's 開く) word their
// open failure through this one text.
TEST(FileError, OpenErrorTextNamesTheFileAndTheReason) {
  EXPECT_EQ(FileOpenErrorText("/tmp/q/quenza.ini", "Permission denied"),
            "ファイル \"/tmp/q/quenza.ini\". Permission denied は開けません");
}

TEST_F(AtomicFileTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  const std::string path = Path("full.log");
  Write(path, "old contents");
  TFileSizeLimit full_disk(4096);
  ASSERT_TRUE(full_disk.Active());
  bool write_error = false;
  try {
    WriteFileAtomically(path, std::string(64 * 1024, 'x'));
  } catch (const EFileWriteError& e) {
    write_error = true;
    EXPECT_EQ(std::string(e.what()), "ストリームへの書き込みに失敗しました");
  }
  full_disk.Lift();
  EXPECT_TRUE(write_error);
  EXPECT_EQ(FileBytes(path), "old contents");
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(AtomicFileTest, TargetThatIsAFolderIsAWriteErrorAndStays) {
  fs::create_directories(dir_ / "sub" / "inside");
  EXPECT_THROW(WriteFileAtomically(Path("sub"), "x"), EFileWriteError);
  EXPECT_TRUE(fs::is_directory(dir_ / "sub" / "inside"));
  EXPECT_EQ(Entries(), 1u);
}

}  // namespace
}  // namespace quenza

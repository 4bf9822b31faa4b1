// Where the settings file lives: beside the executable for a copy the user
// can write to (or one that already has its file), else in the per-user
// configuration folder; the folder is made when the file is first written.
#include "SettingsLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "FileError.h"

namespace quenza {
namespace {

namespace fs = std::filesystem;

TEST(SettingsLocationRuleTest, BesideTheExecutableOnlyWhenItExistsOrTheFolderIsWritable) {
  struct Row {
    bool exists, writable;
    const char* xdg;
    const char* home;
    const char* file;
    const char* folder;
    bool beside;
  } rows[] = {
      // A portable copy, with or without its file yet.
      {false, true, "", "/home/u", "/opt/q/quenza.ini", "/opt/q", true},
      {true, true, "/x", "/home/u", "/opt/q/quenza.ini", "/opt/q", true},
      // An existing file in a folder the user cannot write is still the one used
      // (its read-only warning included).
      {true, false, "/x", "/home/u", "/opt/q/quenza.ini", "/opt/q", true},
      // Installed: the configuration folder, from XDG_CONFIG_HOME or HOME.
      {false, false, "/x/cfg", "/home/u", "/x/cfg/quenza/quenza.ini", "/x/cfg/quenza", false},
      {false, false, "/x/cfg/", "/home/u", "/x/cfg/quenza/quenza.ini", "/x/cfg/quenza", false},
      {false, false, "", "/home/u", "/home/u/.config/quenza/quenza.ini", "/home/u/.config/quenza", false},
      // A relative XDG_CONFIG_HOME is invalid and ignored.
      {false, false, "cfg", "/home/u", "/home/u/.config/quenza/quenza.ini", "/home/u/.config/quenza", false},
      // Nowhere else to go: beside, and its write fails with the system's reason.
      {false, false, "", "", "/opt/q/quenza.ini", "/opt/q", true},
  };
  for (const Row& row : rows) {
    const TSettingsLocation got =
        ChooseSettingsLocation(TSettingsFacts{"/opt/q/quenza", row.exists, row.writable, row.xdg, row.home});
    EXPECT_EQ(got.file, row.file) << row.exists << row.writable << " " << row.xdg;
    EXPECT_EQ(got.folder, row.folder) << row.exists << row.writable << " " << row.xdg;
    EXPECT_EQ(got.besideExecutable, row.beside) << row.exists << row.writable << " " << row.xdg;
  }
}

TEST(SettingsLocationRuleTest, PerUserFileHasTheUsualNameWhateverTheExecutableIsCalled) {
  const TSettingsLocation got = ChooseSettingsLocation(TSettingsFacts{"/usr/bin/quenza-0.0.6", false, false, "", "/h"});
  EXPECT_EQ(got.file, "/h/.config/quenza/quenza.ini");
  const TSettingsLocation beside =
      ChooseSettingsLocation(TSettingsFacts{"/usr/bin/quenza-0.0.6", false, true, "", "/h"});
  EXPECT_EQ(beside.file, "/usr/bin/quenza-0.0.ini");  // the extension rule, as it always was
}

class SettingsLocationTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/settingslocation-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    fs::create_directories(dir_ / "bin");
    std::ofstream(dir_ / "bin" / "quenza") << "#!";
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    savedXdg_ = xdg ? xdg : "";
    hadXdg_ = xdg != nullptr;
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
  }
  void TearDown() override {
    if (hadXdg_) {
      setenv("XDG_CONFIG_HOME", savedXdg_.c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
    fs::permissions(dir_, fs::perms::owner_all);
    fs::remove_all(dir_);
  }
  std::string Exe() const { return (dir_ / "bin" / "quenza").string(); }

  fs::path dir_;
  std::string savedXdg_;
  bool hadXdg_ = false;
};

TEST_F(SettingsLocationTest, WritableFolderKeepsTheFileBesideTheProgram) {
  const TSettingsLocation got = LocateSettings(Exe(), "/usr/bin");
  EXPECT_EQ(got.file, (dir_ / "bin" / "quenza.ini").string());
  EXPECT_TRUE(got.besideExecutable);
}

TEST_F(SettingsLocationTest, InstalledProgramUsesTheConfigFolderUnlessItsFileIsAlreadyThere) {
  // Run from the install folder, the program never writes beside itself, even
  // with write permission there (root has it everywhere).
  const TSettingsLocation installed = LocateSettings(Exe(), (dir_ / "bin").string());
  EXPECT_EQ(installed.file, (dir_ / "config" / "quenza" / "quenza.ini").string());
  EXPECT_EQ(installed.folder, (dir_ / "config" / "quenza").string());
  EXPECT_FALSE(installed.besideExecutable);
  // The same folder reached through another name is still the install folder.
  fs::create_directory_symlink(dir_ / "bin", dir_ / "bin-link");
  EXPECT_FALSE(LocateSettings(Exe(), (dir_ / "bin-link").string()).besideExecutable);

  std::ofstream(dir_ / "bin" / "quenza.ini") << "[POS]\r\n";
  EXPECT_EQ(LocateSettings(Exe(), (dir_ / "bin").string()).file, (dir_ / "bin" / "quenza.ini").string());
}

TEST_F(SettingsLocationTest, FolderThatCannotBeWrittenSendsTheFileToTheConfigFolder) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write into any folder";
  fs::permissions(dir_ / "bin", fs::perms::owner_read | fs::perms::owner_exec);
  const TSettingsLocation got = LocateSettings(Exe(), "/usr/bin");
  fs::permissions(dir_ / "bin", fs::perms::owner_all);
  EXPECT_EQ(got.file, (dir_ / "config" / "quenza" / "quenza.ini").string());
}

TEST_F(SettingsLocationTest, MissingFoldersAreMadePrivateAndAnObstacleIsACreateError) {
  const fs::path file = dir_ / "config" / "deeper" / "quenza" / "quenza.ini";
  CreateSettingsFolder(file.string());
  EXPECT_TRUE(fs::is_directory(file.parent_path()));
  struct stat st {};
  ASSERT_EQ(stat(file.parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  CreateSettingsFolder(file.string());  // all there: nothing to do

  std::ofstream(dir_ / "plain") << "x";
  const std::string blocked = (dir_ / "plain" / "quenza" / "quenza.ini").string();
  try {
    CreateSettingsFolder(blocked);
    FAIL() << "a file in the way must be an error";
  } catch (const EFileCreateError& e) {
    EXPECT_EQ(e.Path(), blocked);
    EXPECT_EQ(e.Message(), "ファイル \"" + blocked + "\". Not a directory を作成できません");
  }
}

}  // namespace
}  // namespace quenza

// The main window as a desktop program: a stored position off every screen
// opens on the screen, an installed copy keeps its settings under the user's
// configuration folder, the window has the program's icon, and the
// toolkit's dialogs speak Japanese while the receiver's dates follow LANG.
#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QScreen>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "Application.h"
#include "DateTimeFormat.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "Unit1.h"
#include "support/AppFixture.h"
#include "support/FileBytes.h"

namespace quenza {
namespace {

// Sets an environment variable for one test and puts the old value back.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    had_ = std::getenv(name) != nullptr;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~TScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

class Unit1DesktopTest : public AppFixture {};

TEST_F(Unit1DesktopTest, WindowStoredFarOffTheScreenOpensOnItWithItsSize) {
  std::ofstream(SettingsPath(), std::ios::binary) << "[POS]\r\nTop=3000\r\nLeft=5000\r\nHeight=400\r\nWidth=600\r\n";
  auto form = OpenMainWindow();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect title(form->pos(), QSize(form->width(), 30));
  EXPECT_TRUE(screen.contains(title)) << form->x() << "," << form->y();
  EXPECT_EQ(form->size(), QSize(600, 400));
  // Closing stores where it really was.
  EXPECT_TRUE(form->close());
  EXPECT_NE(FileBytes(SettingsPath()).find("Left=" + std::to_string(form->x()) + "\r\n"), std::string::npos);
  EXPECT_EQ(FileBytes(SettingsPath()).find("Left=5000"), std::string::npos);
}

TEST_F(Unit1DesktopTest, InstalledCopyKeepsItsSettingsInTheConfigFolder) {
  // An executable whose folder cannot take a file: here a folder that is not there.
  app_->TESTING_ONLY_SetExeName(dir_->filePath(QStringLiteral("not-writable/quenza")));
  const std::string config = dir_->filePath(QStringLiteral("config")).toStdString();
  TScopedEnv xdg("XDG_CONFIG_HOME", config.c_str());
  const std::string file = config + "/quenza/quenza.ini";
  EXPECT_EQ(ProgramSettingsLocation().file, file);
  EXPECT_EQ(ProgramSettingsLocation().folder, config + "/quenza");
  {
    auto form = OpenMainWindow();
    EXPECT_EQ(form->IniFile->FileName(), file);
    form->IniFile->WriteInt("SYSLOG", "Port", 5514);
    form->move(150, 160);
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(Asked().empty()) << Asked().front().text;
  }
  // Folder and file made at the first close; the setting is there at the next start.
  EXPECT_NE(FileBytes(file).find("[SYSLOG]\r\nPort=5514\r\n"), std::string::npos) << FileBytes(file);
  auto form = OpenMainWindow();
  EXPECT_EQ(form->IniFile->ReadInt("SYSLOG", "Port", 0), 5514);
  EXPECT_EQ(form->pos(), QPoint(150, 160));
}

TEST_F(Unit1DesktopTest, PortableCopyKeepsItsSettingsBesideIt) {
  const std::string config = dir_->filePath(QStringLiteral("config")).toStdString();
  TScopedEnv xdg("XDG_CONFIG_HOME", config.c_str());
  auto form = OpenMainWindow();
  EXPECT_EQ(form->IniFile->FileName(), SettingsPath());
  EXPECT_TRUE(form->close());
  EXPECT_TRUE(QFile::exists(QString::fromStdString(SettingsPath())));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(config)));
}

TEST_F(Unit1DesktopTest, ConfigFolderThatCannotBeMadeIsReported) {
  app_->TESTING_ONLY_SetExeName(dir_->filePath(QStringLiteral("not-writable/quenza")));
  const std::string blocker = dir_->filePath(QStringLiteral("plain-file")).toStdString();
  std::ofstream(blocker) << "x";
  TScopedEnv xdg("XDG_CONFIG_HOME", blocker.c_str());
  auto form = OpenMainWindow();
  Answer({TModalResult::mrOk});
  EXPECT_TRUE(form->close());
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].text, "ファイル \"" + blocker + "/quenza/quenza.ini\". Not a directory を作成できません.");
}

TEST_F(Unit1DesktopTest, WindowCarriesTheProgramsIcon) {
  auto form = OpenMainWindow();
  const QIcon icon = form->windowIcon();
  ASSERT_FALSE(icon.isNull());
  const QImage image = icon.pixmap(64, 64).toImage();
  ASSERT_FALSE(image.isNull());
  // Drawn, not blank: the icon's blue background at its centre-left edge.
  const QColor edge = image.pixelColor(8, 32);
  EXPECT_GT(edge.alpha(), 200);
  EXPECT_GT(edge.blue(), edge.red());
}

TEST(ApplicationLocaleTest, DialogsAreJapaneseWhileTheReceiversDatesFollowLang) {
  TScopedEnv all("LC_ALL", nullptr);
  TScopedEnv time("LC_TIME", nullptr);
  TScopedEnv lang("LANG", "C.UTF-8");
  QLocale::setDefault(QLocale::c());
  TApplication app;
  EXPECT_EQ(QLocale().language(), QLocale::Japanese);
  EXPECT_EQ(QLocale().territory(), QLocale::Japan);
  EXPECT_EQ(QLocale().toString(QDate(2024, 3, 5), QLocale::ShortFormat), QStringLiteral("2024/03/05"));
  // The receiver's regional values are still those of LANG (C: English names).
  EXPECT_EQ(LocaleFormatSettings.MonthNames[1], "January");
  EXPECT_EQ(LocaleFormatSettings.DayAbbrevs[1], "Sun");
}

}  // namespace
}  // namespace quenza

// Entry point of the GUI test programs: one QApplication on the offscreen
// platform with one 1280x1024 screen, created before any test, so no test
// ever needs a display. HOME and the XDG folders point into a temporary
// folder first: Qt's dialogs write their state there, and a test must never
// touch the user's files.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
  QTemporaryDir home;
  if (!home.isValid()) return 1;
  const QByteArray root = QFile::encodeName(home.path());
  // One desktop-sized screen (the offscreen default is 800x800), so windows
  // are placed as on a usual desktop whatever the toolkit's default.
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform == nullptr || QByteArray(platform) == "offscreen") {
    const QByteArray screens = root + "/screens.json";
    QFile config(QFile::decodeName(screens));
    if (!config.open(QIODevice::WriteOnly)) return 1;
    config.write(R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": 1280, "height": 1024}]})");
    config.close();
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).constData(), 1);
  }
  setenv("HOME", root.constData(), 1);
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
    const QByteArray path = root + "/" + QByteArray(name).toLower();
    QDir().mkpath(QFile::decodeName(path));
    setenv(name, path.constData(), 1);
  }
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

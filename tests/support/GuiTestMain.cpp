// Entry point of the GUI test programs: one QApplication on the offscreen
// platform, created before any test, so no test ever needs a display. HOME
// and the XDG folders point into a temporary folder first: Qt's dialogs
// write their state there, and a test must never touch the user's files.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QTemporaryDir home;
  if (!home.isValid()) return 1;
  const QByteArray root = QFile::encodeName(home.path());
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

#include "FileAttributes.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

namespace quenza {

namespace {

bool Stat(const QString& path, struct stat& st) {
  const QByteArray name = QFile::encodeName(path);
  return !name.isEmpty() && ::stat(name.constData(), &st) == 0;
}

}  // namespace

bool FileExists(const QString& path) {
  struct stat st {};
  return Stat(path, st);
}

bool FileIsReadOnly(const QString& path) {
  struct stat st {};
  return Stat(path, st) && (st.st_mode & 0222) == 0;
}

bool FileIsHidden(const QString& path) { return FileExists(path) && QFileInfo(path).fileName().startsWith(u'.'); }

bool FileIsSystem(const QString& path) {
  struct stat st {};
  return Stat(path, st) && !S_ISREG(st.st_mode);
}

}  // namespace quenza

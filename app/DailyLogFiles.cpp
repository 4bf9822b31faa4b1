#include "DailyLogFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

#include "LogFileWriter.h"

namespace quenza {

std::vector<std::string> DailyLogFiles(const QString& folder, QDate from, QDate to) {
  if (to < from) std::swap(from, to);
  std::vector<std::string> paths;
  const QDir dir(folder);
  for (QDate day = from; day <= to; day = day.addDays(1)) {
    const TDateTimeValue date{day.year(), day.month(), day.day(), 0, 0, 0, 0};
    const QString path = dir.filePath(QString::fromStdString(TLogFileWriter::FileNameFor(date)));
    if (QFileInfo(path).isFile()) paths.push_back(QFile::encodeName(path).toStdString());
  }
  return paths;
}

}  // namespace quenza

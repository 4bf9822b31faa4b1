// The automatic daily log files (TLogFileWriter's names, quenza-YYYYMMDD.log)
// of a folder that fall in a range of dates, oldest first.
#pragma once

#include <QDate>
#include <QString>
#include <string>
#include <vector>

namespace quenza {

// Paths as the file system takes them; `from` and `to` may come in either order.
std::vector<std::string> DailyLogFiles(const QString& folder, QDate from, QDate to);

}  // namespace quenza

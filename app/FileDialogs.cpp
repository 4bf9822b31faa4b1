#include "FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QStringList>
#include <QTreeView>
#include <utility>

#include "FileAttributes.h"
#include "FileDialogDates.h"
#include "MessageDialogs.h"

namespace quenza {

const char kLogFileFilter[] = "ログファイル(*.log)|*.log|テキストファイル(*.txt)|*.txt|すべてのファイル(*.*)|*.*";
const char kDefaultLogExt[] = "log";

namespace {

TFileDialogAnswerer& Answerer() {
  static TFileDialogAnswerer answerer;
  return answerer;
}

// The folder last picked in a dialog during this run.
QString& LastFolder() {
  static QString folder;
  return folder;
}

TFileDialogRequest MakeRequest(TFileDialogKind kind, const QString& current_file) {
  TFileDialogRequest request;
  request.folder = current_file.isEmpty() ? LastFolder() : QFileInfo(current_file).absolutePath();
  request.kind = kind;
  request.title = kind == TFileDialogKind::fdOpen ? QStringLiteral("開く") : QStringLiteral("名前を付けて保存");
  request.filters = ParseFileFilter(QString::fromUtf8(kLogFileFilter));
  if (kind == TFileDialogKind::fdSave) request.defaultExt = QString::fromUtf8(kDefaultLogExt);
  return request;
}

// The toolkit's pattern for a file type. "*.*" means every file, as it does
// on Windows; here it would miss names without a dot.
QString ToolkitPattern(const QString& pattern) {
  QStringList parts = pattern.split(u';', Qt::SkipEmptyParts);
  for (QString& part : parts) {
    part = part.trimmed();
    if (part == QStringLiteral("*.*")) part = QStringLiteral("*");
  }
  return parts.join(u' ');
}

TFileDialogAnswer AskOnce(const TFileDialogRequest& request, QWidget* parent) {
  if (Answerer()) return Answerer()(request);
  QFileDialog dialog(parent);
  ConfigureFileDialog(dialog, request);
  TFileDialogAnswer answer;
  if (dialog.exec() != QDialog::Accepted) return answer;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return answer;
  answer.accepted = true;
  answer.path = files.front();
  return answer;
}

TFileDialogAnswer Ask(const TFileDialogRequest& request, QWidget* parent) {
  TFileDialogAnswer answer = AskOnce(request, parent);
  if (answer.accepted && !answer.path.isEmpty()) {
    const QFileInfo info(answer.path);
    if (QDir(info.absolutePath()).exists()) LastFolder() = info.absolutePath();
  }
  return answer;
}

void Warn(const QString& text) { MessageDlg(text.toStdString(), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK); }

// Empty when the folder of `info` exists; otherwise the refusal to show.
QString FolderProblem(const QFileInfo& info) {
  if (QDir(info.absolutePath()).exists()) return {};
  return info.absoluteFilePath() + QStringLiteral("\nパスが存在しません。\nパスが正しいかどうかを確認してください。");
}

}  // namespace

std::vector<TFileFilter> ParseFileFilter(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  std::vector<TFileFilter> filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    filters.push_back(TFileFilter{parts[i], parts[i + 1]});
  }
  return filters;
}

void UseToolkitFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setProxyModel(new TLocalDateProxyModel(&dialog));  // the dialog owns it from now on
  // Wide enough for a whole date and time, which the toolkit's default width cuts.
  if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    const QString widest = QLocale().toString(QDateTime(QDate(2000, 12, 28), QTime(20, 58)), QLocale::ShortFormat);
    details->header()->resizeSection(
        TLocalDateProxyModel::kDateColumn,
        details->fontMetrics().horizontalAdvance(widest) + 3 * details->fontMetrics().averageCharWidth());
  }
}

void ConfigureFileDialog(QFileDialog& dialog, const TFileDialogRequest& request) {
  UseToolkitFileDialog(dialog);
  if (!request.folder.isEmpty()) dialog.setDirectory(request.folder);
  dialog.setWindowTitle(request.title);
  QStringList filters;
  for (const TFileFilter& filter : request.filters) {
    // The toolkit reads the patterns from the last parenthesis; with the
    // details hidden it shows only the description before them.
    filters << filter.description + QStringLiteral(" (") + ToolkitPattern(filter.pattern) + u')';
  }
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setNameFilters(filters);
  if (!filters.isEmpty()) dialog.selectNameFilter(filters.front());
  if (request.kind == TFileDialogKind::fdOpen) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The replace question and the default extension come after the dialog
    // (see ExecuteSaveDialog), so the question names the file really written.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  }
}

QString ExecuteOpenDialog(QWidget* parent, const QString& current_file) {
  const TFileDialogRequest request = MakeRequest(TFileDialogKind::fdOpen, current_file);
  for (;;) {
    const TFileDialogAnswer answer = Ask(request, parent);
    if (!answer.accepted || answer.path.isEmpty()) return {};
    const QFileInfo info(answer.path);
    if (const QString problem = FolderProblem(info); !problem.isEmpty()) {
      Warn(problem);
      continue;
    }
    if (!info.exists() || info.isDir()) {
      Warn(info.absoluteFilePath() +
           QStringLiteral("\nファイルが見つかりません。\nファイル名が正しいかどうかを確認してください。"));
      continue;
    }
    return info.absoluteFilePath();
  }
}

QString ExecuteSaveDialog(QWidget* parent, const QString& current_file) {
  const TFileDialogRequest request = MakeRequest(TFileDialogKind::fdSave, current_file);
  for (;;) {
    const TFileDialogAnswer answer = Ask(request, parent);
    if (!answer.accepted || answer.path.isEmpty()) return {};
    QString path = QFileInfo(answer.path).absoluteFilePath();
    if (!request.defaultExt.isEmpty() && !QFileInfo(path).fileName().contains(u'.')) {
      path += u'.' + request.defaultExt;
    }
    const QFileInfo info(path);
    if (const QString problem = FolderProblem(info); !problem.isEmpty()) {
      Warn(problem);
      continue;
    }
    if (info.isDir()) continue;  // a folder name: back to the dialog, as when it opens one
    if (FileIsReadOnly(path)) {
      Warn(info.fileName() + QStringLiteral("\nこのファイルは読み取り専用です。\n別のファイル名を指定してください。"));
      continue;
    }
    if (FileExists(path)) {
      const QString question = info.fileName() + QStringLiteral(" は既に存在します。\n上書きしますか？");
      if (MessageDlg(question.toStdString(), TMsgDlgType::mtWarning, TMsgDlgButtons::mbYesNo) != TModalResult::mrYes) {
        continue;
      }
    }
    return path;
  }
}

TFileDialogAnswerer TESTING_ONLY_SetFileDialogAnswerer(TFileDialogAnswerer answerer) {
  return std::exchange(Answerer(), std::move(answerer));
}

}  // namespace quenza

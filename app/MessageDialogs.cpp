#include "MessageDialogs.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

#include "Application.h"

namespace quenza {
namespace {

TMessageAnswerer& Answerer() {
  static TMessageAnswerer answerer;
  return answerer;
}

const char* TitleOf(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning:
      return "警告";
    case TMsgDlgType::mtError:
      return "エラー";
    case TMsgDlgType::mtInformation:
      return "情報";
    case TMsgDlgType::mtConfirmation:
      return "確認";
  }
  return "";
}

QMessageBox::Icon IconOf(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning:
      return QMessageBox::Warning;
    case TMsgDlgType::mtError:
      return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
      return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QPushButton* AddOkButton(QMessageBox& box) {
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  return ok;
}

QWidget* DialogOwner() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible() && qobject_cast<QMainWindow*>(window) != nullptr) return window;
  }
  return nullptr;
}

TModalResult Show(const TMessageRequest& request) {
  if (Answerer()) return Answerer()(request);
  QMessageBox box(IconOf(request.type), QString::fromStdString(request.title), QString::fromStdString(request.text),
                  QMessageBox::NoButton, request.owner);
  if (request.buttons == TMsgDlgButtons::mbYesNo) {
    QPushButton* yes = box.addButton(QString::fromUtf8("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QString::fromUtf8("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? TModalResult::mrYes : TModalResult::mrNo;
  }
  AddOkButton(box);
  box.exec();
  return TModalResult::mrOk;
}

}  // namespace

TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  return Show(TMessageRequest{TitleOf(type), text, type, buttons, DialogOwner()});
}

QMessageBox* ShowModelessMessage(QWidget* parent, const std::string& text, TMsgDlgType type) {
  auto* box = new QMessageBox(IconOf(type), QString::fromUtf8(TitleOf(type)), QString::fromStdString(text),
                              QMessageBox::NoButton, parent);  // owned by parent until it closes
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  AddOkButton(*box);
  box->show();
  return box;
}

std::string ErrorReportText(const std::string& text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + ".";
  return text;
}

void ShowErrorReport(const std::string& text) {
  Show(TMessageRequest{ApplicationTitle(), ErrorReportText(text), TMsgDlgType::mtError, TMsgDlgButtons::mbOK,
                       DialogOwner()});
}

TMessageAnswerer TESTING_ONLY_SetMessageAnswerer(TMessageAnswerer answerer) {
  TMessageAnswerer previous = std::move(Answerer());
  Answerer() = std::move(answerer);
  return previous;
}

}  // namespace quenza

#include "support/AppFixture.h"

#include <QApplication>
#include <QElapsedTimer>

#include "Application.h"
#include "LogView.h"
#include "Unit1.h"

namespace quenza {

void AppFixture::SetUp() {
  dir_ = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(dir_->isValid());
  app_ = std::make_unique<TApplication>();
  app_->TESTING_ONLY_SetExeName(dir_->filePath(QStringLiteral("quenza")));
  TESTING_ONLY_SetMessageAnswerer([this](const TMessageRequest& request) {
    asked_.push_back(request);
    if (answers_.empty()) {
      ADD_FAILURE() << "unexpected dialog: " << request.text;
      return request.buttons == TMsgDlgButtons::mbYesNo ? TModalResult::mrNo : TModalResult::mrOk;
    }
    TModalResult r = answers_.front();
    answers_.pop_front();
    return r;
  });
}

void AppFixture::TearDown() {
  app_.reset();
  TESTING_ONLY_SetMessageAnswerer({});
  EXPECT_TRUE(answers_.empty()) << answers_.size() << " answers left unused";
}

std::string AppFixture::SettingsPath() const { return dir_->filePath(QStringLiteral("quenza.ini")).toStdString(); }

void AppFixture::Answer(std::initializer_list<TModalResult> answers) { answers_.insert(answers_.end(), answers); }

void AppFixture::Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::unique_ptr<TForm1> AppFixture::OpenMainWindow() {
  auto form = std::make_unique<TForm1>();
  form->show();
  QApplication::setActiveWindow(form.get());
  form->Memo1->setFocus();
  Pump(20);
  return form;
}

}  // namespace quenza

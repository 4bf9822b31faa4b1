// Start-up: the application object with its title, the main window, the
// message loop; at the end the modules go, newest first.
#include <QApplication>
#include <memory>

#include "Application.h"
#include "Unit1.h"

int main(int argc, char* argv[]) {
  QApplication qt(argc, argv);
  quenza::TApplication application;
  application.SetTitle("Quenza");
  quenza::TForm1* form = application.AddModule(std::make_unique<quenza::TForm1>());
  form->show();
  const int result = QApplication::exec();
  application.DestroyModules();
  return result;
}

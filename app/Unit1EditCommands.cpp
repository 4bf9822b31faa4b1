// The edit, view, capture and help commands of the main window.
#include <QAction>
#include <QMenu>

#include "LogView.h"
#include "Unit1.h"

namespace quenza {

void TForm1::Edit1Click() {}
void TForm1::Undo1Click() {}
void TForm1::Cut1Click() {}
void TForm1::Copy1Click() {}
void TForm1::Paste1Click() {}
void TForm1::Delete1Click() {}
void TForm1::SelectAll1Click() {}
void TForm1::WordWrap1Click() {}
void TForm1::Font1Click() {}
void TForm1::About1Click() {}
void TForm1::BeginLog1Click() {}
void TForm1::EndLog1Click() {}
void TForm1::Exit1Click() { close(); }

}  // namespace quenza

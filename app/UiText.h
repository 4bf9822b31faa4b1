// The program's own texts are UTF-8 source text; Qt shows QStrings.
#pragma once

#include <QString>

namespace quenza {

inline QString Ui(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace quenza

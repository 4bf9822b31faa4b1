// The font faces the program asks for, written once. The windows and the view
// ask for the Windows faces by name, as the settings file names them;
// fontconfig knows none of them, so the installed families below are drawn in
// their place (TApplication::InstallFontSubstitutions).
#pragma once

#include <QString>
#include <QStringList>

namespace quenza::font_faces {

// The view's fixed-pitch face, under its Japanese and its English name.
inline QString Fixed() { return QStringLiteral("ＭＳ ゴシック"); }
inline QString FixedEnglish() { return QStringLiteral("MS Gothic"); }
// The windows' and dialogs' proportional face.
inline QString Proportional() { return QStringLiteral("ＭＳ Ｐゴシック"); }
inline QString ProportionalEnglish() { return QStringLiteral("MS PGothic"); }

// Installed families drawn in their place, the first one present winning.
inline QStringList FixedStandIns() {
  return {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("VL Gothic"),
          QStringLiteral("DejaVu Sans Mono")};
}
inline QStringList ProportionalStandIns() {
  return {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAGothic"),
          QStringLiteral("DejaVu Sans")};
}

}  // namespace quenza::font_faces

// Which font families are fixed pitch, as fontconfig says. The toolkit counts
// only fonts marked monospace, so it drops the Japanese gothic faces that
// fontconfig marks dual width (every glyph one cell or two, as IPAGothic):
// exactly the faces a Japanese log view wants. No Qt.
#pragma once

#include <set>
#include <string>

namespace quenza {

struct TFontFamilies {
  std::set<std::string> fixed;         // every name of a family with a fixed-pitch face
  std::set<std::string> proportional;  // every name of a family with a proportional face
};

// The installed families that can draw Latin text (symbol and other fonts
// without the basic letters are left out), split by spacing. A family name
// counts under every name fontconfig gives it (IPAGothic is also IPAゴシック).
TFontFamilies ListFontFamilies();

}  // namespace quenza

// The window placement rules of WindowGeometry.h applied to the screens the
// toolkit reports now.
#pragma once

#include <QRect>

namespace quenza {

// `wanted` moved (and shrunk where needed) onto the screens: by the stored
// rule when the position came from the settings file, else by the rule for
// the designed first-start position.
QRect PlaceOnScreens(const QRect& wanted, bool stored, int minimum);

}  // namespace quenza

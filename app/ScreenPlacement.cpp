#include "ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <vector>

#include "WindowGeometry.h"

namespace quenza {

QRect PlaceOnScreens(const QRect& wanted, bool stored, int minimum) {
  std::vector<TWindowRect> screens;
  // The primary screen first: the designed window is centred on it.
  if (QScreen* primary = QGuiApplication::primaryScreen()) {
    const QRect a = primary->availableGeometry();
    screens.push_back({a.x(), a.y(), a.width(), a.height()});
  }
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen == QGuiApplication::primaryScreen()) continue;
    const QRect a = screen->availableGeometry();
    screens.push_back({a.x(), a.y(), a.width(), a.height()});
  }
  const TWindowRect window{wanted.x(), wanted.y(), wanted.width(), wanted.height()};
  const TWindowRect placed =
      stored ? PlaceStoredWindow(window, screens, minimum) : PlaceDesignedWindow(window, screens, minimum);
  return QRect(placed.left, placed.top, placed.width, placed.height);
}

}  // namespace quenza

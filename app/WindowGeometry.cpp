#include "WindowGeometry.h"

#include <algorithm>
#include <cstdint>

namespace quenza {

namespace {

int64_t Right(const TWindowRect& r) { return int64_t{r.left} + r.width; }
int64_t Bottom(const TWindowRect& r) { return int64_t{r.top} + r.height; }

// Area of the overlap of two rectangles; 64 bits, as stored values can be huge.
int64_t Overlap(const TWindowRect& a, const TWindowRect& b) {
  const int64_t w = std::min(Right(a), Right(b)) - std::max<int64_t>(a.left, b.left);
  const int64_t h = std::min(Bottom(a), Bottom(b)) - std::max<int64_t>(a.top, b.top);
  return w > 0 && h > 0 ? w * h : 0;
}

bool Contains(const TWindowRect& outer, const TWindowRect& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && Right(inner) <= Right(outer) &&
         Bottom(inner) <= Bottom(outer);
}

// Squared distance from the centre of `r` to the nearest point of `screen`.
int64_t Distance(const TWindowRect& r, const TWindowRect& screen) {
  const int64_t cx = r.left + int64_t{r.width} / 2;
  const int64_t cy = r.top + int64_t{r.height} / 2;
  const int64_t dx = cx < screen.left ? screen.left - cx : (cx > Right(screen) ? cx - Right(screen) : 0);
  const int64_t dy = cy < screen.top ? screen.top - cy : (cy > Bottom(screen) ? cy - Bottom(screen) : 0);
  return dx * dx + dy * dy;
}

TWindowRect Shrunk(TWindowRect window, const TWindowRect& screen, int minimum) {
  window.width = std::max(std::min(window.width, screen.width), minimum);
  window.height = std::max(std::min(window.height, screen.height), minimum);
  return window;
}

// The least move that puts `window` on `screen`; its top-left corner wins when
// the window is larger than the screen, so the title bar stays reachable.
TWindowRect MovedOnto(TWindowRect window, const TWindowRect& screen) {
  const int64_t left =
      std::clamp<int64_t>(window.left, screen.left, std::max<int64_t>(screen.left, Right(screen) - window.width));
  const int64_t top =
      std::clamp<int64_t>(window.top, screen.top, std::max<int64_t>(screen.top, Bottom(screen) - window.height));
  window.left = static_cast<int>(left);
  window.top = static_cast<int>(top);
  return window;
}

}  // namespace

TWindowRect PlaceStoredWindow(const TWindowRect& window, const std::vector<TWindowRect>& screens, int minimum) {
  if (screens.empty()) return window;
  // Screens do not overlap, so the title bar is on them when the parts they
  // cover add up to all of it (it may span two screens side by side).
  const TWindowRect title{window.left, window.top, window.width, std::min(window.height, kTitleBarHeight)};
  int64_t covered = 0;
  for (const TWindowRect& screen : screens) covered += Overlap(title, screen);
  if (title.width > 0 && title.height > 0 && covered == int64_t{title.width} * title.height) return window;

  const TWindowRect* best = &screens.front();
  int64_t best_overlap = -1;
  int64_t best_distance = 0;
  for (const TWindowRect& screen : screens) {
    const int64_t overlap = Overlap(window, screen);
    const int64_t distance = Distance(window, screen);
    if (overlap > best_overlap || (overlap == best_overlap && overlap == 0 && distance < best_distance)) {
      best = &screen;
      best_overlap = overlap;
      best_distance = distance;
    }
  }
  return MovedOnto(Shrunk(window, *best, minimum), *best);
}

TWindowRect PlaceDesignedWindow(const TWindowRect& window, const std::vector<TWindowRect>& screens, int minimum) {
  if (screens.empty()) return window;
  for (const TWindowRect& screen : screens) {
    if (Contains(screen, window)) return window;
  }
  const TWindowRect& primary = screens.front();
  TWindowRect placed = Shrunk(window, primary, minimum);
  placed.left = static_cast<int>(primary.left + (int64_t{primary.width} - placed.width) / 2);
  placed.top = static_cast<int>(primary.top + (int64_t{primary.height} - placed.height) / 2);
  return MovedOnto(placed, primary);
}

}  // namespace quenza

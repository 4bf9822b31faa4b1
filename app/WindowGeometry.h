// Where the main window opens. A stored position can point at a screen that
// is gone (a second monitor unplugged, a smaller display, a larger scale
// factor); the window must still open where the user can grab its title bar.
// No Qt: rectangles in the toolkit's device-independent pixels, screens given
// by their available areas (without panels and docks).
#pragma once

#include <vector>

namespace quenza {

struct TWindowRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const TWindowRect&) const = default;
};

// Height of the strip along the top of a window that must lie on a screen: the
// title bar of a usual window decoration, which the program cannot know
// before the window is shown.
inline constexpr int kTitleBarHeight = 30;

// A stored geometry: kept when the window's title bar lies wholly on the
// screens. Otherwise the window goes to the screen it overlaps most (else the
// nearest one), shrunk only where it is larger than that screen, and moved the
// least distance that puts it wholly on it. `minimum` is the window's minimum
// width and height, kept even on a smaller screen. With no screens the
// geometry is returned unchanged.
TWindowRect PlaceStoredWindow(const TWindowRect& window, const std::vector<TWindowRect>& screens, int minimum);

// The designed first-start geometry: kept when the whole window lies on a
// screen; otherwise shrunk to fit the first (primary) screen where needed and
// centred on it.
TWindowRect PlaceDesignedWindow(const TWindowRect& window, const std::vector<TWindowRect>& screens, int minimum);

}  // namespace quenza

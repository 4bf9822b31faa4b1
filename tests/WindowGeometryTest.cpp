// Where the main window opens: a stored geometry whose title bar is on a
// screen stays; anything else is brought onto a screen, shrunk only where it
// does not fit; the designed first-start window stays only where it fits.
#include "WindowGeometry.h"

#include <climits>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

namespace quenza {

// Found by GoogleTest next to the type, so failures show the rectangles.
void PrintTo(const TWindowRect& r, std::ostream* out) {
  *out << r.left << "," << r.top << " " << r.width << "x" << r.height;
}

namespace {

constexpr int kMin = 300;
const TWindowRect kDesktop{0, 0, 1024, 768};

TEST(WindowGeometryTest, StoredWindow) {
  // Left and right monitors; the right one is smaller and starts lower.
  const std::vector<TWindowRect> two = {{0, 0, 1920, 1080}, {1920, 200, 1280, 800}};
  struct Row {
    const char* what;
    std::vector<TWindowRect> screens;
    TWindowRect stored, expected;
  } rows[] = {
      {"on the screen", {kDesktop}, {100, 120, 700, 500}, {100, 120, 700, 500}},
      {"body below the bottom, title bar on screen", {kDesktop}, {100, 700, 600, 400}, {100, 700, 600, 400}},
      {"far off to the bottom right", {kDesktop}, {5000, 3000, 600, 400}, {424, 368, 600, 400}},
      {"off to the top left", {kDesktop}, {-700, -50, 600, 400}, {0, 0, 600, 400}},
      {"title bar half off the right edge", {kDesktop}, {700, 100, 600, 400}, {424, 100, 600, 400}},
      {"larger than the screen", {kDesktop}, {5000, 3000, 1600, 1200}, {0, 0, 1024, 768}},
      {"only wider than the screen", {kDesktop}, {-10, 50, 2000, 400}, {0, 50, 1024, 400}},
      {"screen below the minimum size keeps the minimum", {{0, 0, 256, 192}}, {900, 900, 600, 400}, {0, 0, 300, 300}},
      {"title bar across two monitors", two, {1700, 300, 600, 400}, {1700, 300, 600, 400}},
      {"on the second monitor", two, {2000, 300, 600, 400}, {2000, 300, 600, 400}},
      {"above the lower monitor's top edge", two, {2500, 100, 600, 400}, {2500, 200, 600, 400}},
      {"second monitor gone", {{0, 0, 1920, 1080}}, {2000, 300, 600, 400}, {1320, 300, 600, 400}},
      {"nearest monitor when on none", two, {4000, 2000, 600, 400}, {2600, 600, 600, 400}},
      {"extreme values do not overflow", {kDesktop}, {INT_MAX - 10, INT_MIN + 10, 600, 400}, {424, 0, 600, 400}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PlaceStoredWindow(row.stored, row.screens, kMin), row.expected) << row.what;
  }
  EXPECT_EQ(PlaceStoredWindow({5000, 3000, 600, 400}, {}, kMin), (TWindowRect{5000, 3000, 600, 400}))
      << "no screen known: nothing to go by";
}

TEST(WindowGeometryTest, DesignedWindow) {
  const TWindowRect designed{228, 227, 600, 400};
  // A usual desktop: kept exactly.
  EXPECT_EQ(PlaceDesignedWindow(designed, {kDesktop}, kMin), designed);
  // 1024x768 at a scale factor of 2 is 512x384 to the toolkit: the window is
  // fitted and centred instead of hanging two-thirds off the screen.
  EXPECT_EQ(PlaceDesignedWindow(designed, {{0, 0, 512, 384}}, kMin), (TWindowRect{0, 0, 512, 384}));
  // 800x600: it fits in size but not at its place.
  EXPECT_EQ(PlaceDesignedWindow(designed, {{0, 0, 800, 600}}, kMin), (TWindowRect{100, 100, 600, 400}));
  // It fits a secondary screen where it stands: kept there.
  EXPECT_EQ(PlaceDesignedWindow(designed, {{1000, 0, 800, 600}, {0, 0, 1024, 768}}, kMin), designed);
  // Centred on the first (primary) screen otherwise, in its coordinates.
  EXPECT_EQ(PlaceDesignedWindow(designed, {{1000, 100, 800, 600}}, kMin), (TWindowRect{1100, 200, 600, 400}));
}

}  // namespace
}  // namespace quenza

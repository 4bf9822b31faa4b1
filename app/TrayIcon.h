// What the tray needs apart from the window: whether the desktop shows tray
// icons at all, and what the icon's tooltip says. The offscreen platform of
// the tests has no tray, so tests may answer the first question themselves.
#pragma once

#include <QString>
#include <optional>

namespace quenza {

// What the tray icon tells at a glance.
struct TTrayState {
  bool capturing = false;
  // Alerts that came while the window was not in front (cleared when it is activated).
  int unseenAlerts = 0;
};

QString TrayToolTip(const TTrayState& state);

// True when the desktop shows tray icons.
bool TrayAvailable();

// Test seam: fixes TrayAvailable's answer; nullopt asks the desktop again.
// Returns the previous setting.
std::optional<bool> TESTING_ONLY_SetTrayAvailable(std::optional<bool> available);

}  // namespace quenza

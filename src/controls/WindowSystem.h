#pragma once

#include <QString>

// Wayland differs from X11 in what a program may do with its windows: the compositor places
// them and tells nobody where, only a StatusNotifierItem host can show a tray icon, and a
// window comes to the front only with an activation token.

// Whether a Qt platform name is one of Wayland's ("wayland", "wayland-egl", …).
bool IsWaylandPlatform(const QString& platformName);
// Whether the running application is on Wayland.
bool OnWayland();

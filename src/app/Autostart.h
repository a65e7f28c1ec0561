#pragma once

// Starting the program at login: a desktop entry in the user's autostart folder,
// $XDG_CONFIG_HOME/autostart/orvalen.desktop, that runs this executable with --tray so it
// comes up hidden in the notification area. The desktop's session settings may switch such
// an entry off in place (Hidden=true); the program then counts it as off.

#include <QString>

// The autostart folder: xdgConfigHome + "/autostart" when it is an absolute path, else
// home + "/.config/autostart" (an empty or relative value does not count).
QString AutostartFolderFrom(const QString& xdgConfigHome, const QString& home);

// The entry's path for this process's $XDG_CONFIG_HOME and home folder.
QString AutostartEntryPath();

// The entry that starts executablePath with --tray. "" when the path is not absolute or holds
// a control character other than tab, line feed and carriage return, which an entry cannot
// carry.
QString AutostartEntryText(const QString& executablePath);

// Whether an entry with this text would start the program at login: it has its
// [Desktop Entry] group, and neither Hidden=true nor X-GNOME-Autostart-enabled=false there.
bool AutostartEntryActive(const QString& entryText);

// Writes the entry for executablePath (creating the folder; the old entry stays whole when
// the write fails) or removes it (an entry that is not there is fine). False with the reason
// in `error` when that cannot be done.
bool SetAutostart(bool on, const QString& executablePath, QString& error);

// Whether the entry is there and active.
bool AutostartEnabled();

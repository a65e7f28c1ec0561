#pragma once

#include <QString>

struct TConfigPaths {
    QString Settings; // the INI settings file
    QString Stations; // the station list
};

// Where the settings and the station list live: beside the executable (its path + ".ini" and
// ".lst"); in $XDG_CONFIG_HOME/orvalen/ when the executable's folder is not writable (an
// installed copy); in configDir when it is given. Creates the folder it chooses when missing.
TConfigPaths ResolveConfigPaths(const QString& executablePath, const QString& configDir);

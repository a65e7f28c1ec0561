#pragma once

#include <QString>
#include <QStringList>

// The program's command line:
// orvalen [--simulate[=tea5767|rda5807m]] [--sim-record FILE] [--config-dir DIR] [--tray]
//         [--verbose] [--help] [--version]
struct TCommandLine {
    QString ConfigDir;
    bool Simulate = false;
    QString SimulateModel = QStringLiteral("rda5807m");
    QString SimRecord;
    // Start hidden in the tray, as the login autostart entry asks.
    bool Tray = false;
    bool Verbose = false;
    bool Help = false;
    bool Version = false;
    QString Error; // set when the arguments cannot be understood
};

// Parses the arguments after the program name.
TCommandLine ParseCommandLine(const QStringList& arguments);

QString CommandLineUsage();
